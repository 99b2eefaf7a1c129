#include "config/StubPatcher.h"

#include "base/Strings.h"
#include "config/StubFieldLayout.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace config {

namespace {

std::string ErrorText(const char* what, const std::wstring& path) {
    plat::ErrorCode code = plat::GetLastError();
    return base::Format("%s %s: error %u %s", what, base::WideToUtf8(path).c_str(),
                        static_cast<unsigned>(code),
                        base::WideToUtf8(plat::ErrorMessageText(code)).c_str());
}

} // namespace

std::size_t CStubPatcher::FieldOffset(const StubField& field) const {
    std::string marker = StubMarker(field);
    std::size_t at = image_.find(marker);
    if (at == std::string::npos || field.size > image_.size() - at ||
        image_[at + marker.size()] != '\0')
        return std::string::npos;
    return at;
}

bool CStubPatcher::Load(const std::wstring& path, std::string* message) {
    path_ = path;
    image_.clear();
    std::string image;
    if (!plat::ReadWholeFile(path, &image)) {
        *message = ErrorText("cannot read", path);
        return false;
    }
    image_ = std::move(image);
    for (const StubField& field : StubFieldTable()) {
        if (FieldOffset(field) == std::string::npos) {
            *message = base::Format("%s has no %s field: not a launcher executable",
                                    base::WideToUtf8(path).c_str(), field.typeName);
            image_.clear();
            return false;
        }
    }
    return true;
}

std::vector<std::string> CStubPatcher::Values(const StubField& field) const {
    std::size_t at = FieldOffset(field);
    if (at == std::string::npos)
        return {};
    std::string_view bytes = std::string_view(image_).substr(at, field.size);
    if (IsStubList(field))
        return ParseStubList(bytes);
    return {ParseStubValue(bytes)};
}

bool CStubPatcher::Set(std::string_view fieldName, const std::vector<std::string>& values,
                       std::string* message) {
    const StubField* field = FindStubField(fieldName);
    if (!field) {
        *message = base::Format("unknown field %.*s", static_cast<int>(fieldName.size()),
                                fieldName.data());
        return false;
    }
    std::size_t at = FieldOffset(*field);
    if (at == std::string::npos) {
        *message = base::Format("no %s field loaded", field->typeName);
        return false;
    }
    // A value goes into command lines and request addresses: line breaks
    // and other control characters never belong in it.
    for (const std::string& value : values) {
        for (char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte != 0 && (byte < 0x20 || byte == 0x7F)) {
                *message = base::Format("%s value refused: control characters (line breaks, "
                                        "tabs and the like) cannot be part of it",
                                        field->typeName);
                return false;
            }
        }
    }
    std::size_t valueAt = at + StubMarker(*field).size() + 1;
    std::string bytes;
    if (!BuildStubValue(values, IsStubList(*field), field->size - (valueAt - at), &bytes)) {
        *message = base::Format(IsStubList(*field)
                                    ? "%s value refused: entries must be non-empty, and with a "
                                      "zero byte after each they may take %zu bytes"
                                    : "%s value refused: at most %zu characters, no zero byte",
                                field->typeName, field->capacity);
        return false;
    }
    image_.replace(valueAt, bytes.size(), bytes);
    return true;
}

bool CStubPatcher::Save(std::string* message) {
    const std::wstring temporary = path_ + L".stubpatch.tmp";
    plat::File file;
    // A leftover (or a link) with the temporary name goes first; the copy is
    // a new file, never written through a link.
    plat::DeleteFile(temporary);
    bool written = plat::CopyFile(path_, temporary, true) &&
                   file.Open(temporary, plat::kWrite, plat::Disposition::OpenExisting) &&
                   file.Write(image_.data(), image_.size()) && file.SetEndOfFile();
    file.Close();
    if (!written || !plat::MoveFile(temporary, path_, plat::kMoveReplaceExisting)) {
        *message = ErrorText("cannot write", written ? path_ : temporary);
        plat::DeleteFile(temporary);
        return false;
    }
    return true;
}

} // namespace config

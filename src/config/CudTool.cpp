#include "config/CudTool.h"

#include "base/Strings.h"
#include "config/Cipher.h"
#include "config/CudFile.h"
#include "platform/Error.h"
#include "platform/File.h"

#include <tinyxml2.h>

namespace config {

namespace {

bool CheckKey(const std::string& key, std::string* error) {
    if (IsFullCipherKey(key))
        return true;
    *error = "the key must be 32 hexadecimal digits";
    return false;
}

bool ReadInput(const std::wstring& path, std::string* bytes, std::string* error) {
    if (plat::ReadWholeFile(path, bytes))
        return true;
    *error = base::Format("cannot read %s (error %u)", base::WideToUtf8(path).c_str(),
                          static_cast<unsigned>(plat::GetLastError()));
    return false;
}

bool WriteOutput(const std::wstring& path, const std::string& bytes, std::string* error) {
    if (ReplaceFileContents(path, bytes) == FileReplaceResult::kWritten)
        return true;
    *error = base::Format("cannot write %s (error %u)", base::WideToUtf8(path).c_str(),
                          static_cast<unsigned>(plat::GetLastError()));
    return false;
}

} // namespace

bool DecryptCudFile(const std::string& key, const std::wstring& in, const std::wstring& out,
                    std::string* error) {
    std::string bytes;
    if (!CheckKey(key, error) || !ReadInput(in, &bytes, error))
        return false;
    const std::string name = base::WideToUtf8(in);
    bool deciphered = false;
    std::string text = DecodeCudBytes(bytes, key.c_str(), &deciphered);
    if (IsEncipheredCud(bytes) && !deciphered) {
        *error = base::Format("%s does not decipher with this key (wrong key or damaged file)",
                              name.c_str());
        return false;
    }
    tinyxml2::XMLDocument doc;
    if (!ParseCudText(text, &doc)) {
        *error = base::Format("%s does not hold client update data%s", name.c_str(),
                              deciphered ? " (wrong key?)" : "");
        return false;
    }
    return WriteOutput(out, text, error);
}

bool EncryptCudFile(const std::string& key, const std::wstring& in, const std::wstring& out,
                    std::string* error) {
    std::string text;
    if (!CheckKey(key, error) || !ReadInput(in, &text, error))
        return false;
    tinyxml2::XMLDocument doc;
    if (!ParseCudText(text, &doc)) {
        *error = base::Format("%s is not XML with a ClientUpdateData root",
                              base::WideToUtf8(in).c_str());
        return false;
    }
    bool enciphered = false;
    std::string bytes = EncodeCudText(text, key.c_str(), true, &enciphered);
    if (!enciphered) {
        *error = "enciphering failed";
        return false;
    }
    return WriteOutput(out, bytes, error);
}

} // namespace config

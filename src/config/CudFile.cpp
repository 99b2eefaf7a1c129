#include "config/CudFile.h"

#include "config/Cipher.h"
#include "config/ClientUpdateData.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <tinyxml2.h>

#include <cstring>

namespace config {

namespace {

// "<" and the first seven characters of "ClientUpdateData".
constexpr std::string_view kPlainOpening = "<ClientU";

} // namespace

bool IsEncipheredCud(std::string_view bytes) {
    return bytes.size() >= kPlainOpening.size() &&
           bytes.substr(0, kPlainOpening.size()) != kPlainOpening;
}

std::string DecodeCudBytes(std::string_view bytes, const char* key, bool* deciphered) {
    if (deciphered)
        *deciphered = false;
    if (IsEncipheredCud(bytes)) {
        CCipher cipher;
        std::string text;
        if (cipher.SetKey(key) && cipher.Decrypt(bytes, &text)) {
            if (deciphered)
                *deciphered = true;
            return text;
        }
    }
    return std::string(bytes);
}

std::string EncodeCudText(std::string_view xml, const char* key, bool encipher, bool* enciphered) {
    if (enciphered)
        *enciphered = false;
    if (encipher) {
        CCipher cipher;
        std::string sealed;
        if (cipher.SetKey(key) && cipher.Encrypt(xml, &sealed)) {
            if (enciphered)
                *enciphered = true;
            return sealed;
        }
    }
    return std::string(xml);
}

bool ParseCudText(std::string_view text, tinyxml2::XMLDocument* doc) {
    if (doc->Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
        return false;
    const tinyxml2::XMLElement* root = doc->RootElement();
    return root && std::strcmp(root->Name(), kCudRootName) == 0;
}

CudLoadResult LoadCudDocument(const std::wstring& path, const char* key,
                              tinyxml2::XMLDocument* doc) {
    std::string bytes;
    if (path.empty() || !plat::ReadWholeFile(path, &bytes))
        return CudLoadResult::kCannotOpen;
    return ParseCudText(DecodeCudBytes(bytes, key), doc) ? CudLoadResult::kLoaded
                                                         : CudLoadResult::kBadData;
}

std::wstring ReplacementTempPath(const std::wstring& path) {
    // The process id keeps two launchers saving at once apart.
    return path + L"." + std::to_wstring(plat::GetCurrentProcessId()) + L".tmp";
}

FileReplaceResult ReplaceFileContents(const std::wstring& path, std::string_view bytes) {
    const std::wstring temp = ReplacementTempPath(path);
    // Whatever has the temporary name (a leftover, or a link planted there)
    // goes first; the new file is made afresh, never opened through a link.
    plat::DeleteFile(temp);
    plat::File file;
    if (!file.Open(temp, plat::kWrite | plat::kNoFollow, plat::Disposition::CreateNew))
        return FileReplaceResult::kCannotCreate;
    bool written = file.Write(bytes.data(), bytes.size()) && file.Flush();
    file.Close();
    if (written && plat::MoveFile(temp, path, plat::kMoveReplaceExisting))
        return FileReplaceResult::kWritten;
    plat::DeleteFile(temp);
    return FileReplaceResult::kWriteFailed;
}

} // namespace config

// Fuzzes the client update data readers: the input is used as the contents
// of "CUD.dat" and as downloaded data for a selector initialised from a fixed
// predefined document. Whatever comes in, the selector must keep a working
// face and write a file that reads back.
#include "config/CudFile.h"
#include "config/UrlSelector.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Unicode.h"

#include <tinyxml2.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace {

constexpr const char* kPredefined = R"(<ClientUpdateData>
  <Face id="game">
    <LoginURLs><URL>http://a</URL><URL>http://b</URL></LoginURLs>
    <DataUpdateURLs><URL>http://cud</URL></DataUpdateURLs>
  </Face>
  <ReplaceURLs><Replace from="http://old" to="http://a"/><Replace from="http://gone"/></ReplaceURLs>
</ClientUpdateData>)";

const std::wstring& FilePath() {
    static const std::wstring path =
        plat::Utf8ToWide((std::filesystem::temp_directory_path() /
                          ("cud_fuzz_" + std::to_string(plat::GetCurrentProcessId()) + ".dat"))
                             .string());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tinyxml2::XMLDocument predefined;
    if (!predefined.RootElement() && predefined.Parse(kPredefined) != tinyxml2::XML_SUCCESS)
        __builtin_trap();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::wstring& path = FilePath();
    if (!plat::WriteWholeFile(path, input.data(), input.size()))
        return 0;

    config::CUrlSelector selector;
    selector.SetKey(config::kCudKey);
    if (!selector.Initialise(predefined.RootElement(), {}, path, false))
        __builtin_trap();
    selector.MergeIncoming(input);
    if (selector.FaceId() != "game" || selector.Face().loginUrls.empty())
        __builtin_trap();
    selector.SelectServer();
    selector.SelectUpdateUrl();
    if (selector.Save(true)) {
        tinyxml2::XMLDocument saved;
        if (config::LoadCudDocument(path, config::kCudKey, &saved) !=
            config::CudLoadResult::kLoaded)
            __builtin_trap();
    }
    plat::DeleteFile(path);
    return 0;
}

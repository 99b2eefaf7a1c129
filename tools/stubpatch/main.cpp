// stubpatch: shows or rewrites the stub fields of a launcher executable.
//
//   stubpatch FILE                     prints the six values
//   stubpatch FILE --set FIELD=VALUE... [--add-server URL]...
//   stubpatch FILE --file-version A.B.C.D   sets the file version (any
//                                           executable of this build, the
//                                           game client too)
//
// FIELD is SERVER_URL, UPDATE_PATH, LANGUAGE, AFFILIATE_ID, REFERRER_ID or
// PROMOCODE. SERVER_URL takes a comma-separated list; --add-server appends one
// address to it. Every change is checked before the file is touched: a
// refused one leaves it as it was.

#include "config/StubPatcher.h"
#include "platform/FileVersionBlock.h"
#include "platform/Unicode.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

void Usage() {
    std::fprintf(stderr, "usage: stubpatch FILE [--set FIELD=VALUE]... [--add-server URL]...\n"
                         "                    [--file-version A.B.C.D]\n"
                         "fields: SERVER_URL (comma-separated list), UPDATE_PATH, LANGUAGE,\n"
                         "        AFFILIATE_ID, REFERRER_ID, PROMOCODE\n");
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> entries;
    if (text.empty())
        return entries;
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = text.find(',', start);
        entries.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos)
            return entries;
        start = comma + 1;
    }
}

void PrintValues(const config::CStubPatcher& patcher) {
    for (const config::StubField& field : config::StubFieldTable()) {
        std::string shown;
        for (const std::string& value : patcher.Values(field))
            shown += (shown.empty() ? "" : ",") + value;
        std::printf("%s=%s\n", field.typeName, shown.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return 2;
    }
    // The new values by field; the server list collects every --set and
    // --add-server given for it.
    std::map<std::string, std::vector<std::string>> changes;
    std::string fileVersion;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--file-version" && i + 1 < argc) {
            fileVersion = argv[++i];
            continue;
        }
        if (i + 1 >= argc || (arg != "--set" && arg != "--add-server")) {
            Usage();
            return 2;
        }
        std::string value = argv[++i];
        if (arg == "--add-server") {
            changes["SERVER_URL"].push_back(value);
            continue;
        }
        std::size_t equals = value.find('=');
        if (equals == std::string::npos) {
            std::fprintf(stderr, "stubpatch: expected FIELD=VALUE, got %s\n", value.c_str());
            return 2;
        }
        std::string name = value.substr(0, equals), text = value.substr(equals + 1);
        std::vector<std::string>& values = changes[name];
        if (name == "SERVER_URL") {
            for (std::string& entry : SplitList(text))
                values.push_back(std::move(entry));
        } else {
            values = {text};
        }
    }

    if (!fileVersion.empty()) {
        plat::FileVersion version;
        if (!plat::ParseFileVersionText(fileVersion, &version)) {
            std::fprintf(stderr, "stubpatch: a file version is four numbers, got %s\n",
                         fileVersion.c_str());
            return 2;
        }
        if (!plat::WriteFileVersionInFile(plat::Utf8ToWide(argv[1]), version)) {
            std::fprintf(stderr, "stubpatch: %s holds no file version block or cannot be written\n",
                         argv[1]);
            return 1;
        }
        std::printf("FILE_VERSION=%s\n", plat::FileVersionText(version).c_str());
        if (changes.empty())
            return 0;
    }
    config::CStubPatcher patcher;
    std::string message;
    if (!patcher.Load(plat::Utf8ToWide(argv[1]), &message)) {
        std::fprintf(stderr, "stubpatch: %s\n", message.c_str());
        return 1;
    }
    if (changes.empty()) {
        PrintValues(patcher);
        return 0;
    }
    for (const auto& [name, values] : changes) {
        if (!patcher.Set(name, values, &message)) {
            std::fprintf(stderr, "stubpatch: %s; %s left unchanged\n", message.c_str(), argv[1]);
            return 1;
        }
    }
    if (!patcher.Save(&message)) {
        std::fprintf(stderr, "stubpatch: %s\n", message.c_str());
        return 1;
    }
    PrintValues(patcher);
    return 0;
}

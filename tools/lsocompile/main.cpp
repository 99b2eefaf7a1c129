// lsocompile: compiles the text source of a language table into its .lso
// file. With a reference source (the English table) it first checks that the
// translation has the same ids and, for every id, the same printf
// conversions in the same order, and writes nothing when it does not.

#include "config/LangSource.h"
#include "config/LsoFile.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Unicode.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void PrintUsage() {
    std::fprintf(stderr, "usage: lsocompile [-r REFERENCE] SOURCE OUTPUT\n"
                         "  SOURCE        language source, one \"id<TAB>text\" line per string\n"
                         "  OUTPUT        the .lso table to write\n"
                         "  -r REFERENCE  source whose ids and placeholders SOURCE must match\n");
}

struct Options {
    std::string reference;
    std::string source;
    std::string output;
};

bool ParseArguments(int argc, char** argv, Options* options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-r") == 0 || std::strcmp(argv[i], "--reference") == 0) {
            if (++i >= argc)
                return false;
            options->reference = argv[i];
        } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            return false;
        } else {
            positional.emplace_back(argv[i]);
        }
    }
    if (positional.size() != 2)
        return false;
    options->source = positional[0];
    options->output = positional[1];
    return true;
}

bool LoadSource(const std::string& path, std::vector<std::string>* strings) {
    std::string text;
    if (!plat::ReadWholeFile(plat::Utf8ToWide(path), &text)) {
        std::fprintf(stderr, "lsocompile: cannot read %s (error %u)\n", path.c_str(),
                     static_cast<unsigned>(plat::GetLastError()));
        return false;
    }
    std::string error;
    if (!config::ParseLangSource(text, strings, &error)) {
        std::fprintf(stderr, "lsocompile: %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        PrintUsage();
        return 2;
    }

    std::vector<std::string> strings;
    if (!LoadSource(options.source, &strings))
        return 1;

    if (!options.reference.empty()) {
        std::vector<std::string> reference;
        if (!LoadSource(options.reference, &reference))
            return 1;
        std::vector<std::string> problems;
        if (!config::CheckTranslation(reference, strings, &problems)) {
            for (const std::string& problem : problems)
                std::fprintf(stderr, "lsocompile: %s: %s\n", options.source.c_str(),
                             problem.c_str());
            return 1;
        }
    }

    const std::string bytes = config::WriteLso(strings);
    if (!plat::WriteWholeFile(plat::Utf8ToWide(options.output), bytes.data(), bytes.size())) {
        std::fprintf(stderr, "lsocompile: cannot write %s (error %u)\n", options.output.c_str(),
                     static_cast<unsigned>(plat::GetLastError()));
        return 1;
    }
    return 0;
}

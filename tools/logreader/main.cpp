// logreader: writes the text of an HTTP log to standard output or a file.
// An enciphered log is deciphered with the key given as text, or as
// hexadecimal digits with -x; a plain log is copied through.

#include "log/CypherLogReader.h"
#include "platform/File.h"
#include "platform/Unicode.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void PrintUsage() {
    std::fprintf(stderr, "usage: logreader [-x] [-o OUTPUT] LOGFILE [KEY]\n"
                         "  KEY        the log key as text\n"
                         "  -x         KEY is given as hexadecimal digits, two per byte\n"
                         "  -o OUTPUT  write the text to OUTPUT instead of standard output\n");
}

struct Options {
    bool hexKey = false;
    std::string output;
    std::string logFile;
    std::string key;
    bool haveKey = false;
};

bool ParseArguments(int argc, char** argv, Options* options) {
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "-x") == 0 || std::strcmp(arg, "--hex") == 0) {
            options->hexKey = true;
        } else if (std::strcmp(arg, "-o") == 0) {
            if (++i >= argc)
                return false;
            options->output = argv[i];
        } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            return false;
        } else if (positional == 0) {
            options->logFile = arg;
            ++positional;
        } else if (positional == 1) {
            options->key = arg;
            options->haveKey = true;
            ++positional;
        } else {
            return false;
        }
    }
    return positional >= 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        PrintUsage();
        return 2;
    }
    std::string key = options.key;
    if (options.haveKey && options.hexKey && !cypherlog::ParseHexKey(options.key, &key)) {
        std::fprintf(stderr, "logreader: the key is not an even number of hexadecimal digits\n");
        return 2;
    }

    std::string contents;
    if (!plat::ReadWholeFile(plat::Utf8ToWide(options.logFile), &contents)) {
        std::fprintf(stderr, "logreader: cannot read %s (error %u)\n", options.logFile.c_str(),
                     static_cast<unsigned>(plat::GetLastError()));
        return 1;
    }

    cypherlog::DecodedLog log;
    const bool decoded = cypherlog::DecodeLog(contents, key, &log);

    // The text of every segment read so far goes out even when a later one fails.
    if (options.output.empty()) {
        if (!log.text.empty() &&
            std::fwrite(log.text.data(), 1, log.text.size(), stdout) != log.text.size()) {
            std::fprintf(stderr, "logreader: cannot write to standard output\n");
            return 1;
        }
        std::fflush(stdout);
    } else if (!plat::WriteWholeFile(plat::Utf8ToWide(options.output), log.text.data(),
                                     log.text.size())) {
        std::fprintf(stderr, "logreader: cannot write %s (error %u)\n", options.output.c_str(),
                     static_cast<unsigned>(plat::GetLastError()));
        return 1;
    }

    if (!decoded && log.error == cypherlog::ReadError::KeyMissing) {
        std::fprintf(stderr, "logreader: %s: %s\n", options.logFile.c_str(),
                     cypherlog::ReadErrorText(log.error));
        return 1;
    }
    if (!decoded) {
        std::fprintf(stderr, "logreader: %s: segment %zu at offset %llu: %s\n",
                     options.logFile.c_str(), log.segments + 1,
                     static_cast<unsigned long long>(log.errorOffset),
                     cypherlog::ReadErrorText(log.error));
        return 1;
    }
    return 0;
}

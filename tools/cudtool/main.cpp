// cudtool: reads and writes the launcher's client update data file.
//
//   cudtool decrypt KEY IN OUT    writes the XML text of the "CUD.dat" IN to OUT
//   cudtool encrypt KEY IN OUT    enciphers the XML text IN into the "CUD.dat" OUT
//
// KEY is 32 hexadecimal digits; "launcher" stands for the launcher's own key.
// A plain-text "CUD.dat" (written in debug mode) decrypts to itself.

#include "config/CudFile.h"
#include "config/CudTool.h"
#include "platform/Unicode.h"

#include <cstdio>
#include <string>

namespace {

void Usage() {
    std::fprintf(stderr, "usage: cudtool decrypt KEY IN OUT\n"
                         "       cudtool encrypt KEY IN OUT\n"
                         "KEY: 32 hexadecimal digits, or \"launcher\" for the launcher's key\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        Usage();
        return 2;
    }
    const std::string command = argv[1];
    std::string key = argv[2];
    if (key == "launcher")
        key = config::kCudKey;
    const std::wstring in = plat::Utf8ToWide(argv[3]);
    const std::wstring out = plat::Utf8ToWide(argv[4]);
    std::string error;
    bool done = false;
    if (command == "decrypt") {
        done = config::DecryptCudFile(key, in, out, &error);
    } else if (command == "encrypt") {
        done = config::EncryptCudFile(key, in, out, &error);
    } else {
        Usage();
        return 2;
    }
    if (!done) {
        std::fprintf(stderr, "cudtool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// rarpack: packs folder trees into a RAR 4 archive of stored members, each
// file under its path relative to its root ("\" separated).
//
//   rarpack OUTPUT --root DIR [--exclude SUBFOLDER]... [--root DIR2 ...]
//           [--depfile FILE]
//
// --exclude leaves out a subfolder of the root given before it. --depfile
// writes the packed files as a make-style dependency list of OUTPUT.

#include "rarpack/RarStoreWriter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Root {
    fs::path folder;
    std::vector<std::string> excluded; // relative, "/" separated
};

struct Options {
    fs::path output;
    fs::path depfile;
    std::vector<Root> roots;
};

void Usage() {
    std::fprintf(stderr, "usage: rarpack OUTPUT --root DIR [--exclude SUBFOLDER]... "
                         "[--root DIR ...] [--depfile FILE]\n");
}

bool ParseArguments(int argc, char** argv, Options* options) {
    if (argc < 2)
        return false;
    options->output = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        std::string value = argv[++i];
        if (arg == "--root") {
            options->roots.push_back({value, {}});
        } else if (arg == "--exclude" && !options->roots.empty()) {
            std::replace(value.begin(), value.end(), '\\', '/');
            while (!value.empty() && value.back() == '/')
                value.pop_back();
            options->roots.back().excluded.push_back(value);
        } else if (arg == "--depfile") {
            options->depfile = value;
        } else {
            return false;
        }
    }
    return !options->roots.empty();
}

bool IsExcluded(const Root& root, const std::string& relative) {
    for (const std::string& excluded : root.excluded) {
        if (relative == excluded || relative.starts_with(excluded + "/"))
            return true;
    }
    return false;
}

bool ReadFile(const fs::path& path, std::string* contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    contents->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Adds every file under the root in name order; records the packed paths.
bool PackRoot(const Root& root, rarpack::CRarStoreWriter* writer, std::vector<fs::path>* packed) {
    std::error_code ec;
    if (!fs::is_directory(root.folder, ec)) {
        std::fprintf(stderr, "rarpack: %s is not a folder\n", root.folder.string().c_str());
        return false;
    }
    std::vector<fs::path> files;
    for (fs::recursive_directory_iterator it(root.folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        std::string relative = fs::relative(it->path(), root.folder).generic_string();
        if (IsExcluded(root, relative)) {
            if (it->is_directory())
                it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file())
            files.push_back(it->path());
    }
    if (ec) {
        std::fprintf(stderr, "rarpack: cannot list %s: %s\n", root.folder.string().c_str(),
                     ec.message().c_str());
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::string contents;
        std::string name = fs::relative(file, root.folder).generic_string();
        if (!ReadFile(file, &contents) || !writer->AddFile(name, contents)) {
            std::fprintf(stderr, "rarpack: cannot pack %s\n", file.string().c_str());
            return false;
        }
        packed->push_back(fs::absolute(file));
    }
    return true;
}

std::string DepfileEscape(const std::string& path) {
    std::string escaped;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\')
            escaped += '\\';
        if (c == '$')
            escaped += '$';
        escaped += c;
    }
    return escaped;
}

bool WriteDepfile(const Options& options, const std::vector<fs::path>& packed) {
    std::ofstream out(options.depfile, std::ios::trunc);
    out << DepfileEscape(fs::absolute(options.output).string()) << ':';
    for (const fs::path& file : packed)
        out << " \\\n  " << DepfileEscape(file.string());
    out << '\n';
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, &options)) {
        Usage();
        return 2;
    }
    rarpack::CRarStoreWriter writer;
    std::vector<fs::path> packed;
    for (const Root& root : options.roots) {
        if (!PackRoot(root, &writer, &packed))
            return 1;
    }
    std::string archive = writer.Finish();
    std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
    out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "rarpack: cannot write %s\n", options.output.string().c_str());
        std::error_code ec;
        fs::remove(options.output, ec);
        return 1;
    }
    if (!options.depfile.empty() && !WriteDepfile(options, packed)) {
        std::fprintf(stderr, "rarpack: cannot write %s\n", options.depfile.string().c_str());
        return 1;
    }
    return 0;
}

#pragma once
// The publishing description: which files of a client folder form which
// packages, the texts of optional applications, the ignore list, and the
// versions the manifest announces. Parsed on the publishing tool's thread.
//
// The text is UTF-8, line by line. Blank lines and lines starting with "#" or
// ";" are comments (only whole lines). "[section]" starts a section;
// "key = value" sets a key of the current section (blanks around both are
// dropped). The sections and keys, with notes on the right:
//
//   [client]
//   version = 1.2.3                 required: clientVersion
//   modification = 2024-05-01 #2    optional: the revision stamp
//
//   [launcher]                      optional section
//   file = build/Launcher.exe       required: relative to the description's folder
//   version = 1.0.0.2               required: launcherVersion
//   url = http://host/Launcher.exe  optional: launcherUrl
//
//   [ignore]
//   file = *\*.log                  any number: written to IGNORE; matching
//   file = Cache\user.cfg           files are never packed
//
//   [package base.pkg]              the package's file name on the server; it
//                                   ends in ".pkg", the only files the
//                                   launcher unpacks
//   type = full                     required: full, ext, int, add or increment
//   platform = any                  any (default), 32 or 64
//   format = zip                    zip (default) or rar
//   compression = deflate           zip only: deflate (default) or store
//   files = Bin                     one or more patterns of files to pack
//   exclude = Bin\*.pdb             any number of patterns to leave out
//   info.en.name = Editor           ext and int packages: the INFO texts of a
//   info.en.exec = Editor\ed.exe    language (name, exec, cmdl, help, sel),
//   info.en.cmdl = -x               written in the order the languages first
//   info.en.help = Line1\nLine2     appear; sel is true or false (default
//   info.en.sel = false             true); an ext package needs them
//
// Patterns are relative to the client folder, "\" or "/" separated, and
// compared without regard to case; "*" and "?" match within one name, "**"
// matches any number of folders. A pattern whose last name has no wildcard
// also takes every file below a folder of that name ("Bin" is all of Bin,
// "Bin\*" the files directly in it, "**\*.dll" every DLL). An increment
// package lists files that other packages install too.

#include "update/ArchivePath.h"
#include "update/Manifest.h"

#include <string>
#include <string_view>
#include <vector>

namespace publish {

// The manifest's vocabulary, which the publisher writes and the update
// engine reads.
namespace manifest = update::manifest;
using update::IsSafeArchivePath;
using update::kPackageExt;
using update::kPackageFull;
using update::kPackageIncrement;
using update::kPackageInt;
using update::kPackageNone;
using update::kPlatform32;
using update::kPlatform64;
using update::kPlatformAny;
using update::PackagePlatform;
using update::PackageType;
using update::PackageTypeName;
using update::ParsePackagePlatform;
using update::ParsePackageType;

enum class PublishFormat { kZip, kRar };

// One language variant of an application's texts.
struct PublishInfo {
    std::string lang;
    std::string name;
    std::string exec;
    std::string cmdl;
    std::string help; // kept as written: "\n" pairs stay two characters
    bool selected = true;
};

struct PublishPackage {
    std::string file; // name on the server
    int line = 0;     // where its section starts, for messages
    PackageType type = kPackageNone;
    PackagePlatform platform = kPlatformAny;
    PublishFormat format = PublishFormat::kZip;
    bool deflate = true;
    std::vector<std::string> include;
    std::vector<std::string> exclude;
    std::vector<PublishInfo> infos;
};

struct PublishDescription {
    std::string clientVersion;
    std::string modification; // empty: not written
    bool hasLauncher = false;
    std::string launcherFile;
    std::string launcherVersion;
    std::string launcherUrl;
    std::vector<std::string> ignore;
    std::vector<PublishPackage> packages;
};

// Fills *description from the text. False with a message that names the
// line ("line 7: unknown key 'size' in [package base.pkg]").
bool ParsePublishDescription(std::string_view text, PublishDescription* description,
                             std::string* error);

} // namespace publish

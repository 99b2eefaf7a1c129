#pragma once
// The file checker's decisions that need no files: whether two client
// versions agree, which packages restore a set of changed files (or one
// increment instead), and which unlisted files the cleanup keeps. Pure
// functions, called on the checker thread.

#include "update/Manifest.h"

#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace update {

// A file that differs from the fresh manifest: (lowercased path, package file).
using ChangedList = std::vector<std::pair<std::wstring, std::wstring>>;

// True when both texts have their second "." at the same place and agree in
// every character before it ("1.2.7" and "1.2.9" agree; "1.2" and "1.2" do
// not, having no second dot).
bool ClientVersionsAgree(std::wstring_view a, std::wstring_view b);

// The package files to download for the changed files. Increments lacking
// any changed path are marked unusable; the smallest usable increment (the
// first on equal sizes) replaces the needed packages when their total size
// in the package map is at least its own.
std::set<std::wstring> ChooseNeededPackages(const ChangedList& changed,
                                            std::vector<IncrementPackage>* increments,
                                            const ManifestPackageMap& packages);

// Logs are never touched by the cleanup: true for a file whose extension (the
// text after its last ".") is "log" in any case, or whose full path is
// shorter than 5 characters.
bool CleanupSkipsFile(std::wstring_view fullPath, std::wstring_view name);

// The launcher's own working files are never the cleanup's: the partly
// downloaded packages under "tmp" (a later run resumes them) and the state
// files at the installation's root (portable mark, saved manifest, server
// data, add-package and shortcut lists). `relativePath` is in the
// manifest's form: lowercased, "\" separated.
bool CleanupSparesLauncherFile(std::wstring_view relativePath);

// For a file the manifest does not list: true when the ignore lists protect
// it (its relative path, its lowercased name, or "*." and its extension).
// A name without "." or starting with "." is protected only by the first two.
bool CleanupKeepsUnlistedFile(const std::wstring& relativePath, std::wstring_view name,
                              const std::set<std::wstring>& ignoredPaths,
                              const std::set<std::wstring>& ignoredNames);

} // namespace update

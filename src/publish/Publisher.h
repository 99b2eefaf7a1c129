#pragma once
// Publishes a client folder for an update server: reads the description,
// sorts the client's files into packages, writes each package (ZIP, or RAR
// through the writer the caller supplies), copies the launcher as
// "Launcher.exe", and writes the manifest "update.xml" with its packed form
// "update.rxml" (a ZIP archive holding "update.xml"). Every file is written
// under a new name first and takes its place only when the whole release is
// complete, the manifests last; a failure at any point leaves the output
// folder as it was, so it never announces a package it lacks or one that
// changed. Runs on the caller's thread.

#include "publish/PublishArchive.h"
#include "publish/PublishDescription.h"
#include "publish/PublishFileSet.h"
#include "publish/PublishManifest.h"

#include "config/Ed25519.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace publish {

inline constexpr char kPublishManifestName[] = "update.xml";
inline constexpr char kPublishPackedManifestName[] = "update.rxml";
inline constexpr char kPublishLauncherName[] = "Launcher.exe";

struct PublishOptions {
    std::wstring descriptionPath; // its folder resolves a relative launcher file
    std::wstring clientFolder;
    std::wstring outputFolder; // created when missing; keep it outside the client folder
    // Makes the writer of a RAR package; without one RAR packages fail.
    std::function<std::unique_ptr<IPublishArchiveWriter>()> rarWriter;
    // Signs the release with this key: the manifest gains the SHA-256 of
    // every package and of the launcher, a release sequence number above the
    // previous signed release's in the output folder (and no lower than the
    // time in seconds since 1970) and an expiry `validDays` ahead; the
    // packed manifest carries the signature of "update.xml" as the entry
    // "update.xml.sig", which is also written beside it. Without a key the
    // release is unsigned and exactly as before.
    std::optional<config::Ed25519PrivateKey> signingKey;
    int validDays = 90;
    // The time the release is made, seconds since 1970 (UTC); 0 takes the
    // clock's.
    std::int64_t now = 0;
};

class CPublisher {
public:
    explicit CPublisher(PublishOptions options) : options_(std::move(options)) {}

    // The whole run. False with a message for a bad description, unreadable
    // input or a failed write; a package written in part is removed.
    bool Run(std::string* error);

    // After a successful run: the description and what was published.
    const PublishDescription& Description() const { return description_; }
    const std::vector<PublishedPackage>& Packages() const { return packages_; }
    bool HasLauncher() const { return description_.hasLauncher; }
    const PublishedLauncher& Launcher() const { return launcher_; }
    // The stamp of a signed release (sequence 0 for an unsigned one).
    const update::ReleaseStamp& Stamp() const { return stamp_; }

private:
    bool LoadDescription(std::string* error);
    // Fills the packages' file lists from the client folder.
    bool AssignFiles(std::string* error);
    // A file belongs to one package per platform; increments only repeat files.
    bool CheckOwners(std::string* error) const;
    bool WritePackage(std::size_t index, std::string* error);
    bool PublishLauncher(std::string* error);
    bool WriteManifests(std::string* error);
    // The sequence number and expiry of a signed release.
    update::ReleaseStamp NextStamp() const;

    // A file of the release written under a new name beside its target:
    // gives that name.
    std::wstring Stage(const std::string& name);
    // Puts every staged file in its place in the order staged; on a failure
    // the old files come back and false is returned with a message.
    bool CommitStaged(std::string* error);
    // Removes the staged files that did not take their place.
    void DiscardStaged();

    PublishOptions options_;
    PublishDescription description_;
    std::vector<PublishedPackage> packages_;
    std::vector<PublishSourceFile> sources_; // the client folder's files
    // Per package: the indexes of its files in sources_.
    std::vector<std::vector<std::size_t>> members_;
    // Digests of the files read so far: a file read twice must not change.
    std::map<std::string, PublishDigest> digests_;
    PublishedLauncher launcher_;
    update::ReleaseStamp stamp_;
    struct Staged {
        std::wstring temp;   // where it was written
        std::wstring target; // where it goes
        std::wstring backup; // where the old file stepped aside, while it does
    };
    std::vector<Staged> staged_;
};

} // namespace publish

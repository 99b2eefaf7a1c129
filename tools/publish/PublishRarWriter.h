#pragma once
// RAR 4 packages for the publisher: members stored uncompressed, built by
// CRarStoreWriter one member at a time and appended to the package file, so
// a package is never held whole; the member being added is (the store writer
// takes whole members), which makes ZIP the better choice for very large
// files. One thread per writer. Header-only so that the tests of the
// publisher's library use the same writer as the tool.

#include "base/Crc32.h"
#include "platform/File.h"
#include "publish/PublishArchive.h"
#include "rarpack/RarStoreWriter.h"

#include <string>

namespace publish {

class CPublishRarWriter final : public IPublishArchiveWriter {
public:
    bool Create(const std::wstring& path, std::string* error) override {
        path_ = path;
        // An archive without members is the marker and archive blocks
        // followed by the end block, whose seven bytes are fixed by the format.
        std::string empty = rarpack::CRarStoreWriter().Finish();
        if (empty.size() <= kEndBlockSize) {
            *error = "the RAR writer gives no archive header";
            return false;
        }
        head_ = empty.substr(0, empty.size() - kEndBlockSize);
        end_ = empty.substr(head_.size());
        if (!file_.Open(path, plat::kWrite, plat::Disposition::CreateAlways)) {
            *error = PublishSystemError("cannot create", path);
            return false;
        }
        return Write(head_, error);
    }

    bool AddFile(const std::string& name, const std::wstring& source, PublishDigest* digest,
                 std::string* error) override {
        std::string data;
        if (!plat::ReadWholeFile(source, &data)) {
            *error = PublishSystemError("cannot read", source);
            return false;
        }
        rarpack::CRarStoreWriter writer;
        if (!writer.AddFile(name, data)) {
            *error = "\"" + name + "\" cannot be the name of a RAR member";
            return false;
        }
        // The one-member archive is head_, the member, end_: keep the member.
        std::string archive = writer.Finish();
        if (archive.size() < head_.size() + end_.size() || !archive.starts_with(head_) ||
            !archive.ends_with(end_)) {
            *error = "the RAR writer gave an unexpected archive for " + name;
            return false;
        }
        std::string member =
            archive.substr(head_.size(), archive.size() - head_.size() - end_.size());
        if (!Write(member, error))
            return false;
        digest->crc = base::Crc32(data.data(), data.size());
        digest->size = data.size();
        return true;
    }

    bool Finish(std::string* error) override {
        if (!Write(end_, error))
            return false;
        if (!file_.Flush()) {
            *error = PublishSystemError("cannot write", path_);
            return false;
        }
        file_.Close();
        return true;
    }

private:
    static constexpr std::size_t kEndBlockSize = 7;

    bool Write(const std::string& bytes, std::string* error) {
        if (!file_.IsOpen() || !file_.Write(bytes.data(), bytes.size())) {
            *error = PublishSystemError("cannot write", path_);
            return false;
        }
        return true;
    }

    plat::File file_;
    std::wstring path_;
    std::string head_; // marker and archive blocks
    std::string end_;  // end-of-archive block
};

} // namespace publish

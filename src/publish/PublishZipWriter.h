#pragma once
// Writes a ZIP archive for the update server: a local header and the data of
// each member, then the central directory and the end record, without data
// descriptors, ZIP64 or comments (what CZipFile reads). Members are deflated
// (raw deflate) or stored, and streamed: a source file goes through in
// blocks, and the sizes and CRC-32 of its local header are filled in once
// its data are written. One thread per writer.

#include "publish/PublishArchive.h"

#include "platform/File.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

class CPublishZipWriter final : public IPublishArchiveWriter {
public:
    explicit CPublishZipWriter(bool deflate = true) : deflate_(deflate) {}

    bool Create(const std::wstring& path, std::string* error) override;
    bool AddFile(const std::string& name, const std::wstring& source, PublishDigest* digest,
                 std::string* error) override;
    // Adds a member from memory.
    bool AddData(const std::string& name, std::string_view data, std::string* error);
    bool Finish(std::string* error) override;

private:
    struct Member {
        std::string name;
        std::uint16_t flags = 0;
        std::uint16_t method = 0;
        std::uint32_t crc = 0;
        std::uint32_t compressedSize = 0;
        std::uint32_t size = 0;
        std::uint32_t offset = 0; // of its local header
    };

    // Feeds the member's bytes to the writer; false with a message on failure.
    using Source =
        std::function<bool(const std::function<bool(const char*, std::size_t)>&, std::string*)>;
    bool AddMember(const std::string& name, const Source& source, PublishDigest* digest,
                   std::string* error);
    bool Write(const std::string& bytes, std::string* error);
    bool Write(const void* data, std::size_t size, std::string* error);

    bool deflate_;
    plat::File file_;
    std::wstring path_;
    std::uint64_t offset_ = 0; // bytes written so far
    std::vector<Member> members_;
};

} // namespace publish

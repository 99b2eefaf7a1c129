// RAR 4 reading on the decoder (libunarr, or libarchive's RAR reader): a real
// solid archive, members the header walk refuses although the decoder would
// take them, names in every stored form, and members read in any order.

#include "config/RarArchive.h"
#include "config/ArchiveHelperRar.h"
#include "config/RarHeaders.h"

#include "platform/AllocationCap.h"
#include "platform/Unicode.h"
#include "support/RarBuilder.h"
#include "support/TestData.h"

#include <gtest/gtest.h>
#include <zlib.h>

#if LAUNCHER_RAR_DECODER_UNARR
#include <unarr.h>
#else
#include <archive.h>
#include <archive_entry.h>
#endif

#include <string>
#include <vector>

namespace {

using config::CRarArchive;
using testsupport::BuildRar;
using testsupport::RarMember;

constexpr std::uint32_t kSolidMemberCrc = 0xC5B7E6A2u;

std::uint32_t Crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// The decoder's own reading of the first member's name; "?" when it has none.
std::string DecoderName(const std::string& bytes) {
    std::string name = "?";
#if LAUNCHER_RAR_DECODER_UNARR
    ar_stream* stream = ar_open_memory(bytes.data(), bytes.size());
    ar_archive* decoder = stream ? ar_open_rar_archive(stream) : nullptr;
    if (decoder && ar_parse_entry(decoder) && ar_entry_get_name(decoder))
        name = ar_entry_get_name(decoder);
    if (decoder)
        ar_close_archive(decoder);
    if (stream)
        ar_close(stream);
#else
    archive* decoder = archive_read_new();
    archive_read_support_format_rar(decoder);
    // Names without the unicode flag are in the archiver's OEM code page,
    // which libarchive cannot know: it is told, as the header walk assumes.
    archive_read_set_format_option(decoder, "rar", "hdrcharset", "CP437");
    archive_entry* entry = nullptr;
    // The wide form: libarchive's own UTF-8 form of it misses characters
    // outside the system's code page on Windows.
    if (archive_read_open_memory(decoder, bytes.data(), bytes.size()) == ARCHIVE_OK &&
        archive_read_next_header(decoder, &entry) == ARCHIVE_OK && archive_entry_pathname_w(entry))
        name = plat::WideToUtf8(archive_entry_pathname_w(entry));
    else if (archive_error_string(decoder))
        name += archive_error_string(decoder); // says why on a failure
    archive_read_free(decoder);
#endif
    return name;
}

std::string Extract(CRarArchive& archive, std::size_t index, bool* ok) {
    std::string out;
    *ok = archive.Extract(index, [&](const void* data, std::size_t size) {
        out.append(static_cast<const char*>(data), size);
        return true;
    });
    return out;
}

TEST(RarArchive, SolidArchiveOfTheRarArchiverUnpacksEveryMember) {
    const std::string fixture = testsupport::ReadDataFile("rar/rar3-solid.rar");
    ASSERT_EQ(fixture.size(), 221u);

    // As the resource archive: every member, in order.
    config::CArchiveHelperRar helper;
    ASSERT_TRUE(helper.OpenArchive(fixture.data(), fixture.size()));
    EXPECT_EQ(helper.MemberNames(), (std::vector<std::string>{"stest1.txt", "stest2.txt"}));
    for (const char* name : {"stest1.txt", "stest2.txt"}) {
        std::string bytes;
        ASSERT_TRUE(helper.GetMember(name, &bytes)) << name;
        EXPECT_EQ(bytes.size(), 2048u);
        EXPECT_EQ(Crc(bytes), kSolidMemberCrc) << name;
    }

    // The second member alone: the decoder goes through the first again.
    CRarArchive archive;
    ASSERT_TRUE(archive.Open(fixture.data(), fixture.size()));
    EXPECT_TRUE(archive.IsSolid());
    ASSERT_EQ(archive.Members().size(), 2u);
    EXPECT_TRUE(archive.Members()[1].solid);
    EXPECT_FALSE(archive.IsDirect(1));
    bool ok = false;
    EXPECT_EQ(Crc(Extract(archive, 1, &ok)), kSolidMemberCrc);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Crc(Extract(archive, 0, &ok)), kSolidMemberCrc);
    EXPECT_TRUE(ok);

    // A damaged byte in the compressed data of the second member.
    std::string damaged = fixture;
    damaged[0xD0] ^= 0x55;
    ASSERT_TRUE(archive.Open(damaged.data(), damaged.size()));
    Extract(archive, 1, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(helper.OpenArchive(damaged.data(), damaged.size()));
}

TEST(RarArchive, TheHeaderWalkRefusesWhatTheDecoderWouldTake) {
    const RarMember good = RarMember::Stored("a.txt", "hello");
    ASSERT_TRUE(
        config::CArchiveHelperRar().OpenArchive(BuildRar({good}).data(), BuildRar({good}).size()));
    struct Case {
        const char* what;
        std::string archive;
    };
    RarMember spoiled = good;
    spoiled.spoilHeaderCrc = true;
    RarMember link = RarMember::Stored("link", "/etc/passwd");
    link.host = 3;
    link.attributes = 0xA1FF; // a Unix symbolic link
    RarMember fifo = RarMember::Stored("fifo", "");
    fifo.host = 3;
    fifo.attributes = 0x11B6;
    RarMember lying = good;
    lying.packedSize = 1000; // more than the archive holds
    const Case cases[] = {
        {"header checksum", BuildRar({good, spoiled})},
        {"no end block", BuildRar({good}, false, false)},
        {"link", BuildRar({good, link})},
        {"special file", BuildRar({good, fifo})},
        {"packed size past the end", BuildRar({lying})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        config::CArchiveHelperRar helper;
        EXPECT_FALSE(helper.OpenArchive(c.archive.data(), c.archive.size()));
        EXPECT_TRUE(helper.MemberNames().empty());
    }
    // Links are reported as such to the package reader.
    std::string withLink = BuildRar({good, link});
    CRarArchive archive;
    ASSERT_TRUE(archive.Open(withLink.data(), withLink.size()));
    EXPECT_TRUE(archive.Members()[1].isLink);
    bool ok = true;
    Extract(archive, 1, &ok);
    EXPECT_FALSE(ok);
}

TEST(RarArchive, NamesInEveryStoredFormAgreeWithTheDecoder) {
    // RAR's compact Unicode form: "Привет" with the high byte 0x04 and the
    // low bytes, "été" copied from the OEM part with a correction, explicit
    // two-byte characters and plain bytes.
    const std::string privet("Privet\0\x04\x55\x1F\x40\x38\x32\x55\x35\x42", 16);
    const std::string copied("abc.txt\0\x00\xC0\x05", 11);
    const std::string twoByte("x\0\x00\x80\x3B\x26", 6); // U+263B
    struct Case {
        std::string raw;
        std::uint16_t flags;
        std::string utf8;
    };
    const Case cases[] = {
        {privet, testsupport::kRarUnicodeName, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {copied, testsupport::kRarUnicodeName, "abc.txt"},
        {twoByte, testsupport::kRarUnicodeName, "\xE2\x98\xBB"},
        {"\x82t\x82.txt", 0, "\xC3\xA9t\xC3\xA9.txt"}, // code page 437
        {"\xC3\xA9t\xC3\xA9.txt", testsupport::kRarUnicodeName, "\xC3\xA9t\xC3\xA9.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(config::DecodeRarName(c.raw, c.flags != 0), c.utf8);
        RarMember member = RarMember::Stored(c.raw, "data");
        member.flags = c.flags;
        const std::string bytes = BuildRar({member});
        CRarArchive archive;
        ASSERT_TRUE(archive.Open(bytes.data(), bytes.size()));
        EXPECT_EQ(archive.Members()[0].name, c.utf8);
        // The decoder's own reading of the name is the same.
        EXPECT_EQ(DecoderName(bytes), c.utf8);
    }
}

TEST(RarArchive, StoredMembersOfAPlainArchiveNeedNoDecoder) {
    RarMember folder = RarMember::Stored("dir", "");
    folder.flags = testsupport::kRarDirectory;
    const std::string big(300000, 'x');
    const std::string bytes =
        BuildRar({RarMember::Stored("a.bin", big), folder, RarMember::Stored("dir\\b.txt", "bee")});
    CRarArchive archive;
    ASSERT_TRUE(archive.Open(bytes.data(), bytes.size()));
    ASSERT_EQ(archive.Members().size(), 3u);
    EXPECT_TRUE(archive.Members()[1].isDirectory);
    EXPECT_TRUE(archive.IsDirect(0));
    EXPECT_TRUE(archive.IsDirect(2));
    bool ok = false;
    EXPECT_EQ(Extract(archive, 2, &ok), "bee");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Extract(archive, 0, &ok), big);
    EXPECT_TRUE(ok);
    // A damaged stored byte fails its CRC; a sink that refuses stops it.
    std::string damaged = bytes;
    damaged[damaged.find("bee")] = 'B';
    CRarArchive other;
    ASSERT_TRUE(other.Open(damaged.data(), damaged.size()));
    Extract(other, 2, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(archive.Extract(0, [](const void*, std::size_t) { return false; }));
}

// A solid archive of stored members goes through the decoder: whichever
// order the members are asked for in, each comes out whole, a folder between
// them shifting nothing.
TEST(RarArchive, MembersOfASolidArchiveComeOutInAnyOrder) {
    RarMember folder = RarMember::Stored("dir", "");
    folder.flags = testsupport::kRarDirectory;
    std::vector<RarMember> members = {
        RarMember::Stored("a.bin", testsupport::NoiseBytes(70000, 1)),
        folder,
        RarMember::Stored("dir\\b.txt", "bee"),
        RarMember::Stored("c.bin", testsupport::NoiseBytes(300000, 2)),
    };
    for (std::size_t i = 1; i < members.size(); ++i)
        members[i].flags |= testsupport::kRarSolidMember;
    const std::string bytes = BuildRar(members, true);
    CRarArchive archive;
    ASSERT_TRUE(archive.Open(bytes.data(), bytes.size()));
    ASSERT_TRUE(archive.IsSolid());
    ASSERT_EQ(archive.Members().size(), 4u);
    EXPECT_FALSE(archive.IsDirect(0));
    for (std::size_t index : {3u, 0u, 2u, 2u, 3u, 0u}) {
        SCOPED_TRACE(index);
        bool ok = false;
        // Compared whole, without printing megabytes of noise on a failure.
        EXPECT_TRUE(Extract(archive, index, &ok) == members[index].data);
        EXPECT_TRUE(ok);
    }
    bool ok = true;
    Extract(archive, 1, &ok);
    EXPECT_FALSE(ok) << "a folder has no data";
}

// A damaged member or a sink that stops leaves the decoder able to read the
// other members, and the same member again.
TEST(RarArchive, TheDecoderGoesOnAfterADamagedMemberOrAStoppedSink) {
    std::vector<RarMember> members = {
        RarMember::Stored("one.txt", std::string(5000, '1')),
        RarMember::Stored("two.txt", std::string(6000, '2')),
        RarMember::Stored("three.txt", std::string(7000, '3')),
    };
    for (std::size_t i = 1; i < members.size(); ++i)
        members[i].flags |= testsupport::kRarSolidMember;
    std::string bytes = BuildRar(members, true);
    bytes[bytes.find(std::string(6000, '2')) + 100] = 'X';
    CRarArchive archive;
    ASSERT_TRUE(archive.Open(bytes.data(), bytes.size()));
    bool ok = true;
    Extract(archive, 1, &ok);
    EXPECT_FALSE(ok) << "the damaged member";
    EXPECT_EQ(Extract(archive, 2, &ok), members[2].data);
    EXPECT_TRUE(ok);
    std::size_t calls = 0;
    EXPECT_FALSE(archive.Extract(2, [&](const void*, std::size_t) { return ++calls > 1; }));
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(Extract(archive, 0, &ok), members[0].data);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Extract(archive, 2, &ok), members[2].data);
    EXPECT_TRUE(ok);
}
} // namespace

#include "net/RequestHttx.h"

#include <gtest/gtest.h>
#include <string>

namespace {

using NetEx::CRequestHttx;

// A range names its last byte: 99 bytes from 100 end at byte 198 (asking
// for 199 would fetch one byte more than the caller can take).
TEST(RequestHttxTest, RangeAndLengthHeaders) {
    CRequestHttx request;
    EXPECT_FALSE(request.HasRange());
    request.AddRange(100, 0);
    request.AddRange(100, 99);
    request.AddRange(0, 1);
    request.AddRange(0xFFFFFFFFu, 0xFFFFFFFFu);
    request.AddContentLength(7);
    request.AddHeader("");
    request.AddHeader("X-A: 1\r\n");
    EXPECT_EQ(request.GetHeaders().View(), "Range: bytes=100-\r\n"
                                           "Range: bytes=100-198\r\n"
                                           "Range: bytes=0-0\r\n"
                                           "Range: bytes=4294967295-8589934589\r\n"
                                           "Content-Length: 7\r\n"
                                           "X-A: 1\r\n");
    EXPECT_TRUE(request.HasRange());
    EXPECT_EQ(request.GetRange().offset, 0xFFFFFFFFu);
    // A copy for a redirect asks for the same range.
    CRequestHttx copy(request);
    EXPECT_TRUE(copy.HasRange());
    EXPECT_EQ(copy.GetRange().length, 0xFFFFFFFFu);
}

TEST(RequestHttxTest, MultipartBody) {
    CRequestHttx request;
    EXPECT_FALSE(request.AddFormPart("f", nullptr, "text/plain"));
    EXPECT_FALSE(request.EndMultipart());
    EXPECT_TRUE(request.GetBody().Empty());

    request.BeginMultipart("XYZ");
    EXPECT_FALSE(request.AddFormPart("", nullptr, "text/plain"));
    EXPECT_FALSE(request.AddFormPart("f", nullptr, ""));
    ASSERT_TRUE(request.AddFormPart("report", "log.txt", "text/plain"));
    request.AppendBody("abc\r\n", 5);
    ASSERT_TRUE(request.AddFormPart("note", nullptr, "text/plain"));
    request.AppendBody("n\r\n", 3);
    ASSERT_TRUE(request.EndMultipart());
    EXPECT_EQ(request.GetHeaders().View(), "Content-Type: multipart/form-data; boundary=XYZ\r\n");
    EXPECT_EQ(request.GetBody().View(),
              "--XYZ\r\nContent-Disposition: form-data; name=\"report\"; filename=\"log.txt\"\r\n"
              "Content-Type: text/plain\r\n\r\nabc\r\n"
              "--XYZ\r\nContent-Disposition: form-data; name=\"note\"\r\n"
              "Content-Type: text/plain\r\n\r\nn\r\n"
              "--XYZ--\r\n\r\n");
}

TEST(RequestHttxTest, MadeBoundaryHasTheBlockForm) {
    CRequestHttx request;
    request.BeginMultipart(nullptr);
    const std::string& boundary = request.GetBoundary();
    ASSERT_GT(boundary.size(), 5u);
    EXPECT_LE(boundary.size(), 64u);
    EXPECT_EQ(boundary.substr(0, 5), "block");
    EXPECT_EQ(boundary.find_first_not_of("0123456789", 5), std::string::npos);
}

TEST(RequestHttxTest, InitAndCopy) {
    CRequestHttx request;
    ASSERT_TRUE(request.Init({.contextId = 3,
                              .requestId = 9,
                              .url = "/a/b?q=1",
                              .mergeArgs = false,
                              .method = NetEx::kPost,
                              .timeout = 500,
                              .openFlags = 0x80283000,
                              .securityFlags = 0x180,
                              .readBlock = NetEx::kAdaptiveBlock,
                              .wantSentHeaders = true,
                              .wantResponseHeaders = false,
                              .logMaskPattern = "secret",
                              .logMaskReplacement = "***"}));
    EXPECT_TRUE(request.IsAdaptive());
    EXPECT_EQ(request.GetReadBlock(), NetEx::kMinAdaptiveBlock);
    EXPECT_EQ(request.GetFirstUrl().GetFullUrl(), "/a/b?q=1");
    request.AddRange(0, 10);
    request.AppendBody("pw=secret&x=secret", 18);
    request.SetTag(77);
    EXPECT_EQ(request.BodyForLog(), "pw=***&x=***");

    // A new URL keeps the first one.
    ASSERT_TRUE(request.SetUrl("/moved"));
    EXPECT_EQ(request.GetFirstUrl().GetFullUrl(), "/a/b?q=1");

    CRequestHttx copy(request);
    EXPECT_EQ(copy.GetContextId(), 3u);
    EXPECT_EQ(copy.GetRequestId(), 9u);
    EXPECT_EQ(copy.GetMethod(), static_cast<std::uint32_t>(NetEx::kPost));
    EXPECT_EQ(copy.GetTag(), 77u);
    EXPECT_FALSE(copy.MergesArgs());
    EXPECT_EQ(copy.GetHeaders().View(), request.GetHeaders().View());
    EXPECT_EQ(copy.GetBody().View(), request.GetBody().View());
    EXPECT_EQ(copy.GetUrl().GetFullUrl(), "/moved");
    EXPECT_EQ(copy.GetState(), static_cast<std::uint32_t>(NetEx::kCreated));
    EXPECT_EQ(copy.BodyForLog(), "pw=***&x=***");
}

TEST(RequestHttxTest, AdaptiveBlockAimsAtOneSecond) {
    const std::uint32_t bgs = 0x400000;
    EXPECT_EQ(NetEx::NextAdaptiveBlock(16384, 500, bgs), 32768u);   // factor 2
    EXPECT_EQ(NetEx::NextAdaptiveBlock(16384, 4000, bgs), 8192u);   // the floor
    EXPECT_EQ(NetEx::NextAdaptiveBlock(16384, 0, bgs), 32768u);     // no time: doubles
    EXPECT_EQ(NetEx::NextAdaptiveBlock(100000, 800, bgs), 125000u); // 1000/800
    EXPECT_EQ(NetEx::NextAdaptiveBlock(0x300000, 100, bgs), bgs);   // the bound
}

} // namespace

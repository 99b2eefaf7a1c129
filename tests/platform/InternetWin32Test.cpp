// Pieces of the Windows HTTP layer that need no server: the body decoder,
// the answer's head as the layer keeps it from WinINet's text, the proxy texts made for
// WinINet from the environment's variables and the check of a given proxy
// text, and the large body buffer hint.

#include "platform/Internet.h"
#include "platform/win32/InternetDecoder.h"
#include "platform/win32/InternetHead.h"
#include "platform/win32/InternetProxy.h"

#include "support/TestHttpServer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using plat::win::InternetHead;

// Decodes `encoded` fed in pieces of `piece` bytes; false when it failed.
bool Decode(std::string_view encoding, const std::string& encoded, std::size_t piece,
            std::string* decoded) {
    auto decoder = plat::win::InternetDecoder::For(encoding);
    if (!decoder)
        return false;
    for (std::size_t at = 0; at < encoded.size(); at += piece) {
        if (!decoder->Add(std::string_view(encoded).substr(at, piece), decoded))
            return false;
    }
    return decoder->Finished();
}

std::string Text(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 11 + i / 97) % 26);
    return text;
}

TEST(InternetDecoderTest, GzipAndBothFormsOfDeflateDecodeInAnyPieces) {
    const std::string text = Text(150000); // several stored blocks
    std::string zlib = testsupport::ZlibStored(text);
    std::string raw = zlib.substr(2, zlib.size() - 6); // without the zlib wrapping
    for (std::size_t piece : {std::size_t{1} << 20, std::size_t{7}, std::size_t{4096}}) {
        std::string decoded;
        ASSERT_TRUE(Decode("gzip", testsupport::GzipStored(text), piece, &decoded)) << piece;
        EXPECT_TRUE(decoded == text) << piece;
        decoded.clear();
        ASSERT_TRUE(Decode("Deflate", zlib, piece, &decoded)) << piece;
        EXPECT_TRUE(decoded == text) << piece;
        decoded.clear();
        ASSERT_TRUE(Decode("deflate", raw, piece, &decoded)) << piece;
        EXPECT_TRUE(decoded == text) << piece;
    }
    EXPECT_EQ(plat::win::InternetDecoder::For("br"), nullptr);
    EXPECT_EQ(plat::win::InternetDecoder::For("identity"), nullptr);
}

TEST(InternetDecoderTest, BrokenAndCutStreamsFail) {
    std::string decoded;
    EXPECT_FALSE(Decode("gzip", "this is not gzip at all", 1024, &decoded));
    std::string gzip = testsupport::GzipStored(Text(5000));
    decoded.clear();
    // Cut short: no failure on the way, but the stream never ends.
    EXPECT_FALSE(Decode("gzip", gzip.substr(0, gzip.size() - 10), 1024, &decoded));
    EXPECT_EQ(decoded, Text(5000).substr(0, decoded.size()));
    // A damaged check sum at the end.
    gzip[gzip.size() - 5] ^= 0x40;
    decoded.clear();
    EXPECT_FALSE(Decode("gzip", gzip, 1024, &decoded));
}

TEST(InternetHeadTest, KeepsTheFinalHeadAfterInterimOnes) {
    InternetHead head;
    head.Parse("HTTP/1.1 100 Continue\r\n\r\n"
               "HTTP/1.1 206 Partial Content\r\n"
               "Content-Range: bytes 0-9/100\r\n"
               "X-Folded: one\r\n"
               "\ttwo\r\n"
               "content-length: 10\r\n"
               "\r\n");
    ASSERT_TRUE(head.Known());
    EXPECT_EQ(head.Status(), 206u);
    std::string text;
    ASSERT_TRUE(head.Query(plat::HTTP_QUERY_STATUS_TEXT, &text));
    EXPECT_EQ(text, "Partial Content");
    ASSERT_TRUE(head.Query(plat::HTTP_QUERY_VERSION, &text));
    EXPECT_EQ(text, "HTTP/1.1");
    ASSERT_TRUE(head.Query(plat::HTTP_QUERY_CONTENT_LENGTH | plat::HTTP_QUERY_FLAG_NUMBER, &text));
    EXPECT_EQ(text, "10");
    ASSERT_TRUE(head.Field("x-folded", &text));
    EXPECT_EQ(text, "one two");
    ASSERT_TRUE(head.Query(plat::HTTP_QUERY_RAW_HEADERS_CRLF, &text));
    EXPECT_EQ(text, "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-9/100\r\n"
                    "X-Folded: one\r\ntwo\r\ncontent-length: 10\r\n\r\n");
}

TEST(InternetHeadTest, TellsMissingFieldsUnknownLevelsAndAnEmptyHeadApart) {
    InternetHead head;
    std::string text;
    EXPECT_FALSE(head.Query(plat::HTTP_QUERY_STATUS_CODE, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetIncorrectHandleState);
    head.Parse("");
    EXPECT_FALSE(head.Known());

    head.SetRequestHead("GET / HTTP/1.1\r\nHost: a\r\n\r\n");
    head.Parse("HTTP/1.0 404 Not Found\nServer: test\n\n");
    ASSERT_TRUE(head.Known());
    EXPECT_EQ(head.Status(), 404u);
    EXPECT_FALSE(head.Query(plat::HTTP_QUERY_LOCATION, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrHttpHeaderNotFound);
    EXPECT_FALSE(head.Query(9999, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrHttpInvalidQueryRequest);
    EXPECT_FALSE(
        head.Query(plat::HTTP_QUERY_STATUS_CODE | plat::HTTP_QUERY_FLAG_REQUEST_HEADERS, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrHttpInvalidQueryRequest);
    ASSERT_TRUE(head.Query(
        plat::HTTP_QUERY_RAW_HEADERS_CRLF | plat::HTTP_QUERY_FLAG_REQUEST_HEADERS, &text));
    EXPECT_EQ(text, "GET / HTTP/1.1\r\nHost: a\r\n\r\n");
    // A new answer keeps the request's head but none of the old fields.
    head.Parse("HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_FALSE(head.Field("Server", &text));
    ASSERT_TRUE(head.Query(
        plat::HTTP_QUERY_RAW_HEADERS_CRLF | plat::HTTP_QUERY_FLAG_REQUEST_HEADERS, &text));
    EXPECT_EQ(text, "GET / HTTP/1.1\r\nHost: a\r\n\r\n");
}

TEST(InternetProxyTextTest, EnvironmentValuesBecomeWinInetLists) {
    std::string proxy;
    std::string bypass;
    EXPECT_FALSE(plat::win::ProxyFromValues("", "", "", "", &proxy, &bypass));
    // A socks proxy is nothing WinINet speaks HTTP through.
    EXPECT_FALSE(plat::win::ProxyFromValues("", "", "socks5://all:4", "", &proxy, &bypass));

    ASSERT_TRUE(plat::win::ProxyFromValues("http://plain:3/", "", "", "", &proxy, &bypass));
    EXPECT_EQ(proxy, "http=plain:3");
    EXPECT_EQ(bypass, "");
    ASSERT_TRUE(plat::win::ProxyFromValues("http://user:pw@one:1", "https://two:2", "", "", &proxy,
                                           &bypass));
    EXPECT_EQ(proxy, "http=one:1 https=two:2");
    // The same proxy for both schemes is one entry; all_proxy fills the gaps.
    ASSERT_TRUE(plat::win::ProxyFromValues("", "", "http://all:4", "localhost, .corp.example",
                                           &proxy, &bypass));
    EXPECT_EQ(proxy, "all:4");
    EXPECT_EQ(bypass, "localhost;*.localhost;corp.example;*.corp.example");
    ASSERT_TRUE(plat::win::ProxyFromValues("p:1", "", "", "a,*,b", &proxy, &bypass));
    EXPECT_EQ(bypass, "*");
}

TEST(InternetProxyTextTest, AGivenTextMustNameAnHttpProxy) {
    EXPECT_FALSE(plat::win::NamesAProxy(""));
    EXPECT_FALSE(plat::win::NamesAProxy(" ; "));
    EXPECT_FALSE(plat::win::NamesAProxy("ftp=proxy:21"));
    EXPECT_FALSE(plat::win::NamesAProxy("http="));
    EXPECT_TRUE(plat::win::NamesAProxy("proxy.local:3128"));
    EXPECT_TRUE(plat::win::NamesAProxy("ftp=f:21;HTTPS=secure:443"));
    EXPECT_TRUE(plat::win::NamesAProxy("http://proxy:80"));
}

TEST(InternetProxyTextTest, BypassListsTakeWildcardsAnywhereAndLocalNames) {
    const std::string list = "<local>; *.intra.example  10.*;<-loopback>;127.0.0.*";
    EXPECT_TRUE(plat::win::BypassesProxy(list, "fileserver"));
    EXPECT_TRUE(plat::win::BypassesProxy(list, "a.INTRA.example"));
    EXPECT_FALSE(plat::win::BypassesProxy(list, "intra.example"));
    EXPECT_TRUE(plat::win::BypassesProxy(list, "10.1.2.3"));
    EXPECT_FALSE(plat::win::BypassesProxy(list, "110.1.2.3"));
    EXPECT_TRUE(plat::win::BypassesProxy(list, "127.0.0.1"));
    EXPECT_FALSE(plat::win::BypassesProxy(list, "updates.example.com"));
    EXPECT_FALSE(plat::win::BypassesProxy("", "fileserver"));
    EXPECT_TRUE(plat::win::BypassesProxy("*", "updates.example.com"));
    EXPECT_TRUE(plat::win::BypassesProxy("a*b*c", "axxbyyc"));
    EXPECT_FALSE(plat::win::BypassesProxy("a*b*c", "axxbyy"));
}

TEST(InternetBodyBufferTest, TheHintLeavesTheBufferAsItWas) {
    std::vector<unsigned char> large(std::size_t{24} << 20, 0x5A);
    plat::PrepareBodyBuffer(large.data() + 100, large.size() - 200);
    plat::PrepareBodyBuffer(large.data(), 4096);
    plat::PrepareBodyBuffer(nullptr, large.size());
    EXPECT_EQ(large.front(), 0x5A);
    EXPECT_EQ(large[large.size() / 2], 0x5A);
    EXPECT_EQ(large.back(), 0x5A);
    large.back() = 1;
    EXPECT_EQ(large.back(), 1);
}

} // namespace

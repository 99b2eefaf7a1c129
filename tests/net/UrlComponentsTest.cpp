#include "net/UrlComponents.h"

#include "platform/Error.h"
#include "platform/Internet.h"

#include <gtest/gtest.h>

namespace {

TEST(UrlComponentsTest, FullUrlSplitsIntoItsParts) {
    CUrlComponents url;
    ASSERT_TRUE(url.SetUrl("https://user:pw@cdn.example.com:8443/base/dir/?z=9&a=1"));
    EXPECT_EQ(url.SchemeText(), "https");
    EXPECT_EQ(url.Scheme(), plat::INTERNET_SCHEME_HTTPS);
    EXPECT_EQ(url.Host(), "cdn.example.com");
    EXPECT_EQ(url.Port(), 8443);
    EXPECT_EQ(url.User(), "user");
    EXPECT_EQ(url.Password(), "pw");
    EXPECT_EQ(url.Path(), "/base/dir"); // one trailing "/" dropped
    EXPECT_EQ(url.GetQueryText(), "?a=1&z=9");
    EXPECT_EQ(url.GetServerText(), "https://user:pw@cdn.example.com:8443");
    EXPECT_EQ(url.GetObjectText(), "/base/dir?a=1&z=9");
    EXPECT_EQ(url.GetFullUrl(), "https://user:pw@cdn.example.com:8443/base/dir?a=1&z=9");
}

TEST(UrlComponentsTest, TextWithoutSchemeIsHttpWithoutPrefix) {
    CUrlComponents url("example/path?a=1&b");
    EXPECT_EQ(url.Scheme(), plat::INTERNET_SCHEME_UNKNOWN);
    EXPECT_TRUE(url.SchemeText().empty());
    EXPECT_EQ(url.Host(), "example");
    EXPECT_EQ(url.Path(), "/path");
    ASSERT_EQ(url.Arguments().size(), 2u);
    EXPECT_EQ(url.Arguments().at("a"), "1");
    EXPECT_EQ(url.Arguments().at("b"), "");
    EXPECT_EQ(url.GetServerText(), "example");
    EXPECT_EQ(url.GetFullUrl(), "example/path?a=1&b");
}

TEST(UrlComponentsTest, BarePathHasNoServer) {
    CUrlComponents url("/files/list?x=2");
    EXPECT_EQ(url.Scheme(), plat::INTERNET_SCHEME_PARTIAL);
    EXPECT_TRUE(url.Host().empty());
    EXPECT_EQ(url.Port(), 0);
    EXPECT_EQ(url.Path(), "/files/list");
    EXPECT_EQ(url.GetServerText(), "");
    EXPECT_EQ(url.GetFullUrl(), "/files/list?x=2");
}

TEST(UrlComponentsTest, EmptyTextClearsAndSucceeds) {
    CUrlComponents url("http://host/a?b=1");
    EXPECT_TRUE(url.SetUrl(""));
    EXPECT_TRUE(url.Host().empty());
    EXPECT_TRUE(url.Arguments().empty());
    EXPECT_EQ(url.GetFullUrl(), "");
}

TEST(UrlComponentsTest, RefusedTexts) {
    CUrlComponents url;
    EXPECT_FALSE(url.SetUrl("http://host/" + std::string(CUrlComponents::kMaxUrlLength, 'a')));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetInvalidUrl);
    // A bad port is no missing scheme: no second try rescues it.
    EXPECT_FALSE(url.SetUrl("http://host:99999/a"));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetInvalidUrl);
    EXPECT_TRUE(url.SetUrl(std::string(CUrlComponents::kMaxUrlLength - 12, 'a') + ".example/x"));
}

TEST(UrlComponentsTest, QueryOrderSeparatorAndDuplicates) {
    CUrlComponents url("http://h/p?b=2&a=1");
    EXPECT_EQ(url.GetQueryText(), "?a=1&b=2");

    ASSERT_TRUE(url.SetUrl("http://h/p#frag=1&x"));
    EXPECT_EQ(url.Separator(), '#');
    EXPECT_EQ(url.GetQueryText(), "#frag=1&x");

    ASSERT_TRUE(url.SetUrl("http://h/p?a=1&a=2"));
    EXPECT_EQ(url.Arguments().at("a"), "2");
    EXPECT_EQ(url.GetQueryText(), "?a=2");

    // Empty pieces are skipped; a value may hold "=".
    url.SetQuery("?&&k=v=w&");
    ASSERT_EQ(url.Arguments().size(), 1u);
    EXPECT_EQ(url.Arguments().at("k"), "v=w");
}

TEST(UrlComponentsTest, ArgumentChangesRebuildTheCachedTexts) {
    CUrlComponents url("http://h/p?a=1");
    EXPECT_EQ(url.GetFullUrl(), "http://h/p?a=1");
    url.SetQuery("?c=3");
    EXPECT_EQ(url.GetFullUrl(), "http://h/p?c=3");
    url.SetArgs({});
    EXPECT_EQ(url.GetQueryText(), "");
    EXPECT_EQ(url.GetFullUrl(), "http://h/p");
}

TEST(UrlComponentsTest, MergeTakesServerPathAndMissingArguments) {
    CUrlComponents context("http://srv:8080/root?key=ctx&shared=ctx");
    CUrlComponents request("/file.bin?shared=req");
    ASSERT_TRUE(request.Merge(context, true));
    EXPECT_EQ(request.Host(), "srv");
    EXPECT_EQ(request.Port(), 8080);
    EXPECT_EQ(request.Scheme(), plat::INTERNET_SCHEME_HTTP);
    EXPECT_EQ(request.GetObjectText(), "/root/file.bin?key=ctx&shared=req");
    EXPECT_EQ(request.GetFullUrl(), "http://srv:8080/root/file.bin?key=ctx&shared=req");

    CUrlComponents plain("/file.bin");
    ASSERT_TRUE(plain.Merge(context, false));
    EXPECT_EQ(plain.GetObjectText(), "/root/file.bin");

    CUrlComponents noHost("/only/path");
    CUrlComponents other("/x");
    EXPECT_FALSE(other.Merge(noHost, true));
}

} // namespace

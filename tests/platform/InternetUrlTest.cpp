// The URL cracker and builder: the splits the transport's URL model relies
// on, its failure numbers, and texts built back from parts.

#include "platform/Internet.h"

#include <gtest/gtest.h>

namespace {

plat::UrlParts Cracked(std::string_view url) {
    plat::UrlParts parts;
    EXPECT_TRUE(plat::CrackUrl(url, &parts)) << url << " failed with " << plat::GetLastError();
    return parts;
}

plat::ErrorCode CrackFailure(std::string_view url) {
    plat::UrlParts parts;
    plat::SetLastError(0);
    EXPECT_FALSE(plat::CrackUrl(url, &parts)) << url;
    return plat::GetLastError();
}

std::string Built(const plat::UrlParts& parts) {
    std::string url;
    EXPECT_TRUE(plat::CreateUrl(parts, &url)) << plat::GetLastError();
    return url;
}

TEST(InternetUrlTest, CracksEveryPartOfAServerUrl) {
    plat::UrlParts parts = Cracked("http://user:pw@example.com:8080/dir/file.txt?a=1&b#frag");
    EXPECT_EQ(parts.schemeText, "http");
    EXPECT_EQ(parts.scheme, plat::INTERNET_SCHEME_HTTP);
    EXPECT_EQ(parts.user, "user");
    EXPECT_EQ(parts.password, "pw");
    EXPECT_EQ(parts.host, "example.com");
    EXPECT_EQ(parts.port, 8080);
    EXPECT_EQ(parts.path, "/dir/file.txt");
    EXPECT_EQ(parts.extra, "?a=1&b#frag");

    parts = Cracked("HTTPS://Updates.Example.com");
    EXPECT_EQ(parts.schemeText, "HTTPS");
    EXPECT_EQ(parts.scheme, plat::INTERNET_SCHEME_HTTPS);
    EXPECT_EQ(parts.host, "Updates.Example.com");
    EXPECT_EQ(parts.port, 443);
    EXPECT_EQ(parts.path, "");
    EXPECT_EQ(parts.extra, "");

    parts = Cracked("http://anon@host?q=1");
    EXPECT_EQ(parts.user, "anon");
    EXPECT_EQ(parts.password, "");
    EXPECT_EQ(parts.path, "");
    EXPECT_EQ(parts.extra, "?q=1");

    // An empty port or a "@" in the password: the last "@" ends the login.
    parts = Cracked("ftp://u:p@ss@files.example.com:/pub#top");
    EXPECT_EQ(parts.password, "p@ss");
    EXPECT_EQ(parts.port, 21);
    EXPECT_EQ(parts.extra, "#top");

    parts = Cracked("http://[::1]:8081/x");
    EXPECT_EQ(parts.host, "[::1]");
    EXPECT_EQ(parts.port, 8081);

    parts = Cracked("mailto:someone@example.com");
    EXPECT_EQ(parts.scheme, plat::INTERNET_SCHEME_MAILTO);
    EXPECT_EQ(parts.host, "");
    EXPECT_EQ(parts.path, "someone@example.com");
}

TEST(InternetUrlTest, FailuresTellAMissingSchemeFromAMalformedUrl) {
    // No scheme, or one nobody knows: the transport then retries with "http://".
    EXPECT_EQ(CrackFailure("example/path?a=1&b"), plat::kErrInternetUnrecognizedScheme);
    EXPECT_EQ(CrackFailure("example:8080/path"), plat::kErrInternetUnrecognizedScheme);
    EXPECT_EQ(CrackFailure("/files/list?x=2"), plat::kErrInternetUnrecognizedScheme);
    EXPECT_EQ(CrackFailure("gopher2://host/"), plat::kErrInternetUnrecognizedScheme);
    EXPECT_EQ(CrackFailure(""), plat::kErrInternetUnrecognizedScheme);
    // A server scheme needs a host and a sound port.
    EXPECT_EQ(CrackFailure("http:///files/list?x=2"), plat::kErrInternetInvalidUrl);
    EXPECT_EQ(CrackFailure("http://host:99999/"), plat::kErrInternetInvalidUrl);
    EXPECT_EQ(CrackFailure("http://host:8o/"), plat::kErrInternetInvalidUrl);
    EXPECT_EQ(CrackFailure("http:host/path"), plat::kErrInternetInvalidUrl);
    EXPECT_EQ(CrackFailure("http://[::1/x"), plat::kErrInternetInvalidUrl);

    // The transport's fallbacks for texts without a scheme.
    plat::UrlParts parts = Cracked("http://example/path?a=1&b");
    EXPECT_EQ(parts.host, "example");
    EXPECT_EQ(parts.path, "/path");
    EXPECT_EQ(parts.extra, "?a=1&b");
    parts = Cracked(std::string("http://\0/files/list?x=2", 23));
    EXPECT_EQ(parts.host, std::string(1, '\0'));
    EXPECT_EQ(parts.path, "/files/list");
    EXPECT_EQ(parts.extra, "?x=2");
}

TEST(InternetUrlTest, BuildsTextsWithoutDefaultPortsAndFromSchemeNumbers) {
    for (std::string_view url : {"http://user:pw@example.com:8080/dir/file.txt?a=1#f",
                                 "https://example.com/", "ftp://files.example.com:2121/pub",
                                 "http://[::1]:8081/x", "mailto:someone@example.com"}) {
        EXPECT_EQ(Built(Cracked(url)), url);
    }
    EXPECT_EQ(Built(Cracked("http://example.com:80/a")), "http://example.com/a");
    EXPECT_EQ(Built(Cracked("https://example.com:443")), "https://example.com");

    plat::UrlParts parts;
    parts.scheme = plat::INTERNET_SCHEME_UNKNOWN;
    parts.host = "example";
    parts.port = 81;
    parts.path = "p";
    EXPECT_EQ(Built(parts), "http://example:81/p");
    parts.scheme = plat::INTERNET_SCHEME_HTTPS;
    parts.port = 0;
    parts.user = "u";
    EXPECT_EQ(Built(parts), "https://u@example/p");
    parts.schemeText = "HTTP";
    EXPECT_EQ(Built(parts), "HTTP://u@example/p");

    std::string url;
    parts = plat::UrlParts{};
    parts.scheme = plat::INTERNET_SCHEME_HTTP;
    EXPECT_FALSE(plat::CreateUrl(parts, &url));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetInvalidUrl);
    parts.host = "h";
    parts.scheme = 42;
    EXPECT_FALSE(plat::CreateUrl(parts, &url));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInternetUnrecognizedScheme);
}

} // namespace

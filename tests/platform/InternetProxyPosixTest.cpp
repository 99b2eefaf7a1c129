// How the POSIX backend reads proxy settings: WinINet's proxy and bypass
// texts, and the environment's proxy variables.

#include "platform/posix/InternetProxy.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using plat::posix::ProxySettings;
using testsupport::ScopedEnv;

// Every proxy variable the environment may hold, removed for a test.
class CleanProxyEnvironment {
public:
    CleanProxyEnvironment() {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            cleared_.push_back(std::make_unique<ScopedEnv>(name, nullptr));
    }

private:
    std::vector<std::unique_ptr<ScopedEnv>> cleared_;
};

TEST(ProxySettingsTest, WinInetFormsAndBypassLists) {
    ProxySettings settings;
    EXPECT_FALSE(ProxySettings::FromText("", "", &settings));
    EXPECT_FALSE(ProxySettings::FromText("ftp=proxy:21", "", &settings));

    ASSERT_TRUE(
        ProxySettings::FromText("proxy.local:3128", "<local>; *.intra.example  10.*", &settings));
    EXPECT_EQ(settings.For(false, "updates.example.com"), "proxy.local:3128");
    EXPECT_EQ(settings.For(true, "updates.example.com"), "proxy.local:3128");
    EXPECT_EQ(settings.For(false, "fileserver"), "");      // no dot: <local>
    EXPECT_EQ(settings.For(false, "a.INTRA.example"), ""); // wildcards ignore case
    EXPECT_EQ(settings.For(false, "10.1.2.3"), "");
    EXPECT_EQ(settings.For(false, "intra.example"), "proxy.local:3128");

    ASSERT_TRUE(ProxySettings::FromText("http=web:80;https=secure:443", "", &settings));
    EXPECT_EQ(settings.For(false, "a.example"), "web:80");
    EXPECT_EQ(settings.For(true, "a.example"), "secure:443");
    ASSERT_TRUE(ProxySettings::FromText("https=secure:443", "*", &settings));
    EXPECT_EQ(settings.For(false, "a.example"), "");
    EXPECT_EQ(settings.For(true, "a.example"), "");
}

TEST(ProxySettingsTest, TheEnvironmentsVariables) {
    CleanProxyEnvironment clean;
    EXPECT_EQ(ProxySettings::FromEnvironment().For(false, "a.example"), "");
    {
        // An upper-case HTTP_PROXY may be a web request's header in a CGI
        // environment: only the lower-case name counts for http.
        ScopedEnv upper("HTTP_PROXY", "http://cgi:1");
        ScopedEnv secure("HTTPS_PROXY", "http://secure:2");
        ProxySettings settings = ProxySettings::FromEnvironment();
        EXPECT_EQ(settings.For(false, "a.example"), "");
        EXPECT_EQ(settings.For(true, "a.example"), "http://secure:2");
    }
    ScopedEnv plain("http_proxy", "http://plain:3");
    ScopedEnv all("ALL_PROXY", "socks5://all:4");
    ScopedEnv none("no_proxy", "localhost, .corp.example,10.0.0.7");
    ProxySettings settings = ProxySettings::FromEnvironment();
    EXPECT_EQ(settings.For(false, "a.example"), "http://plain:3");
    EXPECT_EQ(settings.For(true, "a.example"), "socks5://all:4");
    EXPECT_EQ(settings.For(false, "localhost"), "");
    EXPECT_EQ(settings.For(false, "corp.example"), "");
    EXPECT_EQ(settings.For(true, "build.corp.example."), "");
    EXPECT_EQ(settings.For(false, "notcorp.example"), "http://plain:3");
    EXPECT_EQ(settings.For(false, "10.0.0.7"), "");
    EXPECT_EQ(settings.For(false, "10.0.0.70"), "http://plain:3");
    ScopedEnv everything("no_proxy", "*");
    EXPECT_EQ(ProxySettings::FromEnvironment().For(true, "a.example"), "");
}

} // namespace

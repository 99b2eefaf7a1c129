// The records window messages travel in between processes: what goes in
// comes out, and damaged or hostile input is refused rather than trusted.

#include "platform/posix/MessageWire.h"

#include <gtest/gtest.h>

namespace {

using namespace plat::posix;

TEST(WindowWireTest, RequestsAndRepliesComeBackAsTheyWent) {
    WireRequest request;
    request.kind = WireKind::CopyData;
    request.window = 0x0000123400000007ull;
    request.message = plat::WM_COPYDATA;
    request.wParam = ~0ull;
    request.lParam = -2;
    request.number = 0x8000000000000001ull;
    request.payload = std::string("a\0b", 3);
    std::string bytes = EncodeRequest(request);
    ASSERT_EQ(bytes.size(), kRequestHeaderSize + 3);

    WireRequest decoded;
    std::uint32_t payloadSize = 0;
    ASSERT_TRUE(DecodeRequestHeader(std::string_view(bytes).substr(0, kRequestHeaderSize), &decoded,
                                    &payloadSize));
    EXPECT_EQ(decoded.kind, WireKind::CopyData);
    EXPECT_EQ(decoded.window, request.window);
    EXPECT_EQ(decoded.message, request.message);
    EXPECT_EQ(decoded.wParam, request.wParam);
    EXPECT_EQ(decoded.lParam, -2);
    EXPECT_EQ(decoded.number, request.number);
    EXPECT_EQ(payloadSize, 3u);

    WireReply reply{1460, -5, "xyz"};
    bytes = EncodeReply(reply);
    WireReply back;
    ASSERT_TRUE(DecodeReplyHeader(std::string_view(bytes).substr(0, kReplyHeaderSize), &back,
                                  &payloadSize));
    EXPECT_EQ(back.status, 1460u);
    EXPECT_EQ(back.result, -5);
    EXPECT_EQ(payloadSize, 3u);
}

TEST(WindowWireTest, HeadersThatAreNotOursAreRefused) {
    WireRequest request;
    request.kind = WireKind::List;
    std::string good = EncodeRequest(request);
    WireRequest decoded;
    std::uint32_t payloadSize = 0;

    std::string wrongMagic = good;
    wrongMagic[3] = '2';
    EXPECT_FALSE(DecodeRequestHeader(wrongMagic, &decoded, &payloadSize));
    std::string unknownKind = good;
    unknownKind[4] = 9;
    EXPECT_FALSE(DecodeRequestHeader(unknownKind, &decoded, &payloadSize));
    std::string huge = good;
    huge[47] = '\x7f'; // payload size far over the limit
    EXPECT_FALSE(DecodeRequestHeader(huge, &decoded, &payloadSize));
    EXPECT_FALSE(
        DecodeRequestHeader(good.substr(0, kRequestHeaderSize - 1), &decoded, &payloadSize));
    // A reply is not a request.
    EXPECT_FALSE(DecodeRequestHeader(EncodeReply(WireReply{}) + std::string(28, '\0'), &decoded,
                                     &payloadSize));
}

TEST(WindowWireTest, WindowListsSurviveTheTripAndDamageIsCaught) {
    std::vector<WireWindow> windows = {{0x100000001ull, "LauncherMain", "Launcher \xc3\xa9"},
                                       {0x100000002ull, "", ""}};
    std::string bytes = EncodeWindowList(windows);
    std::vector<WireWindow> decoded;
    ASSERT_TRUE(DecodeWindowList(bytes, &decoded));
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].window, windows[0].window);
    EXPECT_EQ(decoded[0].className, windows[0].className);
    EXPECT_EQ(decoded[0].title, windows[0].title);
    EXPECT_EQ(decoded[1].window, windows[1].window);
    EXPECT_TRUE(decoded[1].title.empty());

    // Every cut short list, and one with bytes left over, is refused.
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(DecodeWindowList(bytes.substr(0, size), &decoded)) << size;
    EXPECT_FALSE(DecodeWindowList(bytes + "x", &decoded));
    // A count that the bytes cannot hold is not believed.
    std::string lying = EncodeWindowList({});
    lying[3] = '\x10';
    EXPECT_FALSE(DecodeWindowList(lying, &decoded));
    EXPECT_TRUE(DecodeWindowList(EncodeWindowList({}), &decoded));
    EXPECT_TRUE(decoded.empty());
}

} // namespace

#include "base/OwnedMessage.h"

#include "base/ManualResetEvent.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

// Counts its destructions, so that a test sees who freed it and how often.
struct Parcel {
    explicit Parcel(std::atomic<int>* freed, int value = 0) : freed(freed), value(value) {}
    ~Parcel() { ++*freed; }
    std::atomic<int>* freed;
    int value;
};

using ParcelMessage = base::OwnedMessage<plat::WM_APP + 40, Parcel>;

// Takes the parcels its window gets, on the window's thread.
class Taker : public plat::IWindowHandler {
public:
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM,
                                      plat::LPARAM lParam, const plat::CopyData*) override {
        if (message == ParcelMessage::kNumber)
            taken = base::TakeOwned<ParcelMessage>(lParam);
        return 0;
    }
    std::unique_ptr<Parcel> taken;
};

// A window of the test's thread whose handler takes the parcels, and a count
// of the parcels freed.
class OwnedMessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = plat::CreateWindow(L"OwnedTaker", L"", &taker, true);
        ASSERT_NE(window, 0u);
    }
    void TearDown() override {
        if (window)
            plat::DestroyWindow(window);
    }
    bool Post(plat::HWND to, int value = 0) {
        return base::PostOwned<ParcelMessage>(to, 0, std::make_unique<Parcel>(&freed, value));
    }
    void Destroy() {
        ASSERT_TRUE(plat::DestroyWindow(window));
        window = 0;
    }

    std::atomic<int> freed{0};
    Taker taker;
    plat::HWND window = 0;
};

TEST_F(OwnedMessageTest, TheHandlerTakesTheObjectAndNothingElseFreesIt) {
    ASSERT_TRUE(Post(window, 7));
    plat::Msg msg;
    ASSERT_TRUE(plat::PeekMessage(&msg));
    EXPECT_EQ(msg.message, ParcelMessage::kNumber);
    plat::DispatchMessage(msg);
    ASSERT_NE(taker.taken, nullptr);
    EXPECT_EQ(taker.taken->value, 7);
    EXPECT_EQ(freed.load(), 0);
    // Destroying the window afterwards frees nothing more: the message left
    // the queue with its object.
    Destroy();
    EXPECT_EQ(freed.load(), 0);
    taker.taken.reset();
    EXPECT_EQ(freed.load(), 1);
}

TEST_F(OwnedMessageTest, AMessageDroppedWithItsWindowFreesWhatItCarried) {
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Post(window, i));
    // A plain message in between owns nothing.
    ASSERT_TRUE(plat::PostMessage(window, plat::WM_APP + 41, 0, 12345));
    Destroy();
    EXPECT_EQ(freed.load(), 3);
    EXPECT_EQ(taker.taken, nullptr);
    plat::Msg msg;
    EXPECT_FALSE(plat::PeekMessage(&msg));
}

TEST_F(OwnedMessageTest, AMessageLeftWhenItsThreadEndsIsFreedWithTheQueue) {
    CManualResetEvent ready, posted;
    std::atomic<plat::HWND> other{0};
    Taker otherTaker;
    std::thread owner([&] {
        other = plat::CreateWindow(L"OwnedTaker", L"", &otherTaker, true);
        ready.Set();
        posted.Wait();
        // The thread ends without looking at its queue.
    });
    ASSERT_TRUE(ready.Wait(30000));
    ASSERT_NE(other.load(), 0u);
    ASSERT_TRUE(Post(other));
    EXPECT_EQ(freed.load(), 0);
    posted.Set();
    owner.join();
    EXPECT_EQ(freed.load(), 1);
    EXPECT_EQ(otherTaker.taken, nullptr);
    // The window went with its thread: a later post fails and frees at once.
    EXPECT_FALSE(Post(other));
    EXPECT_EQ(freed.load(), 2);
}

TEST_F(OwnedMessageTest, ALoopThatDropsATakenMessageDiscardsItOnce) {
    ASSERT_TRUE(Post(window));
    ASSERT_TRUE(plat::PostMessage(window, plat::WM_APP + 41, 0, 0));
    plat::Msg msg;
    int drained = 0;
    while (plat::PeekMessage(&msg)) {
        plat::DiscardMessage(msg);
        plat::DiscardMessage(msg); // a second discard finds nothing to free
        ++drained;
    }
    EXPECT_EQ(drained, 2);
    EXPECT_EQ(freed.load(), 1);
    Destroy();
    EXPECT_EQ(freed.load(), 1);
}

TEST_F(OwnedMessageTest, NoWindowOrOneOfAnotherProcessRefusesAndFreesAtOnce) {
    EXPECT_FALSE(Post(0));
    EXPECT_EQ(freed.load(), 1);
    // An object's address means nothing in another process.
    const plat::HWND foreign = (static_cast<plat::HWND>(0x7FFFFFF0u) << 32) | 1u;
    EXPECT_FALSE(Post(foreign));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
    EXPECT_EQ(freed.load(), 2);
}

TEST(BorrowedParamTest, APointerTravelsUnchanged) {
    int object = 5;
    plat::WPARAM param = base::BorrowedParam(&object);
    EXPECT_EQ(base::Borrowed<int>(param), &object);
    EXPECT_EQ(base::Borrowed<int>(base::BorrowedParam<int>(nullptr)), nullptr);
}

} // namespace

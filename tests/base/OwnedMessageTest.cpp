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

TEST(OwnedMessageTest, TheHandlerTakesTheObjectAndNothingElseFreesIt) {
    std::atomic<int> freed{0};
    Taker taker;
    plat::HWND window = plat::CreateWindow(L"OwnedTaker", L"", &taker, true);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(base::PostOwned<ParcelMessage>(window, 0, std::make_unique<Parcel>(&freed, 7)));
    plat::Msg msg;
    ASSERT_TRUE(plat::PeekMessage(&msg));
    EXPECT_EQ(msg.message, ParcelMessage::kNumber);
    plat::DispatchMessage(msg);
    ASSERT_NE(taker.taken, nullptr);
    EXPECT_EQ(taker.taken->value, 7);
    EXPECT_EQ(freed.load(), 0);
    // Destroying the window afterwards frees nothing more: the message left
    // the queue with its object.
    ASSERT_TRUE(plat::DestroyWindow(window));
    EXPECT_EQ(freed.load(), 0);
    taker.taken.reset();
    EXPECT_EQ(freed.load(), 1);
}

TEST(OwnedMessageTest, AMessageDroppedWithItsWindowFreesWhatItCarried) {
    std::atomic<int> freed{0};
    Taker taker;
    plat::HWND window = plat::CreateWindow(L"OwnedTaker", L"", &taker, true);
    ASSERT_NE(window, 0u);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(base::PostOwned<ParcelMessage>(window, 0, std::make_unique<Parcel>(&freed, i)));
    // A plain message in between owns nothing.
    ASSERT_TRUE(plat::PostMessage(window, plat::WM_APP + 41, 0, 12345));
    ASSERT_TRUE(plat::DestroyWindow(window));
    EXPECT_EQ(freed.load(), 3);
    EXPECT_EQ(taker.taken, nullptr);
    plat::Msg msg;
    EXPECT_FALSE(plat::PeekMessage(&msg));
}

TEST(OwnedMessageTest, AMessageLeftWhenItsThreadEndsIsFreedWithTheQueue) {
    std::atomic<int> freed{0};
    CManualResetEvent ready, posted;
    std::atomic<plat::HWND> window{0};
    Taker taker;
    std::thread owner([&] {
        window = plat::CreateWindow(L"OwnedTaker", L"", &taker, true);
        ready.Set();
        posted.Wait();
        // The thread ends without looking at its queue.
    });
    ASSERT_TRUE(ready.Wait(30000));
    ASSERT_NE(window.load(), 0u);
    ASSERT_TRUE(base::PostOwned<ParcelMessage>(window, 0, std::make_unique<Parcel>(&freed)));
    EXPECT_EQ(freed.load(), 0);
    posted.Set();
    owner.join();
    EXPECT_EQ(freed.load(), 1);
    EXPECT_EQ(taker.taken, nullptr);
    // The window went with its thread: a later post fails and frees at once.
    EXPECT_FALSE(base::PostOwned<ParcelMessage>(window, 0, std::make_unique<Parcel>(&freed)));
    EXPECT_EQ(freed.load(), 2);
}

TEST(OwnedMessageTest, ALoopThatDropsATakenMessageDiscardsItOnce) {
    std::atomic<int> freed{0};
    Taker taker;
    plat::HWND window = plat::CreateWindow(L"OwnedTaker", L"", &taker, true);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(base::PostOwned<ParcelMessage>(window, 0, std::make_unique<Parcel>(&freed)));
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
    ASSERT_TRUE(plat::DestroyWindow(window));
    EXPECT_EQ(freed.load(), 1);
}

TEST(OwnedMessageTest, NoWindowOrOneOfAnotherProcessRefusesAndFreesAtOnce) {
    std::atomic<int> freed{0};
    EXPECT_FALSE(base::PostOwned<ParcelMessage>(0, 0, std::make_unique<Parcel>(&freed)));
    EXPECT_EQ(freed.load(), 1);
    // An object's address means nothing in another process.
    const plat::HWND foreign = (static_cast<plat::HWND>(0x7FFFFFF0u) << 32) | 1u;
    EXPECT_FALSE(base::PostOwned<ParcelMessage>(foreign, 0, std::make_unique<Parcel>(&freed)));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
    EXPECT_EQ(freed.load(), 2);
}

TEST(OwnedMessageTest, ABorrowedPointerTravelsUnchanged) {
    int object = 5;
    plat::WPARAM param = base::BorrowedParam(&object);
    EXPECT_EQ(base::Borrowed<int>(param), &object);
    EXPECT_EQ(base::Borrowed<int>(base::BorrowedParam<int>(nullptr)), nullptr);
}

} // namespace

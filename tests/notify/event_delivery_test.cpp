// Event delivery without a window: what reaches the listener at once, what
// waits for the posted delivery, and a raise that a host cut short.
#include "notify/event_delivery.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace zanthel;

namespace {

struct FakeWindow final : DeliveryWindow {
    int deliveries = 0;
    bool popup = false;
    bool PostDelivery() noexcept override { return ++deliveries, true; }
    void PostMenu(const MenuRequest&) noexcept override {}
    bool PopupShowing() const noexcept override { return popup; }
};

struct Recorder final : IconEventListener {
    std::vector<std::wstring> heard;
    int holds = 0;
    std::function<void()> handler;
    void IconEventRaised(IconEvent event, LONG, const Text&) noexcept override
    {
        heard.push_back(EventName(event));
        if (handler) std::exchange(handler, nullptr)();
    }
    void HoldForRaise() noexcept override { ++holds; }
    void ReleaseFromRaise() noexcept override { --holds; }
};

struct Delivery {
    FakeWindow window;
    Recorder listener;
    EventDelivery delivery{window};
    Delivery() { delivery.Listen(&listener); }
};

}  // namespace

TEST(EventDelivery, AnEventWaitsForThePostedDeliveryWhenSomethingStandsInTheWay)
{
    struct Case {
        const char* what;
        std::function<void(Delivery&)> raise;
    };
    const std::vector<Case> cases = {
        {"inside a message another thread sent",
         [](Delivery& d) { d.delivery.Raise(IconEvent::Click, 0, Text(), true); }},
        {"a menu choice, after the popup's end",
         [](Delivery& d) { d.delivery.Raise(IconEvent::MenuItemClick, 1, Text(), false); }},
        {"while the popup shows",
         [](Delivery& d) {
             d.window.popup = true;
             d.delivery.Raise(IconEvent::Click, 0, Text(), false);
             EXPECT_EQ(0, d.window.deliveries) << "nothing is posted into the popup's loop";
             d.window.popup = false;
             d.delivery.PopupClosed();
         }},
        {"inside another event's handler",
         [](Delivery& d) {
             d.listener.handler = [&d] { d.delivery.Raise(IconEvent::Click, 0, Text(), false); };
             d.delivery.Raise(IconEvent::BalloonClick, 0, Text(), false);
             d.listener.heard.erase(d.listener.heard.begin());
         }},
    };
    for (const Case& test : cases) {
        Delivery d;
        test.raise(d);
        EXPECT_TRUE(d.listener.heard.empty()) << test.what;
        EXPECT_EQ(1, d.window.deliveries) << test.what;
        d.delivery.Deliver();
        EXPECT_EQ(1u, d.listener.heard.size()) << test.what;
        EXPECT_EQ(0, d.listener.holds) << test.what;
    }
}

namespace {

void* resume[5];

// Leaves the raise the way a host's handler that throws, caught around the
// host's message loop, does: none of the frames in between runs again.
__attribute__((noinline)) void RaiseThatAHostCutsShort(Delivery& d)
{
    d.listener.handler = [] { __builtin_longjmp(resume, 1); };
    if (__builtin_setjmp(resume) == 0) d.delivery.Raise(IconEvent::Click, 0, Text(), false);
}

}  // namespace

TEST(EventDelivery, ARaiseAHostCutShortIsOverAtTheNextEntry)
{
    Delivery d;
    RaiseThatAHostCutsShort(d);
    EXPECT_EQ(1, d.listener.holds) << "the skipped frame kept its hold";
    d.delivery.Raise(IconEvent::DoubleClick, 0, Text(), false);
    EXPECT_EQ(1u, d.listener.heard.size()) << "the cut raise still stands in the way";
    const int entry = 0;
    d.delivery.Entered(&entry);
    EXPECT_EQ(0, d.listener.holds);
    d.delivery.Deliver();
    EXPECT_EQ((std::vector<std::wstring>{L"Click", L"DoubleClick"}), d.listener.heard);
}

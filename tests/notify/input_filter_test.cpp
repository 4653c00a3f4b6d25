// What the shell's callbacks mean, as sequences of callbacks and the
// reactions they must give.
#include "notify/input_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zanthel;

namespace {

constexpr DWORD kDoubleClickTime = 500;

struct Step {
    UINT callback;
    DWORD at;
};

// One word per reaction, so a table reads as what the user sees.
std::string Describe(const Reaction& reaction)
{
    std::string words;
    if (reaction.event != IconEvent::None) {
        const std::wstring name = EventName(reaction.event);
        words += std::string(name.begin(), name.end()) + " ";
    }
    if (reaction.chooseDefault) words += "default ";
    if (reaction.stopWaiting) words += "stop-wait ";
    if (reaction.waitForDoubleClick) words += "wait ";
    if (reaction.menu == MenuSource::Mouse) words += "mouse-menu ";
    if (reaction.menu == MenuSource::Keyboard) words += "keyboard-menu ";
    return words;
}

std::vector<std::string> Reactions(const std::vector<Step>& steps, bool leftClickMenu, bool waitEnds = false)
{
    InputFilter filter;
    std::vector<std::string> reactions;
    for (const Step& step : steps) {
        const std::string words = Describe(filter.Callback(step.callback, step.at, kDoubleClickTime, leftClickMenu));
        if (!words.empty()) reactions.push_back(words);
    }
    if (waitEnds) {
        const std::string words = Describe(filter.MenuWaitEnded());
        if (!words.empty()) reactions.push_back(words);
    }
    return reactions;
}

}  // namespace

TEST(InputFilter, EachSequenceOfCallbacksMeansWhatTheUserDid)
{
    struct Case {
        const char* what;
        std::vector<Step> steps;
        bool leftClickMenu, waitEnds;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"Enter sends a pair: one click",
         {{NIN_KEYSELECT, 0}, {NIN_KEYSELECT, 10}, {NIN_KEYSELECT, 900}},
         false,
         false,
         {"Click ", "Click "}},
        {"the pointer on the icon does not part Enter's pair",
         {{NIN_KEYSELECT, 0}, {WM_MOUSEMOVE, 1}, {NIN_POPUPOPEN, 2}, {NIN_POPUPCLOSE, 3}, {NIN_KEYSELECT, 10}},
         false,
         false,
         {"Click "}},
        {"with the left-click menu a click waits, then opens it at the pointer",
         {{WM_LBUTTONDOWN, 0}, {NIN_SELECT, 5}},
         true,
         true,
         {"wait ", "mouse-menu "}},
        {"with the left-click menu a double click stops the wait",
         {{WM_LBUTTONDOWN, 0}, {NIN_SELECT, 5}, {WM_LBUTTONDBLCLK, 100}, {NIN_SELECT, 110}},
         true,
         true,
         {"wait ", "DoubleClick default stop-wait "}},
        {"with the left-click menu Enter opens it from the keyboard at once",
         {{NIN_KEYSELECT, 0}, {NIN_KEYSELECT, 5}},
         true,
         false,
         {"keyboard-menu "}},
        {"the right button's menu is the mouse's, the menu key's the keyboard's",
         {{WM_RBUTTONDOWN, 0}, {WM_RBUTTONUP, 5}, {WM_CONTEXTMENU, 6}, {WM_CONTEXTMENU, 900}},
         false,
         false,
         {"mouse-menu ", "keyboard-menu "}},
        {"one close per balloon, whichever notice comes",
         {{NIN_BALLOONSHOW, 0},
          {NIN_BALLOONTIMEOUT, 1},
          {NIN_BALLOONHIDE, 2},
          {NIN_BALLOONSHOW, 3},
          {NIN_BALLOONUSERCLICK, 4},
          {NIN_BALLOONHIDE, 5}},
         false,
         false,
         {"BalloonShown ", "BalloonClosed ", "BalloonShown ", "BalloonClick ", "BalloonClosed "}},
    };
    for (const Case& test : cases)
        EXPECT_EQ(test.expected, Reactions(test.steps, test.leftClickMenu, test.waitEnds)) << test.what;
}

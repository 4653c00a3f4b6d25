#include "common/errors.h"
#include "menu/clsMenu.h"
#include "menu/clsMenuBar.h"
#include "menu/menu_state.h"
#include "support/errors.h"
#include "support/fresh_apartment.h"
#include "tray/frmTray.h"

#include <gtest/gtest.h>

using namespace zanthel;
using namespace zanthel::test;

namespace {

// Tries to add a menu item from inside the event, as a handler might.
class AddingSubscriber : public MenuClickedSubscriber {
public:
    explicit AddingSubscriber(clsMenuBar& bar) : bar_(bar) {}
    HRESULT MenuBar_MenuClicked(LONG, BSTR) noexcept override
    {
        Text inside;
        inside.Assign(L"inside");
        return bar_.AddMenu(inside);
    }

private:
    clsMenuBar& bar_;
};

}  // namespace

TEST(MenuErrors, SubscriptOutOfRange)
{
    OnFreshApartment([] {
        Ref<clsMenuBar> unbound;
        ASSERT_EQ(S_OK, clsMenuBar::Construct(unbound));
        Text caption;
        ASSERT_EQ(S_OK, caption.Assign(L"x"));
        EXPECT_EQ(kSubscriptOutOfRange, unbound->AddMenu(caption)) << "no caption table before Create";
        Ref<clsMenu> node;
        EXPECT_EQ(kSubscriptOutOfRange, unbound->SubMenu(0, node));

        Ref<frmTray> window;
        ASSERT_EQ(S_OK, ObtainHostWindow(window));
        clsMenuBar* bar = window->MenuBar();
        EXPECT_EQ(kSubscriptOutOfRange, bar->SubMenu(1, node));
        EXPECT_EQ(kSubscriptOutOfRange, bar->ClickMenu(71));
        EXPECT_EQ(kSubscriptOutOfRange, bar->ClickMenu(-1));
        ASSERT_EQ(S_OK, bar->SubMenu(0, node));
        EXPECT_EQ(kSubscriptOutOfRange, node->SubMenu(0, node)) << "a node without children";
    });
}

TEST(MenuErrors, SubMenuAfterCreateAndBeforeAddMenuIsEmptyNotAnError)
{
    OnFreshApartment([] {
        Ref<frmTray> window;
        ASSERT_EQ(S_OK, ObtainHostWindow(window));
        Ref<clsMenuBar> bar;
        ASSERT_EQ(S_OK, clsMenuBar::Construct(bar));
        ASSERT_EQ(S_OK, bar->Create(window->Handle()));
        Ref<clsMenu> node;
        EXPECT_EQ(S_OK, bar->SubMenu(0, node));
        EXPECT_FALSE(node);
    });
}

TEST(MenuErrors, TheTableIsLockedWhileMenuClickedIsDelivered)
{
    OnFreshApartment([] {
        Ref<frmTray> window;
        ASSERT_EQ(S_OK, ObtainHostWindow(window));
        clsMenuBar* bar = window->MenuBar();
        AddingSubscriber subscriber(*bar);
        bar->Subscribe(&subscriber);
        EXPECT_EQ(kArrayLocked, bar->ClickMenu(70));
        bar->Subscribe(window.Get());
        LONG upper = 0;
        MenuApartment()->gMenuCaptions.UpperBound(upper);
        EXPECT_EQ(70, upper) << "nothing was added";
        Text after;
        ASSERT_EQ(S_OK, after.Assign(L"after"));
        EXPECT_EQ(S_OK, bar->AddMenu(after)) << "the lock ends with the event";
    });
}

TEST(MenuErrors, FailuresReachAutomationCallersWithTheirStandardTexts)
{
    OnFreshApartment([] {
        const struct {
            HRESULT code;
            const wchar_t* text;
        } errors[] = {{kOverflow, L"Overflow"},
                      {kSubscriptOutOfRange, L"Subscript out of range"},
                      {kArrayLocked, L"This array is fixed or temporarily locked"}};
        for (const auto& error : errors) {
            EXPECT_EQ(error.code, ComBarrier([&] { return error.code; }));
            EXPECT_EQ(error.text, ErrorDescription());
        }
        EXPECT_EQ(S_OK, ComBarrier([] { return S_OK; }));
        EXPECT_EQ(kNoErrorInfo, ErrorDescription()) << "success leaves no stale description";
    });
}

#include "notify/notification_icon.h"

#include "common/built_in_icon.h"
#include "common/dpi.h"
#include "common/errors.h"
#include "common/host_window.h"
#include "common/icon_file.h"
#include "common/module.h"
#include "common/taskbar_created.h"
#include "notify/notify_state.h"

#include <windowsx.h>

#include <utility>

namespace zanthel {
namespace {

constexpr const char* kClassName = "ZanthelNotifyWindow";
// Posted by the window to itself, so the listener hears events outside any modal loop.
constexpr UINT kDeliverMessage = ShellRecord::kCallbackMessage + 1;
// Posted by the window to itself: the popup opens from its own message, where
// MenuOpening may call handlers in any apartment.
constexpr UINT kShowMenuMessage = kDeliverMessage + 1;
// A left click's menu opens when this runs out without a double click.
constexpr UINT_PTR kMenuWaitTimer = ShellRecord::kRetryTimer + 1;
// Windows 7's balloon flags, which the headers for older systems lack.
constexpr DWORD kLargeIcon = 0x20, kRespectQuietTimeFlag = 0x80;

// A message another thread sent, whose sender waits: COM refuses calls to a
// listener in another apartment from here, and no modal loop may start.
bool InSentMessage() noexcept { return ::InSendMessageEx(nullptr) != ISMEX_NOSEND; }

}  // namespace

HRESULT NotificationIcon::Create(Ref<NotificationIcon>& created) noexcept
{
    NotifyState* state = ApartmentState<NotifyState>();
    Ref<NotificationIcon> icon = Make<NotificationIcon>();
    if (!state || !icon) return E_OUTOFMEMORY;
    UniqueIcon picture;
    int size = 0;
    RETURN_IF_FAILED(icon->LoadPicture(Text(), picture, size));
    RETURN_IF_FAILED(RegisterHostWindowClass(kClassName, &WindowProc, true));
    // Top-level, not message-only: only top-level windows hear "TaskbarCreated".
    const HWND window =
        ::CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module::Instance(), nullptr);
    if (!window) return LastError();
    // Attached only now: WM_NCCREATE's create data can come from any process.
    icon->window_.Attach(window, icon.Get());
    icon->shell_.Attach(window);
    icon->shell_.SetPicture(std::move(picture), size);
    state->Add(*icon.Get());
    created = std::move(icon);
    return S_OK;
}

NotificationIcon::~NotificationIcon() { End(Ending::Closed); }

void NotificationIcon::Listen(IconEventListener* listener) noexcept
{
    if (!closed_) delivery_.Listen(listener);
}

HRESULT NotificationIcon::SetToolTip(const Text& tip) noexcept
{
    if (closed_) return NotConnected();
    return shell_.SetTip(tip);
}

HRESULT NotificationIcon::LoadPicture(const Text& path, UniqueIcon& loaded, int& size) const noexcept
{
    const int width = ShellIconMetric(SM_CXSMICON), height = ShellIconMetric(SM_CYSMICON);
    if (path.Empty()) {
        loaded = LoadBuiltInIcon();
        if (!loaded) return LastError();
    } else {
        RETURN_IF_FAILED(LoadIconFile(path, width, height, loaded));
    }
    size = width;
    return S_OK;
}

HRESULT NotificationIcon::SetIcon(const Text& path) noexcept
{
    if (closed_) return NotConnected();
    UniqueIcon loaded;
    int size = 0;
    RETURN_IF_FAILED(LoadPicture(path, loaded, size));
    RETURN_IF_FAILED(iconPath_.Assign(path));
    shell_.SetPicture(std::move(loaded), size);
    return S_OK;
}

HRESULT NotificationIcon::SetVisible(bool visible) noexcept
{
    if (closed_) return NotConnected();
    shell_.Want(visible);
    return S_OK;
}

HRESULT NotificationIcon::AddMenuItem(const Text& caption, LONG& id) noexcept
{
    return AddMenuItemTo(IconMenu::kTop, caption, id);
}

HRESULT NotificationIcon::AddMenuItemTo(LONG parent, const Text& caption, LONG& id) noexcept
{
    if (closed_) return NotConnected();
    return menu_.Add(parent, caption, false, id);
}

HRESULT NotificationIcon::AddSubMenu(LONG parent, const Text& caption, LONG& id) noexcept
{
    if (closed_) return NotConnected();
    return menu_.Add(parent, caption, true, id);
}

HRESULT NotificationIcon::AddSeparator() noexcept { return AddSeparatorTo(IconMenu::kTop); }

HRESULT NotificationIcon::AddSeparatorTo(LONG parent) noexcept
{
    if (closed_) return NotConnected();
    return menu_.AddSeparator(parent);
}

HRESULT NotificationIcon::SetMenuItemCaption(LONG id, const Text& caption) noexcept
{
    if (closed_) return NotConnected();
    return menu_.SetCaption(id, caption);
}

HRESULT NotificationIcon::RemoveMenuItem(LONG id) noexcept
{
    if (closed_) return NotConnected();
    RETURN_IF_FAILED(menu_.Remove(id));
    // An open popup would still offer what is gone.
    if (menu_.Showing()) ::EndMenu();
    return S_OK;
}

HRESULT NotificationIcon::SetMenuItemChecked(LONG id, bool checked) noexcept
{
    if (closed_) return NotConnected();
    return menu_.SetChecked(id, checked);
}

HRESULT NotificationIcon::SetMenuItemEnabled(LONG id, bool enabled) noexcept
{
    if (closed_) return NotConnected();
    return menu_.SetEnabled(id, enabled);
}

HRESULT NotificationIcon::SetMenuItemRadio(LONG id, LONG group) noexcept
{
    if (closed_) return NotConnected();
    return menu_.SetRadio(id, group);
}

HRESULT NotificationIcon::SetDefaultMenuItem(LONG id) noexcept
{
    if (closed_) return NotConnected();
    return menu_.SetDefault(id);
}

HRESULT NotificationIcon::ClearMenu() noexcept
{
    if (closed_) return NotConnected();
    menu_.Clear();
    if (menu_.Showing()) ::EndMenu();
    return S_OK;
}

HRESULT NotificationIcon::ShowBalloon(const Text& title, const Text& text, LONG kind) noexcept
{
    if (closed_) return NotConnected();
    if (kind < kBalloonNone || kind > kBalloonError)
        return Describe(E_INVALIDARG, L"The balloon kind must be 0 (none), 1 (information), 2 (warning) or 3 (error).");
    return ShowNotification(title, text, kind, Text(), 0);
}

HRESULT NotificationIcon::ShowNotification(const Text& title, const Text& text, LONG kind, const Text& iconPath,
                                           LONG options) noexcept
{
    if (closed_) return NotConnected();
    if (kind < kBalloonNone || kind > kBalloonPicture)
        return Describe(E_INVALIDARG,
                        L"The notification kind must be 0 (none), 1 (information), 2 (warning), "
                        L"3 (error) or 4 (the picture iconPath names).");
    if ((options & ~(kNoSound | kRespectQuietTime)) != 0)
        return Describe(E_INVALIDARG, L"The notification options are 1 (no sound) and 2 (respect quiet time).");
    if (kind != kBalloonPicture && !iconPath.Empty())
        return Describe(E_INVALIDARG, L"Only a notification of kind 4 shows the picture iconPath names.");
    if (kind == kBalloonPicture && iconPath.Empty())
        return Describe(E_INVALIDARG, L"A notification of kind 4 needs the picture iconPath names.");
    if (!shell_.Wanted())
        return Describe(HRESULT_FROM_WIN32(ERROR_INVALID_STATE),
                        L"The icon must be visible before it shows a balloon.");
    UniqueIcon picture;
    if (kind == kBalloonPicture)
        RETURN_IF_FAILED(LoadIconFile(iconPath, ShellIconMetric(SM_CXICON), ShellIconMetric(SM_CYICON), picture));
    // Kinds 0 to 3 are NIIF_NONE, NIIF_INFO, NIIF_WARNING and NIIF_ERROR in order.
    DWORD flags = kind == kBalloonPicture ? NIIF_USER | kLargeIcon : static_cast<DWORD>(kind);
    if (options & kNoSound) flags |= NIIF_NOSOUND;
    if (options & kRespectQuietTime) flags |= kRespectQuietTimeFlag;
    if (!shell_.ShowBalloon(title, text, flags, std::move(picture)))
        return Describe(E_FAIL, L"The notification area did not show the balloon.");
    // A new balloon, whose close is still to come.
    if (!text.Empty()) filter_.NewBalloon();
    return S_OK;
}

void NotificationIcon::Close() noexcept { End(Ending::Closed); }

HRESULT NotificationIcon::NotConnected() const noexcept
{
    return Describe(CO_E_OBJNOTCONNECTED, L"The notification icon has been closed.");
}

void NotificationIcon::Raise(IconEvent event, LONG itemId, const Text& caption) noexcept
{
    delivery_.Raise(event, itemId, caption, InSentMessage());
}

void NotificationIcon::React(const Reaction& reaction, POINT anchor) noexcept
{
    // The shell lets this process take the foreground only while it handles
    // the click; taken now, it holds until the menu opens.
    if (reaction.OpensMenu()) ::SetForegroundWindow(window_.get());
    if (reaction.balloonGone) shell_.BalloonGone();
    if (reaction.stopWaiting) ::KillTimer(window_.get(), kMenuWaitTimer);
    if (reaction.waitForDoubleClick) ::SetTimer(window_.get(), kMenuWaitTimer, ::GetDoubleClickTime(), nullptr);
    if (reaction.event != IconEvent::None) Raise(reaction.event);
    if (reaction.chooseDefault) ChooseDefault();
    if (reaction.menu != MenuSource::None) ShowMenu(MenuRequest{reaction.menu, reaction.rightClick, anchor});
}

void NotificationIcon::ChooseDefault() noexcept
{
    LONG id = 0;
    Text caption;
    if (menu_.ChooseDefault(id, caption)) Raise(IconEvent::MenuItemClick, id, caption);
}

void NotificationIcon::ShowMenu(const MenuRequest& request) noexcept
{
    if (menu_.Showing() || !delivery_.MenuMayOpen(request, InSentMessage())) return;
    const bool wanted = shell_.Wanted();
    // What waits is heard first; then the handlers may change the menu.
    delivery_.Announce(IconEvent::MenuOpening);
    // Hidden, closed or released by a handler: no popup.
    if (closed_ || (wanted && !shell_.Wanted())) return;
    const HMENU shown = menu_.Popup();
    if (!shown) {
        if (request.rightClick) Raise(IconEvent::RightClick);
        return;
    }
    // A mouse menu opens where the pointer is, in this thread's pixels;
    // the shell's anchor is in physical ones.
    POINT at{};
    if (request.source == MenuSource::Keyboard || !::GetCursorPos(&at))
        at = ToLogicalPoint(window_.get(), request.anchor);
    // The menu opens beside or above the icon, never over it.
    RECT icon{};
    if (!shell_.Rect(icon)) {
        const int half = ::GetSystemMetrics(SM_CXSMICON) / 2;
        icon = RECT{at.x - half, at.y - half, at.x + half, at.y + half};
    }
    const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    menu_.BeginPopup();
    const UINT command = TrackIconPopup(window_.get(), shown, TPM_RETURNCMD | TPM_RIGHTBUTTON | align, at, &icon);
    // Read now: the host may change the menu before the event is delivered.
    LONG id = 0;
    Text caption;
    const bool chosen = command != 0 && menu_.Choose(command, id, caption);
    menu_.EndPopup();
    if (closed_) {
        // Closed from inside the popup's loop, which needed the window and menu until now.
        Dismantle(true);
        return;
    }
    // Only a menu cancelled from the keyboard hands the focus back: the shell
    // activates the taskbar to take it, over the window a chosen item opens.
    if (!chosen && request.source == MenuSource::Keyboard) shell_.GiveFocusBack();
    if (chosen) Raise(IconEvent::MenuItemClick, id, caption);
    delivery_.PopupClosed();
}

bool NotificationIcon::PostDelivery() noexcept
{
    return window_ && ::PostMessageW(window_.get(), kDeliverMessage, 0, 0);
}

void NotificationIcon::PostMenu(const MenuRequest& request) noexcept
{
    if (!window_) return;
    const WPARAM how = static_cast<WPARAM>(request.source) | (request.rightClick ? 0x100 : 0);
    ::PostMessageW(window_.get(), kShowMenuMessage, how, MAKELPARAM(request.anchor.x, request.anchor.y));
}

void NotificationIcon::OnShellCallback(UINT callback, POINT anchor) noexcept
{
    React(filter_.Callback(callback, ::GetTickCount(), DoubleClickTime(), leftClickMenu_), anchor);
}

void NotificationIcon::OnMenuWaitEnded() noexcept
{
    ::KillTimer(window_.get(), kMenuWaitTimer);
    React(filter_.MenuWaitEnded(), POINT{});
}

void NotificationIcon::OnShellRestarted() noexcept
{
    // The new shell's notification area is empty, perhaps at another scale.
    shell_.Forget();
    OnScaleMayHaveChanged();
    shell_.Sync();
}

void NotificationIcon::OnScaleMayHaveChanged() noexcept
{
    if (closed_ || ShellIconMetric(SM_CXSMICON) == shell_.PictureSize()) return;
    UniqueIcon loaded;
    int size = 0;
    // A file that has gone since keeps the picture it gave.
    if (SUCCEEDED(LoadPicture(iconPath_, loaded, size))) shell_.SetPicture(std::move(loaded), size);
}

void NotificationIcon::End(Ending how) noexcept
{
    if (!closed_) {
        closed_ = true;
        delivery_.Stop();
        if (state_) state_->Remove(*this);
        // Under the loader lock the window lets go first: what the shell
        // sends it while the icon leaves reaches none of this object.
        if (how == Ending::ThreadEnds) window_.LetGo().release();
        shell_.Want(false);
    }
    // ShowMenu finishes once the popup's loop has let go of window and menu.
    if (how == Ending::Closed && menu_.Showing()) {
        ::EndMenu();
        return;
    }
    Dismantle(how == Ending::Closed);
}

void NotificationIcon::Dismantle(bool destroyWindow) noexcept
{
    UniqueWindow window = window_.LetGo();
    if (!destroyWindow) window.release();
    window.reset();
    menu_.EndPopup();
    menu_.Clear();
    shell_.Withdraw();
}

LRESULT NotificationIcon::OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (msg) {
        case ShellRecord::kCallbackMessage:
            if (HIWORD(lParam) == ShellRecord::kIconId)
                OnShellCallback(LOWORD(lParam), POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
            return 0;
        case kDeliverMessage:
            delivery_.Deliver();
            return 0;
        case kShowMenuMessage:
            ShowMenu(MenuRequest{static_cast<MenuSource>(wParam & 0xFF), (wParam & 0x100) != 0,
                                 POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}});
            return 0;
        case WM_TIMER:
            if (wParam == ShellRecord::kRetryTimer) shell_.Sync();
            if (wParam == kMenuWaitTimer) OnMenuWaitEnded();
            return 0;
        case WM_DISPLAYCHANGE:
        case WM_SETTINGCHANGE:
        case WM_DPICHANGED:
            OnScaleMayHaveChanged();
            break;
        // The window ends with its object, not with another program's WM_CLOSE.
        case WM_CLOSE:
            return 0;
        default:
            // The shell started again, perhaps at another scale.
            if (IsTaskbarCreated(msg)) {
                OnShellRestarted();
                return 0;
            }
            break;
    }
    // WM_NCDESTROY needs nothing: the object lets go of its window before
    // destroying it, and the thread's end lets go of it before the system
    // destroys it, so one that finds the object here is forged (posted or
    // sent from elsewhere) and changes nothing.
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK NotificationIcon::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    NotificationIcon* found = WindowOwner::Of<NotificationIcon>(hwnd);
    if (!found) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    // Held for the whole message: the listener may release the last reference.
    const Ref<NotificationIcon> icon(found);
    // A host that caught a handler's exception around its message loop left
    // earlier messages' frames, and their holds, behind.
    const int marker = 0;
    const void* here = &marker;
    for (UINT gone = icon->entries_.DropGone(here); gone > 0; --gone) icon->Release();
    icon->delivery_.Entered(here);
    const bool recorded = icon->entries_.Push(here);
    const LRESULT result = icon->OnMessage(hwnd, msg, wParam, lParam);
    if (recorded)
        for (UINT skipped = icon->entries_.Pop(here); skipped > 0; --skipped) icon->Release();
    return result;
}

}  // namespace zanthel

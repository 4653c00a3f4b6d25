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
// Each object has a window of its own, so one identifier serves every icon.
constexpr UINT kIconId = 1;
// Posted by the window to itself, so the listener hears events outside any modal loop.
constexpr UINT kDeliverMessage = NotificationIcon::kCallbackMessage + 1;
constexpr UINT kShownFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
constexpr UINT kTipUnits = ARRAYSIZE(NOTIFYICONDATAW{}.szTip) - 1;
// Posted by the window to itself: the popup opens from its own message, where
// MenuOpening may call handlers in any apartment.
constexpr UINT kShowMenuMessage = kDeliverMessage + 1;
// Windows 7's balloon flags, which the headers for older systems lack.
constexpr DWORD kLargeIcon = 0x20, kRespectQuietTimeFlag = 0x80;

// The units of text that fit in limit, never half of a surrogate pair.
UINT CutLength(const Text& text, UINT limit) noexcept
{
    const UINT length = text.Length();
    if (length <= limit) return length;
    return IS_HIGH_SURROGATE(text.Chars()[limit - 1]) ? limit - 1 : limit;
}

template <UINT Size>
void CopyCut(wchar_t (&field)[Size], const Text& text) noexcept
{
    const UINT length = CutLength(text, Size - 1);
    ::CopyMemory(field, text.Chars(), length * sizeof(wchar_t));
    field[length] = L'\0';
}

}  // namespace

HRESULT NotificationIcon::Create(Ref<NotificationIcon>& created) noexcept
{
    NotifyState* state = ApartmentState<NotifyState>();
    Ref<NotificationIcon> icon = Make<NotificationIcon>();
    if (!state || !icon) return E_OUTOFMEMORY;
    RETURN_IF_FAILED(icon->LoadPicture(Text(), icon->icon_, icon->iconSize_));
    RETURN_IF_FAILED(RegisterHostWindowClass(kClassName, &WindowProc, true));
    // Top-level, not message-only: only top-level windows hear "TaskbarCreated".
    UniqueWindow window(
        ::CreateWindowExA(0, kClassName, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, module::Instance(), nullptr));
    if (!window) return LastError();
    AllowTaskbarCreated(window.get());
    // Attached only now: WM_NCCREATE's create data can come from any process.
    ::SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(icon.Get()));
    icon->hwnd_ = std::move(window);
    module::HostWindowCreated();
    state->Add(*icon.Get());
    created = std::move(icon);
    return S_OK;
}

NotificationIcon::~NotificationIcon() { End(Ending::Closed); }

void NotificationIcon::Listen(IconEventListener* listener) noexcept
{
    if (!closed_) listener_ = listener;
}

HRESULT NotificationIcon::SetToolTip(const Text& tip) noexcept
{
    if (closed_) return NotConnected();
    RETURN_IF_FAILED(tip_.Assign(tip.Chars(), CutLength(tip, kTipUnits)));
    // A shell that refuses it now gets it again with "TaskbarCreated".
    if (inShell_) Tell(NIM_MODIFY, 0);
    return S_OK;
}

const Text& NotificationIcon::ToolTip() const noexcept { return tip_; }

HRESULT NotificationIcon::LoadPicture(const Text& path, UniqueIcon& loaded, int& size) const noexcept
{
    const int width = ShellIconMetric(SM_CXSMICON), height = ShellIconMetric(SM_CYSMICON);
    if (path.Empty()) {
        loaded = LoadBuiltInIcon();
        if (!loaded) return LastError();
    } else {
        const HRESULT hr = LoadIconFile(path, width, height, loaded);
        if (FAILED(hr)) return Describe(hr, L"The icon file cannot be used:", &path);
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
    UsePicture(std::move(loaded), size);
    return S_OK;
}

void NotificationIcon::UsePicture(UniqueIcon loaded, int size) noexcept
{
    // The shell may draw the old handle until NIM_MODIFY has replaced it.
    UniqueIcon previous(icon_.release());
    icon_ = std::move(loaded);
    iconSize_ = size;
    if (inShell_) Tell(NIM_MODIFY, NIF_ICON);
}

void NotificationIcon::Scaled() noexcept
{
    if (closed_ || ShellIconMetric(SM_CXSMICON) == iconSize_) return;
    UniqueIcon loaded;
    int size = 0;
    // A file that has gone since keeps the picture it gave.
    if (SUCCEEDED(LoadPicture(iconPath_, loaded, size))) UsePicture(std::move(loaded), size);
}

const Text& NotificationIcon::IconPath() const noexcept { return iconPath_; }

HRESULT NotificationIcon::SetVisible(bool visible) noexcept
{
    if (closed_) return NotConnected();
    if (visible == wanted_) return S_OK;
    if (!visible) {
        TakeFromShell();
        return S_OK;
    }
    wanted_ = true;
    exitRecord_.Remember(hwnd_.get(), kIconId);
    OfferToShell();
    return S_OK;
}

bool NotificationIcon::Visible() const noexcept { return wanted_; }

void NotificationIcon::SetLeftClickMenu(bool opensMenu) noexcept { leftClickMenu_ = opensMenu; }

bool NotificationIcon::LeftClickMenu() const noexcept { return leftClickMenu_; }

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
    if (tracking_) ::EndMenu();
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

LONG NotificationIcon::DefaultMenuItem() const noexcept { return menu_.Default(); }

HRESULT NotificationIcon::ClearMenu() noexcept
{
    if (closed_) return NotConnected();
    menu_.Clear();
    if (tracking_) ::EndMenu();
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
    if (!wanted_)
        return Describe(HRESULT_FROM_WIN32(ERROR_INVALID_STATE),
                        L"The icon must be visible before it shows a balloon.");
    UniqueIcon picture;
    if (kind == kBalloonPicture) {
        const HRESULT hr = LoadIconFile(iconPath, ShellIconMetric(SM_CXICON), ShellIconMetric(SM_CYICON), picture);
        if (FAILED(hr)) return Describe(hr, L"The icon file cannot be used:", &iconPath);
    }
    NOTIFYICONDATAW data{};
    Fill(data, NIF_INFO | NIF_TIP | NIF_SHOWTIP);
    CopyCut(data.szInfoTitle, title);
    CopyCut(data.szInfo, text);
    // Kinds 0 to 3 are NIIF_NONE, NIIF_INFO, NIIF_WARNING and NIIF_ERROR in order.
    data.dwInfoFlags = kind == kBalloonPicture ? NIIF_USER | kLargeIcon : static_cast<DWORD>(kind);
    if (options & kNoSound) data.dwInfoFlags |= NIIF_NOSOUND;
    if (options & kRespectQuietTime) data.dwInfoFlags |= kRespectQuietTimeFlag;
    data.hBalloonIcon = picture.get();
    if (!::Shell_NotifyIconW(NIM_MODIFY, &data))
        return Describe(E_FAIL, L"The notification area did not show the balloon.");
    // The shell may draw the picture until this balloon goes.
    balloonPicture_ = std::move(picture);
    // A new balloon, whose close is still to come.
    if (!text.Empty()) balloonCloseRaised_ = false;
    return S_OK;
}

HRESULT NotificationIcon::NextEvent(Text& event) noexcept
{
    if (queue_.Empty()) {
        event = Text();
        return S_OK;
    }
    static constexpr const wchar_t* kNames[] = {
        L"", L"Click",      L"DoubleClick", L"MenuItemClick", L"BalloonClick", L"BalloonClosed",
        L"", L"RightClick", L"MiddleClick", L"BalloonShown"};
    const IconEventRecord& oldest = queue_.Front();
    Text text;
    RETURN_IF_FAILED(text.Assign(kNames[static_cast<LONG>(oldest.event)]));
    if (oldest.event == IconEvent::MenuItemClick) {
        RETURN_IF_FAILED(text.Append(L","));
        RETURN_IF_FAILED(text.AppendNumber(oldest.itemId));
        RETURN_IF_FAILED(text.Append(L","));
        RETURN_IF_FAILED(text.Append(oldest.caption));
    }
    queue_.DropFront();
    event = std::move(text);
    return S_OK;
}

void NotificationIcon::Close() noexcept { End(Ending::Closed); }

HWND NotificationIcon::Window() const noexcept { return hwnd_.get(); }

HRESULT NotificationIcon::NotConnected() const noexcept
{
    return Describe(CO_E_OBJNOTCONNECTED, L"The notification icon has been closed.");
}

void NotificationIcon::Fill(NOTIFYICONDATAW& data, UINT flags) const noexcept
{
    data.cbSize = sizeof(data);
    data.hWnd = hwnd_.get();
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kCallbackMessage;
    data.hIcon = icon_.get();
    CopyCut(data.szTip, tip_);
    data.uVersion = NOTIFYICON_VERSION_4;
}

bool NotificationIcon::Tell(DWORD message, UINT flags) const noexcept
{
    NOTIFYICONDATAW data{};
    // A version-4 icon keeps its standard tip only while every change says so.
    Fill(data, message == NIM_MODIFY ? flags | NIF_TIP | NIF_SHOWTIP : flags);
    return ::Shell_NotifyIconW(message, &data);
}

void NotificationIcon::OfferToShell() noexcept
{
    if (!wanted_ || !hwnd_) return;
    if (!inShell_) {
        // A shell whose reply timed out may have kept the icon all the same:
        // a change it accepts says it has it.
        inShell_ = Tell(NIM_ADD, kShownFlags) || Tell(NIM_MODIFY, kShownFlags);
        versioned_ = false;
    }
    // Until then the shell sends callbacks OnShellCallback cannot read.
    if (inShell_ && !versioned_) versioned_ = Tell(NIM_SETVERSION, 0);
    const bool retry = !inShell_ || !versioned_;
    if (retry) {
        ::SetTimer(hwnd_.get(), kRetryTimer, kRetryMilliseconds, nullptr);
    } else if (retrying_) {
        ::KillTimer(hwnd_.get(), kRetryTimer);
    }
    retrying_ = retry;
}

void NotificationIcon::TakeFromShell() noexcept
{
    if (!wanted_) return;
    // Whatever the add answered: the shell may have kept the icon.
    Tell(NIM_DELETE, 0);
    balloonPicture_.reset();
    if (retrying_ && hwnd_) ::KillTimer(hwnd_.get(), kRetryTimer);
    wanted_ = inShell_ = versioned_ = retrying_ = false;
    exitRecord_.Forget();
}

void NotificationIcon::ShellRestarted() noexcept
{
    // The new shell's notification area is empty, perhaps at another scale.
    inShell_ = versioned_ = false;
    Scaled();
    OfferToShell();
}

void NotificationIcon::OnShellCallback(UINT event, POINT anchor) noexcept
{
    const UINT previous = lastCallback_;
    lastCallback_ = event;
    switch (event) {
        case WM_LBUTTONDOWN:
            swallowSelect_ = false;
            break;
        case NIN_KEYSELECT:
            // Enter on the focused icon selects twice for one press.
            if (previous == NIN_KEYSELECT && ::GetTickCount() - keySelectTick_ <= ::GetDoubleClickTime()) {
                lastCallback_ = 0;
                break;
            }
            keySelectTick_ = ::GetTickCount();
            Select(anchor);
            break;
        case NIN_SELECT:
            // Some shells (Wine's) select again on a double click's button-up.
            if (swallowSelect_ && ::GetTickCount() - doubleClickTick_ <= ::GetDoubleClickTime()) {
                swallowSelect_ = false;
                break;
            }
            Select(anchor);
            break;
        case WM_LBUTTONDBLCLK:
            swallowSelect_ = true;
            doubleClickTick_ = ::GetTickCount();
            Raise(IconEvent::DoubleClick, 0, Text());
            ChooseDefault();
            break;
        case WM_CONTEXTMENU:
            ShowMenu(anchor, true);
            break;
        case WM_MBUTTONUP:
            Raise(IconEvent::MiddleClick, 0, Text());
            break;
        case NIN_BALLOONSHOW:
            balloonCloseRaised_ = false;
            Raise(IconEvent::BalloonShown, 0, Text());
            break;
        case NIN_BALLOONUSERCLICK:
            balloonPicture_.reset();
            Raise(IconEvent::BalloonClick, 0, Text());
            break;
        case NIN_BALLOONTIMEOUT:
        case NIN_BALLOONHIDE:
            // Timed out, dismissed, replaced or gone with its icon: one close per balloon.
            balloonPicture_.reset();
            if (!balloonCloseRaised_) {
                balloonCloseRaised_ = true;
                Raise(IconEvent::BalloonClosed, 0, Text());
            }
            break;
        default:
            break;
    }
}

void NotificationIcon::Select(POINT anchor) noexcept
{
    if (leftClickMenu_) {
        ShowMenu(anchor, false);
    } else {
        Raise(IconEvent::Click, 0, Text());
    }
}

void NotificationIcon::ChooseDefault() noexcept
{
    LONG id = 0;
    Text caption;
    if (menu_.ChooseDefault(id, caption)) Raise(IconEvent::MenuItemClick, id, caption);
}

void NotificationIcon::ShowMenu(POINT anchor, bool rightClick) noexcept
{
    if (tracking_) return;
    // MenuOpening goes to the handlers before the popup opens, which a
    // message another thread sent, or a running handler, does not allow:
    // the popup opens from the window's own message instead.
    if (raising_ || ::InSendMessageEx(nullptr) != ISMEX_NOSEND) {
        // A running handler's own message loop would bring a posted request
        // straight back: it is posted when the handler returns.
        pendingMenu_ = MAKELPARAM(anchor.x, anchor.y);
        pendingRightClick_ = rightClick;
        menuPending_ = true;
        if (!raising_) PostPendingMenu();
        return;
    }
    // What waits is heard first; then the handlers may change the menu.
    Deliver();
    const bool wanted = wanted_;
    if (listener_) CallListener(IconEvent::MenuOpening, 0, Text());
    // Hidden, closed or released by a handler: no popup.
    if (closed_ || (wanted && !wanted_)) return;
    const HMENU shown = menu_.Popup();
    if (!shown) {
        if (rightClick) Raise(IconEvent::RightClick, 0, Text());
        return;
    }
    tracking_ = true;
    menu_.BeginPopup();
    const POINT at = ToLogicalPoint(hwnd_.get(), anchor);
    const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const LONG command = TrackIconPopup(hwnd_.get(), shown, TPM_RETURNCMD | TPM_RIGHTBUTTON | align, at.x, at.y);
    // Read now: the host may change the menu before the event is delivered.
    LONG chosen = 0;
    Text caption;
    if (command > 0) menu_.Choose(static_cast<UINT>(command), chosen, caption);
    tracking_ = false;
    menu_.EndPopup();
    if (closed_) {
        // Closed from inside the popup's loop, which needed the window and menu until now.
        Dismantle(true);
        return;
    }
    if (inShell_) Tell(NIM_SETFOCUS, 0);
    if (chosen > 0) Raise(IconEvent::MenuItemClick, chosen, caption);
    PostDelivery();
}

void NotificationIcon::Raise(IconEvent event, LONG itemId, const Text& caption) noexcept
{
    // Without memory the queue misses this one; the listener still hears it.
    queue_.Push(event, itemId, caption);
    if (!listener_) return;
    // Straight to the listener only when nothing stands in the way: not in
    // the popup's loop, not inside another event's handler (one that pumps
    // messages would nest raises without end), not ahead of events that
    // wait, and not in a message sent by another thread, where COM refuses
    // calls to a listener in another apartment.
    if (tracking_ || raising_ || !backlog_.Empty() || event == IconEvent::MenuItemClick ||
        ::InSendMessageEx(nullptr) != ISMEX_NOSEND) {
        if (SUCCEEDED(backlog_.Push(event, itemId, caption))) PostDelivery();
        return;
    }
    CallListener(event, itemId, caption);
    // What came in while the handler ran.
    PostDelivery();
}

void NotificationIcon::CallListener(IconEvent event, LONG itemId, const Text& caption) noexcept
{
    raising_ = true;
    listener_->IconEventRaised(event, itemId, caption);
    raising_ = false;
    PostPendingMenu();
}

void NotificationIcon::PostPendingMenu() noexcept
{
    if (!menuPending_ || !hwnd_) return;
    menuPending_ = false;
    ::PostMessageW(hwnd_.get(), kShowMenuMessage, pendingRightClick_, pendingMenu_);
}

void NotificationIcon::PostDelivery() noexcept
{
    if (tracking_ || raising_ || deliveryPosted_ || backlog_.Empty() || !hwnd_) return;
    deliveryPosted_ = ::PostMessageW(hwnd_.get(), kDeliverMessage, 0, 0);
}

void NotificationIcon::Deliver() noexcept
{
    deliveryPosted_ = false;
    // The popup's end, or the raise under way, posts again.
    if (tracking_ || raising_) return;
    while (listener_ && !backlog_.Empty() && !tracking_) {
        IconEventRecord& oldest = backlog_.Front();
        const IconEvent event = oldest.event;
        const LONG itemId = oldest.itemId;
        const Text caption(std::move(oldest.caption));
        backlog_.DropFront();
        CallListener(event, itemId, caption);
    }
}

void NotificationIcon::End(Ending how) noexcept
{
    if (!closed_) {
        closed_ = true;
        listener_ = nullptr;
        backlog_.Clear();
        TakeFromShell();
        Unlink();
    }
    // ShowMenu finishes once the popup's loop has let go of window and menu.
    if (how == Ending::Closed && tracking_) {
        ::EndMenu();
        return;
    }
    Dismantle(how == Ending::Closed);
}

void NotificationIcon::Dismantle(bool destroyWindow) noexcept
{
    UniqueWindow window = LetGoOfWindow();
    if (!destroyWindow) window.release();
    window.reset();
    menu_.EndPopup();
    menu_.Clear();
    icon_.reset();
    balloonPicture_.reset();
}

UniqueWindow NotificationIcon::LetGoOfWindow() noexcept
{
    if (hwnd_) {
        ::SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
        module::HostWindowDestroyed();
    }
    return std::move(hwnd_);
}

void NotificationIcon::Unlink() noexcept
{
    if (!state_) return;
    (previous_ ? previous_->next_ : state_->first) = next_;
    if (next_) next_->previous_ = previous_;
    previous_ = next_ = nullptr;
    state_ = nullptr;
}

LRESULT CALLBACK NotificationIcon::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    // Held for the whole message: the listener may release the last reference.
    Ref<NotificationIcon> icon(reinterpret_cast<NotificationIcon*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
    if (!icon) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == kCallbackMessage) {
        if (HIWORD(lParam) == kIconId)
            icon->OnShellCallback(LOWORD(lParam), POINT{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
        return 0;
    }
    if (msg == kDeliverMessage) {
        icon->Deliver();
        return 0;
    }
    if (msg == kShowMenuMessage) {
        icon->ShowMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, wParam != 0);
        return 0;
    }
    if (msg == WM_TIMER && wParam == kRetryTimer) {
        icon->OfferToShell();
        return 0;
    }
    if (IsTaskbarCreated(msg)) {
        // The shell started again, perhaps at another scale.
        icon->ShellRestarted();
        return 0;
    }
    if (msg == WM_DISPLAYCHANGE || msg == WM_SETTINGCHANGE) icon->Scaled();
    // The window ends with its object, not with another program's WM_CLOSE.
    if (msg == WM_CLOSE) return 0;
    // WM_NCDESTROY needs nothing: the object lets go of its window before
    // destroying it, and the thread's end lets go of it before the system
    // destroys it, so one that finds the object here is forged (posted or
    // sent from elsewhere) and changes nothing.
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace zanthel

#include "tray/frmTray.h"

#include "common/built_in_icon.h"
#include "common/errors.h"
#include "common/handles.h"
#include "common/host_window.h"
#include "common/icon_picture.h"
#include "common/module.h"
#include "common/taskbar_created.h"
#include "menu/menu_state.h"
#include "menu/modMenu.h"
#include "tray/tray_icon.h"
#include "tray/tray_state.h"

#include <utility>

namespace zanthel {
namespace {

constexpr const char* kClassNameA = "ZanthelHostWindow";
constexpr const char* kWindowTitle = "Zanthel";

// The window is laid out in twips; at the standard 96 dpi 15 twips make a pixel.
constexpr int Pixels(int twips) { return twips / 15; }

// The menu of the window's description: "Pop" at position 0, holding "Top".
UniqueMenu BuildMenu() noexcept
{
    UniqueMenu bar(::CreateMenu());
    UniqueMenu pop(::CreatePopupMenu());
    if (!bar || !pop) return {};
    ::AppendMenuA(pop.get(), MF_STRING, frmTray::kTopItemId, "Top");
    // From here the bar owns the popup.
    if (::AppendMenuA(bar.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(pop.get()), "Pop")) pop.release();
    return bar;
}

HRESULT BuiltInIconPicture(Microsoft::WRL::ComPtr<IPictureDisp>& picture) noexcept
{
    UniqueIcon icon = LoadBuiltInIcon();
    if (!icon) return LastError();
    return IconPicture(std::move(icon), picture);
}

}  // namespace

frmTray::~frmTray()
{
    if (menuBar_) menuBar_->Subscribe(nullptr);
    // The object is going: the window goes after letting go, so that its
    // last messages do not find it.
    const UniqueWindow window = hwnd_.LetGo();
}

void frmTray::Close() noexcept
{
    if (!hwnd_) return;
    closing_ = true;
    // Its WM_NCDESTROY lets go of it.
    ::DestroyWindow(hwnd_.get());
}

// The system destroys an ending thread's windows itself.
void frmTray::Abandon() noexcept { hwnd_.LetGo().release(); }

HRESULT frmTray::CreateNativeWindow(TrayState& state) noexcept
{
    RETURN_IF_FAILED(BuiltInIconPicture(icon_));
    RETURN_IF_FAILED(RegisterHostWindowClass(kClassNameA, &frmTray::WindowProc, false));

    UniqueMenu menu = BuildMenu();
    if (!menu) return E_OUTOFMEMORY;
    RECT frame{0, 0, Pixels(2550), Pixels(1560)};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    ::AdjustWindowRectEx(&frame, style, TRUE, 0);
    // The object goes to the window through the state, not the create data,
    // which any process can forge in a WM_NCCREATE of its own.
    state.creatingWindow = this;
    HWND hwnd =
        ::CreateWindowExA(0, kClassNameA, kWindowTitle, style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, menu.get(), module::Instance(), nullptr);
    state.creatingWindow = nullptr;
    if (!hwnd) return LastError();
    menu.release();  // the window owns its menu now
    ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, Pixels(120), Pixels(120), Pixels(1335), Pixels(375), hwnd,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelControlId)), module::Instance(), nullptr);
    return S_OK;
}

HRESULT frmTray::InitializeHostWindow() noexcept
{
    image1_ = icon_;
    MenuState* menus = MenuApartment();
    if (!menus) return E_OUTOFMEMORY;
    return menus->gTopCaption.Assign(kTopCaptionSentinel);
}

HRESULT frmTray::LoadHostWindow() noexcept
{
    RETURN_IF_FAILED(clsMenuBar::Construct(menuBar_));
    menuBar_->Subscribe(this);
    RETURN_IF_FAILED(CreateMenuBar(*this));
    ::ShowWindow(hwnd_.get(), SW_HIDE);
    return S_OK;
}

void frmTray::SetLabelCaption(const Text& caption) noexcept
{
    AnsiText ansi;
    if (SUCCEEDED(ansi.Convert(caption))) ::SetDlgItemTextA(hwnd_.get(), kLabelControlId, ansi.Chars());
}

void frmTray::SetTopItemCaption(const Text& caption) noexcept
{
    AnsiText ansi;
    if (SUCCEEDED(ansi.Convert(caption)))
        ::ModifyMenuA(::GetMenu(hwnd_.get()), kTopItemId, MF_BYCOMMAND | MF_STRING, kTopItemId, ansi.Chars());
}

void frmTray::SysTrayMouseEventHandler() noexcept
{
    Ref<frmTray> self(this);
    const HWND hwnd = hwnd_.get();
    POINT cursor{};
    ::GetCursorPos(&cursor);
    TrackIconPopup(hwnd, ::GetSubMenu(::GetMenu(hwnd), 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor);
}

void frmTray::TopItemClicked() noexcept
{
    TrayState* tray = TrayApartment();
    MenuState* menus = MenuApartment();
    // Without memory for the text, the event keeps its old value.
    if (tray && menus) tray->gMenuEvent.Assign(menus->gTopCaption);
}

HRESULT frmTray::MenuBar_MenuClicked(LONG MenuId, BSTR Caption) noexcept
{
    TrayState* tray = TrayApartment();
    if (!tray) return E_OUTOFMEMORY;
    Text event;
    RETURN_IF_FAILED(event.Assign(Caption));
    RETURN_IF_FAILED(event.Append(L","));
    RETURN_IF_FAILED(event.AppendNumber(MenuId));
    tray->gMenuEvent = static_cast<Text&&>(event);
    return S_OK;
}

LRESULT CALLBACK frmTray::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept
{
    if (msg == WM_NCCREATE) {
        // Only the window this thread is creating takes its object; the
        // message sent at any other time changes nothing.
        TrayState* state = ExistingApartmentState<TrayState>();
        if (state && state->creatingWindow && !::GetWindowLongPtrA(hwnd, GWLP_USERDATA)) {
            frmTray* created = std::exchange(state->creatingWindow, nullptr);
            created->hwnd_.Attach(hwnd, created);
        }
    }
    Ref<frmTray> window(WindowOwner::Of<frmTray>(hwnd));
    if (msg == WM_CLOSE && window) {
        // Closed from outside, perhaps by another thread: the destroy that
        // follows is this window's real end.
        window->closing_ = true;
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_COMMAND && wParam == kTopItemId && window) {
        window->TopItemClicked();
        return 0;
    }
    if (IsTaskbarCreated(msg) && window) {
        // The shell started again with an empty notification area.
        RestoreTrayIcon(hwnd);
        return 0;
    }
    // Only a window's own thread destroys it: one sent from elsewhere is
    // forged, unless this object is closing the window itself.
    if (msg == WM_NCDESTROY && (!::InSendMessage() || (window && window->closing_))) {
        ForgetTrayWindow(hwnd);
        ForgetMenuWindow(hwnd);
        if (window) {
            // Closed from outside or at the apartment's end: forget it, so
            // the next member that needs a window makes a new one. It is
            // already going.
            window->hwnd_.LetGo().release();
            TrayState* state = ExistingApartmentState<TrayState>();
            if (state && state->hostWindow == window) state->hostWindow.Reset();
        }
    }
    return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

HRESULT ObtainHostWindow(Ref<frmTray>& window) noexcept
{
    TrayState* state = TrayApartment();
    if (!state) return E_OUTOFMEMORY;
    if (state->hostWindow) {
        window = state->hostWindow;
        return S_OK;
    }
    Ref<frmTray> created = Make<frmTray>();
    if (!created) return E_OUTOFMEMORY;
    RETURN_IF_FAILED(created->CreateNativeWindow(*state));
    state->hostWindow = created;
    HRESULT hr = created->InitializeHostWindow();
    if (SUCCEEDED(hr)) hr = created->LoadHostWindow();
    if (FAILED(hr)) {
        created->Close();
        return hr;
    }
    window = created;
    return S_OK;
}

}  // namespace zanthel

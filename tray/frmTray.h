// The hidden host window: it receives the tray icon's callbacks and the menu
// commands, holds the icon picture the tray shows, and owns the native menu
// whose first popup is the tray menu.
#pragma once

#include "common/window_owner.h"
#include "common/handles.h"
#include "common/ref_counted.h"
#include "common/text.h"
#include "common/win.h"
#include "menu/clsMenuBar.h"
#include "menu/menu_host.h"

#include <wrl/client.h>

namespace zanthel {

struct TrayState;

class frmTray final : public RefCounted, public MenuHost, public MenuClickedSubscriber {
public:
    // The command identifier of mnuTop, inside the range kept for the window's own items.
    static constexpr UINT kTopItemId = 1;
    static constexpr int kLabelControlId = 101;

    // The picture the notification area shows.
    IPictureDisp* Icon() const noexcept { return icon_.Get(); }

    // MenuHost
    HWND Handle() const noexcept override { return hwnd_.get(); }
    clsMenuBar* MenuBar() const noexcept override { return menuBar_.Get(); }
    void SetLabelCaption(const Text& caption) noexcept override;
    void SetTopItemCaption(const Text& caption) noexcept override;
    void SetIcon(IPictureDisp* picture) noexcept override { icon_ = picture; }
    IPictureDisp* Image1() const noexcept override { return image1_.Get(); }

    // Right press on the icon: foreground, then the tray popup at the cursor.
    void SysTrayMouseEventHandler() noexcept;
    void TopItemClicked() noexcept;
    HRESULT MenuBar_MenuClicked(LONG MenuId, BSTR Caption) noexcept override;

    // Destroys the window now; the object stays until its last reference goes.
    void Close() noexcept;
    // The thread is ending: let go of the window without destroying it, so
    // that its last messages no longer reach this object.
    void Abandon() noexcept;

private:
    friend HRESULT ObtainHostWindow(Ref<frmTray>& window) noexcept;
    friend Ref<frmTray> Make<frmTray>();
    frmTray() = default;
    ~frmTray() override;

    HRESULT CreateNativeWindow(TrayState& state) noexcept;
    HRESULT InitializeHostWindow() noexcept;
    HRESULT LoadHostWindow() noexcept;
    // The window is no longer this object's: its messages stop finding it,
    // and the caller decides whether it goes.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    WindowOwner hwnd_;
    // Set while this object destroys its window, for WM_NCDESTROY to trust.
    bool closing_ = false;
    Microsoft::WRL::ComPtr<IPictureDisp> icon_;
    Microsoft::WRL::ComPtr<IPictureDisp> image1_;
    Ref<clsMenuBar> menuBar_;
};

// The apartment's host window, created (InitializeHostWindow, then
// LoadHostWindow) on first use. While creation runs, it returns the window
// being created.
HRESULT ObtainHostWindow(Ref<frmTray>& window) noexcept;

}  // namespace zanthel

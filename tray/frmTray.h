// The hidden host window: it receives the tray icon's callbacks and the menu
// commands, holds the icon picture the tray shows, and owns the native menu
// whose first popup is the tray menu.
#pragma once

#include "../component/ref_counted.h"
#include "../component/win.h"
#include "../menu/clsMenuBar.h"

#include <string>

namespace zanthel {

class frmTray final : public RefCounted, public MenuClickedSubscriber {
public:
    // The command identifier of mnuTop, inside the range kept for the window's own items.
    static constexpr UINT kTopItemId = 1;
    static constexpr int kLabelControlId = 101;
    static constexpr const wchar_t* kClassName = L"ZanthelHostWindow";

    HWND Handle() const { return hwnd_; }

    // The picture the notification area shows, and its replacement.
    IPictureDisp* Icon() const { return icon_.Get(); }
    void SetIcon(IPictureDisp* picture) { icon_ = picture; }
    IPictureDisp* Image1() const { return image1_.Get(); }

    clsMenuBar* MenuBar() const { return menuBar_.Get(); }

    void SetLabelCaption(const std::wstring& caption);
    void SetTopItemCaption(const std::wstring& caption);

    // Right press on the icon: foreground, then the tray popup at the cursor.
    void SysTrayMouseEventHandler();
    void TopItemClicked();
    HRESULT MenuBar_MenuClicked(LONG MenuId, const std::wstring& Caption) override;

    // Destroys the window now; the object stays until its last reference goes.
    void Close();
    // The thread is ending: let go of the window without destroying it, so
    // that its last messages no longer reach this object.
    void Abandon();

private:
    friend HRESULT ObtainHostWindow(Ref<frmTray>& window);
    friend Ref<frmTray> Make<frmTray>();
    frmTray() = default;
    ~frmTray() override;

    HRESULT CreateNativeWindow();
    HRESULT InitializeHostWindow();
    HRESULT LoadHostWindow();
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

    HWND hwnd_ = nullptr;
    Microsoft::WRL::ComPtr<IPictureDisp> icon_;
    Microsoft::WRL::ComPtr<IPictureDisp> image1_;
    Ref<clsMenuBar> menuBar_;
};

// The apartment's host window, created (InitializeHostWindow, then
// LoadHostWindow) on first use. While creation runs, it returns the window
// being created.
HRESULT ObtainHostWindow(Ref<frmTray>& window);

}  // namespace zanthel

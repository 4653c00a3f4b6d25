// What the menu routines need of the host window, which the tray layer
// above provides; the menus never reach up to it any other way.
#pragma once

#include "common/text.h"
#include "common/win.h"

namespace zanthel {

class clsMenuBar;

class MenuHost {
public:
    virtual HWND Handle() const noexcept = 0;
    virtual clsMenuBar* MenuBar() const noexcept = 0;
    virtual void SetLabelCaption(const Text& caption) noexcept = 0;
    virtual void SetTopItemCaption(const Text& caption) noexcept = 0;
    // The picture the notification area shows, and the built-in one.
    virtual void SetIcon(IPictureDisp* picture) noexcept = 0;
    virtual IPictureDisp* Image1() const noexcept = 0;

protected:
    ~MenuHost() = default;
};

// The one receiver of MenuClicked; it runs before ClickMenu returns. The
// caption is the caption table's own entry.
class MenuClickedSubscriber {
public:
    virtual HRESULT MenuBar_MenuClicked(LONG MenuId, BSTR Caption) noexcept = 0;

protected:
    ~MenuClickedSubscriber() = default;
};

}  // namespace zanthel

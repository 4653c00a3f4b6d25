// The component-wide state: one instance per apartment thread, shared by
// every object of that apartment and reached only through Apartment().
#pragma once

#include "../menu/caption_table.h"
#include "../tray/tray_record.h"
#include "ref_counted.h"
#include "win.h"

#include <string>

namespace zanthel {

class frmTray;
class clsMenuBar;

struct ApartmentState {
    ApartmentState();
    ~ApartmentState();
    ApartmentState(const ApartmentState&) = delete;
    ApartmentState& operator=(const ApartmentState&) = delete;

    // The hidden host window; created by the first member that needs it.
    Ref<frmTray> hostWindow;

    std::wstring gMenuEvent;
    HWND gWindowHandle = nullptr;
    std::wstring gTopCaption;

    // Notification-area icon and tray hook.
    TrayRecord gTrayData{};
    HWND gHookedWindow = nullptr;
    WNDPROC gPrevTrayProc = nullptr;
    VARIANT_BOOL gTrayHooked = VARIANT_FALSE;
    // Whether the icon gTrayData describes was added and not yet deleted.
    bool trayIconShown = false;

    HWND gTargetWindow = nullptr;

    // Menu bar and command hook.
    WNDPROC gPrevMenuProc = nullptr;
    CaptionTable gMenuCaptions;
    Ref<clsMenuBar> gMenuBar;
    HWND gMenuWindow = nullptr;
};

// This thread's state, created on first use. Throws std::bad_alloc.
ApartmentState& Apartment();

// Frees this thread's state, if it has any; the apartment's thread is ending.
void EndApartment() noexcept;

}  // namespace zanthel

// The component-wide state: one instance per apartment, shared by every
// object of that apartment and reached only through Apartment(). It lives
// from the first member that needs it to the thread's last CoUninitialize.
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
    // The window MenuWindowProc is installed on, so it is never installed twice.
    HWND menuHookedWindow = nullptr;

    // Tells this thread's last CoUninitialize to end the apartment.
    IInitializeSpy* uninitializeWatch = nullptr;
    ULARGE_INTEGER watchCookie{};
};

// This apartment's state, created on first use. Throws std::bad_alloc.
ApartmentState& Apartment();

// This apartment's state, or null when it has none: for window procedures,
// which must not bring a state back while the apartment ends.
ApartmentState* ApartmentIfAny() noexcept;

// The apartment's last CoUninitialize: its icon, window, menus and state go.
void EndApartment() noexcept;

// The thread ends without having ended its apartment (called under the
// loader lock): the icon leaves the notification area and what the state
// owns is freed, but no window is destroyed and nothing is sent to another
// thread of this process.
void AbandonApartment() noexcept;

}  // namespace zanthel

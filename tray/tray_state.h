// The tray's part of the apartment's state: the host window, the menu-event
// text, the notification-area icon and the target windows.
#pragma once

#include "common/apartment.h"
#include "common/exit_cleanup.h"
#include "common/ref_counted.h"
#include "common/text.h"
#include "tray/tray_record.h"

#include <wrl/client.h>

namespace zanthel {

class frmTray;

struct TrayState final : ApartmentPart {
    static constexpr ApartmentLayer kLayer = ApartmentLayer::Tray;
    TrayState();
    ~TrayState() override;

    // The window and its icon go with the apartment.
    void End() noexcept override;
    // Only the icon leaves the notification area; the system destroys the
    // ending thread's windows itself.
    void Abandon() noexcept override;

    // The hidden host window; created by the first member that needs it.
    Ref<frmTray> hostWindow;
    // The host window while CreateWindowEx runs: the one WM_NCCREATE it may take.
    frmTray* creatingWindow = nullptr;

    Text gMenuEvent;
    HWND gWindowHandle = nullptr;
    HWND gTargetWindow = nullptr;

    // Notification-area icon and tray hook.
    TrayRecord gTrayData{};
    HWND gHookedWindow = nullptr;
    bool gTrayHooked = false;
    // Whether the icon gTrayData describes was added and not yet deleted.
    bool trayIconShown = false;
    // The shown icon in the process's list, for a host that exits without unloading it.
    ShownIconRecord shownAtExit;
    // The picture that owns gTrayData's icon handle: the shell may ask for
    // the handle again (after a restart) as long as the icon is shown.
    Microsoft::WRL::ComPtr<IPictureDisp> shownPicture;
};

// This apartment's tray state, created on first use; null without memory.
inline TrayState* TrayApartment() noexcept { return ApartmentState<TrayState>(); }

}  // namespace zanthel

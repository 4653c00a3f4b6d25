#include "tray/tray_state.h"

#include "tray/frmTray.h"
#include "tray/tray_icon.h"

namespace zanthel {

TrayState::TrayState() = default;
TrayState::~TrayState() = default;

void TrayState::End() noexcept
{
    // The window's end deletes the icon and forgets the hooks; its last
    // messages still find this state.
    Ref<frmTray> window = hostWindow;
    if (window) window->Close();
    DeleteShownIcon(*this);
}

void TrayState::Abandon() noexcept
{
    // Under the loader lock the window lets go first: what the shell sends it
    // while the icon leaves reaches none of ours.
    if (hostWindow) hostWindow->Abandon();
    // Only a message to the shell's window in another process.
    DeleteShownIcon(*this);
}

}  // namespace zanthel

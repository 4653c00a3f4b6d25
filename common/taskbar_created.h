// The shell's broadcast when it starts again with an empty notification
// area: every window whose icon was shown adds it again.
#pragma once

#include "common/win.h"

namespace zanthel {

bool IsTaskbarCreated(UINT msg) noexcept;

// Lets the broadcast through to an icon window of an elevated host, which
// User Interface Privilege Isolation otherwise keeps it from; nothing changes
// for a host that is not elevated.
void AllowTaskbarCreated(HWND window) noexcept;

}  // namespace zanthel

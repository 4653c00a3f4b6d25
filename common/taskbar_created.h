// The shell's broadcast when it starts again with an empty notification
// area: every window whose icon was shown adds it again.
#pragma once

#include "common/win.h"

namespace zanthel {

bool IsTaskbarCreated(UINT msg) noexcept;

}  // namespace zanthel

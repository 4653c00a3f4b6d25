// The icon the module carries, for every icon the component shows before
// (or instead of) one from a file.
#pragma once

#include "common/handles.h"
#include "common/win.h"

namespace zanthel {

// The built-in icon at the notification area's small-icon size; empty when
// it cannot be loaded (GetLastError says why).
UniqueIcon LoadBuiltInIcon() noexcept;

}  // namespace zanthel

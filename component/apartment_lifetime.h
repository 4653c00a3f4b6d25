// The apartment's lifetime: its state ends at the thread's last
// CoUninitialize, not when the thread ends.
#pragma once

#include "common/apartment.h"

namespace zanthel {

// Makes sure this apartment's end is watched; every member of the class
// calls it before touching the apartment's state.
HRESULT WatchApartment() noexcept;

}  // namespace zanthel

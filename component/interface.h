// The declarations generated from Zanthel.idl, after win.h has kept
// winuser's AppendMenu macro away from the interface's member of that name.
#pragma once

#include "common/win.h"

#include "Zanthel_h.h"

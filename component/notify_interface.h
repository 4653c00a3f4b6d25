// The declarations generated from ZanthelNotify.idl: INotifyIcon, the events'
// dispinterface and the GUIDs of the second type library.
#pragma once

#include "common/win.h"

#include "ZanthelNotify_h.h"

// The declarations generated from ZanthelNotify.idl: INotifyIcon and
// INotifyIcon2, both events' dispinterfaces and the GUIDs of the second type
// library.
#pragma once

#include "common/win.h"

// ShowNotification's iconPath defaults to L"" as a BSTR, a string literal
// that is not const; MIDL declares it so as well.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wwrite-strings"
#include "ZanthelNotify_h.h"
#pragma GCC diagnostic pop

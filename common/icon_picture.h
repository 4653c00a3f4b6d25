// An icon as the OLE picture the tray's window and the shell share.
#pragma once

#include "common/handles.h"
#include "common/win.h"

#include <wrl/client.h>

namespace zanthel {

// A picture that owns icon from here on; on failure icon is destroyed.
HRESULT IconPicture(UniqueIcon icon, Microsoft::WRL::ComPtr<IPictureDisp>& picture) noexcept;

}  // namespace zanthel

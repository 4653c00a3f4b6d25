// The shell's ANSI notification record, in the first form every shell
// version accepts: 88 bytes on 32-bit Windows, 104 on 64-bit.
#pragma once

#include "common/win.h"

#include <cstddef>

namespace zanthel {

// The tip field's bytes, its NUL included.
constexpr int kTipField = 64;

struct TrayRecord {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[kTipField];
};

static_assert(sizeof(TrayRecord) == (sizeof(void*) == 8 ? 104 : 88), "the shell's first record layout");
static_assert(offsetof(TrayRecord, szTip) == offsetof(NOTIFYICONDATAA, szTip));
static_assert(offsetof(TrayRecord, hIcon) == offsetof(NOTIFYICONDATAA, hIcon));

}  // namespace zanthel

// The shell's ANSI notification record, in the 88-byte form every shell
// version accepts.
#pragma once

#include "../component/win.h"

#include <cstddef>

namespace zanthel {

struct TrayRecord {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};

#ifndef _WIN64
static_assert(sizeof(TrayRecord) == 88, "the shell reads an 88-byte record");
#endif
static_assert(offsetof(TrayRecord, szTip) == offsetof(NOTIFYICONDATAA, szTip));
static_assert(offsetof(TrayRecord, hIcon) == offsetof(NOTIFYICONDATAA, hIcon));

}  // namespace zanthel

// The notification area's scale, whatever DPI awareness the host declared: a
// DPI-unaware host (LabVIEW, cscript) is told 96 dpi at every scale, and the
// shell then stretches a 16-pixel icon. Windows 10's functions for this are
// looked up at run time; without them the host's own metrics serve.
#pragma once

#include "common/win.h"

namespace zanthel {

// The small-icon size (SM_CXSMICON or SM_CYSMICON) at the DPI of the
// monitor showing the taskbar, read afresh: it follows a change of scale or
// of monitor, which the system DPI (fixed at the process's start, and all
// there is without a taskbar) does not.
int ShellIconMetric(int metric) noexcept;

// A version-4 callback's anchor is in physical pixels; the popup takes the
// thread's logical ones.
POINT ToLogicalPoint(HWND window, POINT physical) noexcept;

}  // namespace zanthel

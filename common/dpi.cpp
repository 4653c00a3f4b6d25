#include "common/dpi.h"

namespace zanthel {
namespace {

template <typename Function>
Function* User32Function(const char* name) noexcept
{
    const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(user32, name))) : nullptr;
}

// Windows 10's awareness contexts are handles; the headers for Windows 7 lack them.
using AwarenessContext = HANDLE;
const AwarenessContext kSystemAware = reinterpret_cast<AwarenessContext>(-2);
const AwarenessContext kPerMonitorAware = reinterpret_cast<AwarenessContext>(-3);
const AwarenessContext kPerMonitorAwareV2 = reinterpret_cast<AwarenessContext>(-4);
using SetThreadContext = AwarenessContext WINAPI(AwarenessContext);
using DpiForSystem = UINT WINAPI();
using DpiForWindow = UINT WINAPI(HWND);
using MetricsForDpi = int WINAPI(int, UINT);
using PhysicalToLogical = BOOL WINAPI(HWND, POINT*);

// Reads a DPI with the thread in the first of the awareness contexts this
// Windows knows (null: none other), then gives the thread back its own.
template <typename Read>
UINT ReadAware(SetThreadContext* setContext, AwarenessContext wanted, AwarenessContext older, Read read) noexcept
{
    AwarenessContext previous = setContext(wanted);
    if (!previous && older) previous = setContext(older);
    const UINT dpi = read();
    if (previous) setContext(previous);
    return dpi;
}

// The DPI of the monitor that holds the taskbar, as it is now; 0 without a
// taskbar or without Windows 10's functions to ask it.
UINT TaskbarDpi(SetThreadContext* setContext) noexcept
{
    auto* windowDpi = User32Function<DpiForWindow>("GetDpiForWindow");
    const HWND taskbar = windowDpi ? ::FindWindowW(L"Shell_TrayWnd", nullptr) : nullptr;
    if (!taskbar) return 0;
    // Only a per-monitor aware thread is told a monitor's own DPI; version 2 came after the first.
    return ReadAware(setContext, kPerMonitorAwareV2, kPerMonitorAware, [&] { return windowDpi(taskbar); });
}

// Frozen when the process started: a later change of scale is not seen.
UINT SystemDpi(SetThreadContext* setContext) noexcept
{
    auto* systemDpi = User32Function<DpiForSystem>("GetDpiForSystem");
    if (!systemDpi) return 0;
    // Only an aware thread is told the system's real DPI.
    return ReadAware(setContext, kSystemAware, nullptr, systemDpi);
}

}  // namespace

int ShellIconMetric(int metric) noexcept
{
    auto* setContext = User32Function<SetThreadContext>("SetThreadDpiAwarenessContext");
    auto* metricForDpi = User32Function<MetricsForDpi>("GetSystemMetricsForDpi");
    if (!setContext || !metricForDpi) return ::GetSystemMetrics(metric);
    UINT dpi = TaskbarDpi(setContext);
    if (!dpi) dpi = SystemDpi(setContext);
    const int size = dpi ? metricForDpi(metric, dpi) : 0;
    return size > 0 ? size : ::GetSystemMetrics(metric);
}

POINT ToLogicalPoint(HWND window, POINT physical) noexcept
{
    POINT logical = physical;
    auto* convert = User32Function<PhysicalToLogical>("PhysicalToLogicalPointForPerMonitorDPI");
    if (!convert || !convert(window, &logical)) return physical;
    return logical;
}

}  // namespace zanthel

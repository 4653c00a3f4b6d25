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
using SetThreadContext = AwarenessContext WINAPI(AwarenessContext);
using DpiForSystem = UINT WINAPI();
using MetricsForDpi = int WINAPI(int, UINT);
using PhysicalToLogical = BOOL WINAPI(HWND, POINT*);

}  // namespace

int ShellIconMetric(int metric) noexcept
{
    auto* setContext = User32Function<SetThreadContext>("SetThreadDpiAwarenessContext");
    auto* systemDpi = User32Function<DpiForSystem>("GetDpiForSystem");
    auto* metricForDpi = User32Function<MetricsForDpi>("GetSystemMetricsForDpi");
    if (!setContext || !systemDpi || !metricForDpi) return ::GetSystemMetrics(metric);
    // Only an aware thread is told the system's real DPI.
    const AwarenessContext previous = setContext(kSystemAware);
    const UINT dpi = systemDpi();
    if (previous) setContext(previous);
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

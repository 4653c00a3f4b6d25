// A host's first moments with a NotifyIcon in a fresh process: the class
// object from the DLL, a tool tip, Visible = True; then Visible = False and
// out. bench_probe times whole runs of it against minimal_notify.exe.
#include "component/notify_interface.h"
#include "fresh_object.h"

int main()
{
    return RunFresh<INotifyIcon>(CLSID_NotifyIcon, [](INotifyIcon* icon, BSTR tip) {
        HRESULT hr = icon->put_ToolTip(tip);
        if (SUCCEEDED(hr)) hr = icon->put_Visible(VARIANT_TRUE);
        return SUCCEEDED(hr) ? icon->put_Visible(VARIANT_FALSE) : hr;
    });
}

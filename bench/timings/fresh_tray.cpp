// A host's first moments in a fresh process: the class object from the DLL,
// a tool tip and LoadTray; then UnLoadTray and out. bench_probe times whole
// runs of it against minimal_tray.exe.
#include "component/interface.h"
#include "fresh_object.h"

int main()
{
    return RunFresh<_classTray>(CLSID_classTray, [](_classTray* tray, BSTR tip) {
        HRESULT hr = tray->put_ToolTipName(&tip);
        if (SUCCEEDED(hr)) hr = tray->LoadTray();
        return SUCCEEDED(hr) ? tray->UnLoadTray() : hr;
    });
}

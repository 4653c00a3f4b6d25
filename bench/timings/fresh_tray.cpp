// A host's first moments in a fresh process: the class object from the DLL,
// a tool tip and LoadTray; then UnLoadTray and out. bench_probe times whole
// runs of it against minimal_tray.exe.
#include "component/interface.h"

int main()
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HMODULE dll = ::LoadLibraryW(L"Zanthel.dll");
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (!getClassObject) return 2;
    IClassFactory* factory = nullptr;
    _classTray* tray = nullptr;
    HRESULT hr = getClassObject(CLSID_classTray, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID__classTray, reinterpret_cast<void**>(&tray));
    if (factory) factory->Release();
    if (SUCCEEDED(hr)) {
        BSTR tip = ::SysAllocString(L"Zanthel");
        hr = tray->put_ToolTipName(&tip);
        ::SysFreeString(tip);
        if (SUCCEEDED(hr)) hr = tray->LoadTray();
        if (SUCCEEDED(hr)) hr = tray->UnLoadTray();
        tray->Release();
    }
    ::CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 1;
}

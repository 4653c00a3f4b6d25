// A host's first moments with one of Zanthel.dll's classes in a fresh process,
// the object made the way COM makes it the first time: LoadLibrary,
// DllGetClassObject, CreateInstance. For the fresh-process programs.
#pragma once

#include "common/win.h"

inline HRESULT CreateFromFreshDll(REFCLSID clsid, REFIID iid, void** object)
{
    *object = nullptr;
    // Stays loaded until the process ends, as a host's COM runtime keeps it.
    HMODULE dll = ::LoadLibraryW(L"Zanthel.dll");
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    if (!getClassObject) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) {
        hr = factory->CreateInstance(nullptr, iid, object);
        factory->Release();
    }
    return hr;
}

// Makes an Interface of clsid on a new apartment and hands it to use with the
// tool tip "Zanthel"; the exit code of the program: 0 when all succeeded.
template <typename Interface, typename Use>
int RunFresh(REFCLSID clsid, Use use)
{
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Interface* object = nullptr;
    HRESULT hr = CreateFromFreshDll(clsid, __uuidof(Interface), reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr)) {
        BSTR tip = ::SysAllocString(L"Zanthel");
        hr = use(object, tip);
        ::SysFreeString(tip);
        object->Release();
    }
    ::CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 1;
}

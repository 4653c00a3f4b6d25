// A NotifyIcon events sink for tests and probes: it answers both versions'
// events' interfaces and lives on its owner's stack, so its count is not its
// life. A sink overrides Invoke only.
#pragma once

#include "component/notify_interface.h"

namespace zanthel::test {

class EventSink : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        const bool ours = riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DNotifyIconEvents ||
                          riid == DIID_DNotifyIconEvents2;
        *object = ours ? static_cast<IDispatch*>(this) : nullptr;
        return ours ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

protected:
    ~EventSink() = default;
};

}  // namespace zanthel::test

#include "reference_dispatch.h"

#include <new>

namespace zanthel::bench {
namespace {

class ReferenceTray final : public _classTray {
public:
    explicit ReferenceTray(ITypeInfo* info) : info_(info) { info_->AddRef(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch && riid != IID__classTray) return E_NOINTERFACE;
        *object = static_cast<_classTray*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (!left) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index) return DISP_E_BADINDEX;
        info_->AddRef();
        *info = info_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return ::DispGetIDsOfNames(info_, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argumentError) override
    {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        return info_->Invoke(static_cast<_classTray*>(this), id, flags, params, result, exception, argumentError);
    }

    HRESULT STDMETHODCALLTYPE get_WindowName(BSTR* value) override { return Get(windowName_, value); }
    HRESULT STDMETHODCALLTYPE put_WindowName(BSTR* value) override { return Put(windowName_, value); }
    HRESULT STDMETHODCALLTYPE get_ToolTipName(BSTR* value) override { return Get(toolTipName_, value); }
    HRESULT STDMETHODCALLTYPE put_ToolTipName(BSTR* value) override { return Put(toolTipName_, value); }
    HRESULT STDMETHODCALLTYPE get_TrayIcon(BSTR* value) override { return Get(trayIcon_, value); }
    HRESULT STDMETHODCALLTYPE put_TrayIcon(BSTR* value) override { return Put(trayIcon_, value); }
    HRESULT STDMETHODCALLTYPE get_mnuEvent(BSTR* value) override { return Get(mnuEvent_, value); }
    HRESULT STDMETHODCALLTYPE put_mnuEvent(BSTR* value) override { return Put(mnuEvent_, value); }
    HRESULT STDMETHODCALLTYPE CreateTray(BSTR* value) override { return Put(mnuEvent_, value); }
    HRESULT STDMETHODCALLTYPE LoadTray() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnLoadTray() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE HideWindow(BSTR*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowWindow(BSTR*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AppendMenu(BSTR*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DestroyMenu() override { return S_OK; }

private:
    ~ReferenceTray()
    {
        for (BSTR text : {windowName_, toolTipName_, trayIcon_, mnuEvent_}) ::SysFreeString(text);
        info_->Release();
    }

    static HRESULT Get(BSTR stored, BSTR* value)
    {
        if (!value) return E_POINTER;
        *value = ::SysAllocStringLen(stored, ::SysStringLen(stored));
        return *value ? S_OK : E_OUTOFMEMORY;
    }
    static HRESULT Put(BSTR& stored, BSTR* value)
    {
        BSTR copy = value && *value ? ::SysAllocStringLen(*value, ::SysStringLen(*value)) : nullptr;
        ::SysFreeString(stored);
        stored = copy;
        return S_OK;
    }

    volatile LONG refs_ = 1;
    ITypeInfo* info_;
    BSTR windowName_ = nullptr;
    BSTR toolTipName_ = nullptr;
    BSTR trayIcon_ = nullptr;
    BSTR mnuEvent_ = nullptr;
};

}  // namespace

HRESULT CreateReferenceTray(const std::wstring& dllPath, _classTray** tray)
{
    if (!tray) return E_POINTER;
    *tray = nullptr;
    ITypeLib* library = nullptr;
    HRESULT hr = ::LoadTypeLibEx(dllPath.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    ITypeInfo* info = nullptr;
    hr = library->GetTypeInfoOfGuid(IID__classTray, &info);
    library->Release();
    if (FAILED(hr)) return hr;
    *tray = new (std::nothrow) ReferenceTray(info);
    info->Release();
    return *tray ? S_OK : E_OUTOFMEMORY;
}

}  // namespace zanthel::bench

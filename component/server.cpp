// The in-process server's entry points: DllMain, the class object and the
// unload check.
#include "common/apartment.h"
#include "common/com_object.h"
#include "common/exit_cleanup.h"
#include "common/module.h"
#include "component/classTray.h"
#include "component/interface.h"
#include "component/NotifyIcon.h"
#include "component/type_info.h"

namespace zanthel {
namespace {

struct CreatableClass {
    const CLSID* clsid;
    HRESULT (*create)(REFIID riid, void** object) noexcept;
};

constexpr CreatableClass kCreatableClasses[] = {
    {&CLSID_classTray, &classTray::CreateInstance},
    {&CLSID_NotifyIcon, &NotifyIcon::CreateInstance},
};

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(const CreatableClass& entry) : entry_(entry) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return entry_.create(riid, object);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override
    {
        if (lock) {
            module::Lock();
        } else {
            module::Unlock();
        }
        return S_OK;
    }

private:
    friend class ComObject;
    ~ClassFactory() = default;

    const CreatableClass& entry_;
};

}  // namespace
}  // namespace zanthel

using namespace zanthel;

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved)
{
    switch (reason) {
        case DLL_THREAD_DETACH:
            // A thread that never ended its apartment: only what is safe
            // under the loader lock.
            AbandonApartment();
            break;
        case DLL_PROCESS_DETACH:
            if (!reserved) {
                AbandonApartment();
                ReleaseTypeInfoCache();
                ReleaseApartmentSlot();
                ReleaseDescriptionSlot();
            } else {
                // At process exit the system tears everything down itself,
                // except the shell's icons of windows that die with it.
                DeleteShownIconsAtExit();
            }
            break;
        default:
            break;
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    *object = nullptr;
    for (const CreatableClass& entry : kCreatableClasses) {
        if (*entry.clsid == clsid) return ClassFactory::Create(riid, object, entry);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return module::CanUnload() ? S_OK : S_FALSE; }

#include "common/module.h"

#include "common/errors.h"

#include <atomic>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace zanthel::module {
namespace {

std::atomic<long> objects{0};
std::atomic<long> locks{0};
std::atomic<long> hostWindows{0};
std::atomic<long> apartments{0};
std::atomic<bool> pinned{false};

void PinModule()
{
    if (pinned.exchange(true)) return;
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(&PinModule), &self);
}

}  // namespace

HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

HRESULT Path(Text& path) noexcept
{
    for (UINT capacity = MAX_PATH;; capacity *= 2) {
        Text buffer = Text::Adopt(::SysAllocStringLen(nullptr, capacity));
        if (buffer.Empty()) return E_OUTOFMEMORY;
        const DWORD length = ::GetModuleFileNameW(Instance(), buffer.Get(), capacity);
        if (length == 0) return LastError();
        if (length < capacity) return path.Assign(buffer.Get(), length);
        if (capacity >= 0x8000) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
}

void AddObject() { ++objects; }
void ReleaseObject() { --objects; }
void Lock() { ++locks; }
void Unlock()
{
    // An unbalanced unlock must not make DllCanUnloadNow wrong either way.
    long current = locks.load();
    while (current > 0 && !locks.compare_exchange_weak(current, current - 1)) {
    }
}

void HostWindowCreated()
{
    ++hostWindows;
    PinModule();
}

void HostWindowDestroyed() { --hostWindows; }

void ApartmentStarted() { ++apartments; }
void ApartmentEnded() { --apartments; }

bool CanUnload() { return objects == 0 && locks == 0 && hostWindows == 0 && apartments == 0; }

}  // namespace zanthel::module

#include "common/errors.h"

#include "common/handles.h"
#include "common/text.h"

#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <new>
#include <utility>

namespace zanthel {
namespace {

const wchar_t* OwnDescription(HRESULT hr)
{
    switch (hr) {
        case kOverflow:
            return L"Overflow";
        case kSubscriptOutOfRange:
            return L"Subscript out of range";
        case kArrayLocked:
            return L"This array is fixed or temporarily locked";
        case kObjectNotSet:
            return L"Object variable or With block variable not set";
        default:
            return nullptr;
    }
}

// The system's text for any other failure; empty when it has none.
void SystemDescription(HRESULT hr, Text& description)
{
    UniqueLocal buffer;
    DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    const auto* text = static_cast<const wchar_t*>(buffer.get());
    while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r')) --length;
    description.Assign(text, length);
}

// Leaves description as the thread's error information.
HRESULT SetDescription(HRESULT hr, const Text& description) noexcept
{
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    if (FAILED(::CreateErrorInfo(&create))) {
        ::SetErrorInfo(0, nullptr);
        return hr;
    }
    create->SetDescription(description.Get());
    create->SetSource(const_cast<LPOLESTR>(L"Zanthel"));
    Microsoft::WRL::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.As(&info))) ::SetErrorInfo(0, info.Get());
    return hr;
}

// A layer's description, waiting for the barrier, in a thread slot of its own.
struct Pending {
    HRESULT hr;
    Text description;
};

std::atomic<DWORD> pendingSlot{TLS_OUT_OF_INDEXES};

DWORD PendingSlot() noexcept
{
    DWORD slot = pendingSlot.load();
    if (slot != TLS_OUT_OF_INDEXES) return slot;
    const DWORD made = ::TlsAlloc();
    if (made == TLS_OUT_OF_INDEXES || pendingSlot.compare_exchange_strong(slot, made)) return made;
    ::TlsFree(made);  // another thread's came first
    return slot;
}

Pending* TakePending() noexcept
{
    const DWORD slot = pendingSlot.load();
    if (slot == TLS_OUT_OF_INDEXES) return nullptr;
    auto* pending = static_cast<Pending*>(::TlsGetValue(slot));
    if (pending) ::TlsSetValue(slot, nullptr);
    return pending;
}

}  // namespace

HRESULT LastError() noexcept
{
    const HRESULT hr = HRESULT_FROM_WIN32(::GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
}

HRESULT Describe(HRESULT hr, const wchar_t* what, const Text* detail) noexcept
{
    std::unique_ptr<Pending> pending(TakePending());
    if (!pending) pending.reset(new (std::nothrow) Pending{});
    const DWORD slot = PendingSlot();
    if (!pending || slot == TLS_OUT_OF_INDEXES) return hr;
    pending->hr = hr;
    pending->description.Assign(what);
    if (detail) {
        pending->description.Append(L" \"");
        pending->description.Append(*detail);
        pending->description.Append(L"\"");
    }
    if (::TlsSetValue(slot, pending.get())) pending.release();
    return hr;
}

Text TakeDescription(HRESULT hr) noexcept
{
    const std::unique_ptr<Pending> pending(TakePending());
    if (!pending || pending->hr != hr) return Text();
    return std::move(pending->description);
}

Text PendingDescription() noexcept
{
    const DWORD slot = pendingSlot.load();
    const auto* pending = slot == TLS_OUT_OF_INDEXES ? nullptr : static_cast<Pending*>(::TlsGetValue(slot));
    Text copy;
    if (pending) copy.Assign(pending->description);
    return copy;
}

void ReleaseDescriptionSlot() noexcept
{
    const DWORD slot = pendingSlot.exchange(TLS_OUT_OF_INDEXES);
    if (slot != TLS_OUT_OF_INDEXES) ::TlsFree(slot);
}

HRESULT FinishBarrier(HRESULT hr) noexcept
{
    // A caller reads the error information only after a failure, and every
    // failure sets its own: a success leaves the thread's as it is.
    if (SUCCEEDED(hr)) return hr;
    Text description = TakeDescription(hr);
    if (description.Empty()) {
        if (const wchar_t* own = OwnDescription(hr)) {
            description.Assign(own);
        } else {
            SystemDescription(hr, description);
        }
    }
    return SetDescription(hr, description);
}

}  // namespace zanthel

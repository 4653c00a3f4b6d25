#include "fuzz.h"

#include "support/dll_under_test.h"
#include "support/host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zanthel::bench {
namespace {

using test::ComPtr;

// splitmix64: one small generator per call, seeded from the run's seed and
// the call's index.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
    bool OneIn(unsigned n) { return Below(n) == 0; }

private:
    std::uint64_t state_;
};

// The members of _classTray and how often each is picked. LoadTray and
// UnLoadTray reach the notification area, and each AppendMenu keeps an item,
// so those come rarely; the rest are cheap.
struct Pick {
    DISPID id;
    unsigned weight;
};
constexpr Pick kDispids[] = {
    {0x68030000, 8},     {0x68030001, 6},         {0x68030002, 8}, {0x68030003, 6}, {0x60030004, 8}, {0x60030005, 1},
    {0x60030006, 1},     {0x60030007, 6},         {0x60030008, 6}, {0x60030009, 1}, {0x6003000A, 4}, {DISPID_VALUE, 3},
    {DISPID_UNKNOWN, 3}, {DISPID_PROPERTYPUT, 1}, {0x60030000, 1}, {0x6803000F, 1},
};
constexpr DISPID kRandomDispid = 0x7FFFFFFF;  // stands for "any value" in the table below
constexpr Pick kNamedDispids[] = {{DISPID_PROPERTYPUT, 6}, {0, 1}, {1, 1}, {DISPID_UNKNOWN, 1}, {kRandomDispid, 2}};

template <size_t N>
DISPID PickDispid(Random& random, const Pick (&table)[N])
{
    unsigned total = 0;
    for (const Pick& p : table) total += p.weight;
    unsigned roll = random.Below(total + 2);
    for (const Pick& p : table) {
        if (roll < p.weight) return p.id == kRandomDispid ? static_cast<DISPID>(random.Next()) : p.id;
        roll -= p.weight;
    }
    return static_cast<DISPID>(random.Next());
}

// A caller's object for VT_DISPATCH and VT_UNKNOWN arguments. It lives for
// the whole run and counts its references, so a call that keeps or drops
// one of the caller's shows.
class ProbeObject final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(::InterlockedDecrement(&refs_)); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    // A conversion to a string reads the default property.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override
    {
        if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocString(L"probe");
        return S_OK;
    }
    LONG References() const { return refs_; }

private:
    volatile LONG refs_ = 1;
};

ProbeObject probe;

// Watches the task allocator, which strings and safe arrays come from, for a
// free of something the caller still owns while a call runs. The string
// cache is off in these processes (OANOCACHE), so a freed string reaches it.
class FreeWatch final : public IMallocSpy {
public:
    // Each watched pointer stands for the allocation that holds it: a
    // string or array descriptor starts a few bytes into its block, and the
    // allocator knows which nearby address is that block's start. A free of
    // a neighbouring block is not a free of the caller's.
    void Watch(const std::vector<const void*>& owned)
    {
        owned_.clear();
        IMalloc* allocator = nullptr;
        ::CoGetMalloc(1, &allocator);
        for (const void* p : owned) {
            const auto at = reinterpret_cast<UINT_PTR>(p);
            const void* block = p;
            for (UINT_PTR back = 0; allocator && back <= 32 && back <= at; back += 4) {
                void* candidate = reinterpret_cast<void*>(at - back);
                if (allocator->DidAlloc(candidate) == 1) {
                    block = candidate;
                    break;
                }
            }
            owned_.push_back(block);
        }
        if (allocator) allocator->Release();
        freed_ = false;
        watching_ = true;
    }
    // Whether one of the watched blocks was freed since Watch.
    bool Stop()
    {
        watching_ = false;
        return freed_;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IMallocSpy) return E_NOINTERFACE;
        *object = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override { return actual; }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL) override
    {
        if (watching_ && request)
            for (const void* block : owned_)
                if (block == request) freed_ = true;
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    std::vector<const void*> owned_;
    bool freed_ = false;
    bool watching_ = false;
};

FreeWatch freeWatch;

// One megabyte of text, for the longest strings a caller may pass.
const std::wstring& HugeText()
{
    static const std::wstring text = [] {
        std::wstring t(512 * 1024, L'x');
        for (size_t i = 0; i < t.size(); i += 97) t[i] = static_cast<wchar_t>(L'A' + i % 26);
        return t;
    }();
    return text;
}

BSTR RandomBstr(Random& random, const std::wstring& iconPath)
{
    switch (random.Below(12)) {
        case 0:
            return nullptr;
        case 1:
            return ::SysAllocString(L"");
        case 2:
            return ::SysAllocString(L"Zanthel");
        case 3:
            return ::SysAllocString(L"-");
        case 4:
            return ::SysAllocString(L"Exit");
        case 5:
            return ::SysAllocString(iconPath.c_str());
        case 6:
            if (random.OneIn(40)) return ::SysAllocStringLen(HugeText().data(), static_cast<UINT>(HugeText().size()));
            return ::SysAllocString(L"12.5");
        default: {
            // Any code unit, lone surrogates and NULs inside included.
            std::wstring text(random.Below(100), L' ');
            for (wchar_t& c : text)
                c = static_cast<wchar_t>(random.OneIn(3) ? random.Below(0x10000) : 32 + random.Below(95));
            return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
    }
}

SAFEARRAY* RandomArray(Random& random, VARTYPE& element, const std::wstring& iconPath)
{
    constexpr VARTYPE kElements[] = {VT_I4, VT_BSTR, VT_VARIANT, VT_UI1};
    element = kElements[random.Below(4)];
    const ULONG count = random.Below(4);
    SAFEARRAY* array = ::SafeArrayCreateVector(element, 0, count);
    if (!array) return nullptr;
    for (LONG i = 0; i < static_cast<LONG>(count); ++i) {
        if (element == VT_BSTR) {
            BSTR text = RandomBstr(random, iconPath);
            ::SafeArrayPutElement(array, &i, text);
            ::SysFreeString(text);
        } else if (element == VT_VARIANT) {
            VARIANT item;
            ::VariantInit(&item);
            V_VT(&item) = VT_BSTR;
            V_BSTR(&item) = RandomBstr(random, iconPath);
            ::SafeArrayPutElement(array, &i, &item);
            ::VariantClear(&item);
        } else {
            LONG value = static_cast<LONG>(random.Next());
            ::SafeArrayPutElement(array, &i, &value);
        }
    }
    return array;
}

// Fills value with a random value the caller owns; VariantClear frees it.
void RandomValue(Random& random, VARIANT& value, const std::wstring& iconPath)
{
    ::VariantInit(&value);
    constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL,    VT_I2,      VT_I4,   VT_R4,   VT_R8,       VT_CY,
                                  VT_DATE,  VT_BSTR,    VT_BSTR,    VT_BSTR, VT_BSTR, VT_DISPATCH, VT_ERROR,
                                  VT_BOOL,  VT_UNKNOWN, VT_DECIMAL, VT_I1,   VT_UI1,  VT_UI2,      VT_UI4,
                                  VT_I8,    VT_UI8,     VT_INT,     VT_UINT, VT_ARRAY};
    const VARTYPE type = kTypes[random.Below(sizeof(kTypes) / sizeof(kTypes[0]))];
    const std::uint64_t bits = random.Next();
    switch (type) {
        case VT_BSTR:
            V_BSTR(&value) = RandomBstr(random, iconPath);
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (random.OneIn(4)) {
                V_DISPATCH(&value) = nullptr;
            } else {
                probe.AddRef();
                V_DISPATCH(&value) = &probe;
            }
            break;
        case VT_DECIMAL:
            V_DECIMAL(&value).scale = static_cast<BYTE>(bits % 29);
            V_DECIMAL(&value).sign = (bits & 0x100) ? DECIMAL_NEG : 0;
            V_DECIMAL(&value).Hi32 = 0;
            V_DECIMAL(&value).Lo64 = bits >> 9;
            break;
        case VT_R4:
            V_R4(&value) = static_cast<float>(static_cast<std::int32_t>(bits)) / 7.0f;
            break;
        case VT_R8:
        case VT_DATE:
            V_R8(&value) = static_cast<double>(static_cast<std::int64_t>(bits)) / 1e9;
            break;
        case VT_BOOL:
            V_BOOL(&value) = (bits & 1) ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_ARRAY: {
            VARTYPE element = VT_I4;
            V_ARRAY(&value) = RandomArray(random, element, iconPath);
            V_VT(&value) = VT_ARRAY | element;
            return;
        }
        default:
            V_UI8(&value) = bits;
            break;
    }
    V_VT(&value) = type;
}

// One argument and the storage a by-reference form points at; the caller
// owns all three variants and clears each once.
struct Argument {
    VARIANT arg;
    VARIANT holder;  // what a VT_BYREF argument points into
    VARIANT inner;   // what a by-reference string inside a VT_VARIANT reference points at
};

void MakeArgument(Random& random, Argument& a, const std::wstring& iconPath)
{
    ::VariantInit(&a.arg);
    ::VariantInit(&a.holder);
    ::VariantInit(&a.inner);
    switch (random.Below(6)) {
        case 0:
        case 1:
        case 2:
            RandomValue(random, a.arg, iconPath);
            return;
        case 3: {
            // By reference to a value of the same type.
            RandomValue(random, a.holder, iconPath);
            const VARTYPE type = V_VT(&a.holder);
            if (type == VT_EMPTY || type == VT_NULL) return RandomValue(random, a.arg, iconPath);
            V_VT(&a.arg) = VT_BYREF | type;
            V_BYREF(&a.arg) =
                type == VT_DECIMAL ? static_cast<void*>(&V_DECIMAL(&a.holder)) : static_cast<void*>(&V_UI1(&a.holder));
            return;
        }
        case 4:
            // A script variable: a VARIANT by reference, most often holding a string.
            if (random.OneIn(2)) {
                V_VT(&a.holder) = VT_BSTR;
                V_BSTR(&a.holder) = RandomBstr(random, iconPath);
            } else {
                RandomValue(random, a.holder, iconPath);
            }
            V_VT(&a.arg) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&a.arg) = &a.holder;
            return;
        default:
            // A VARIANT by reference that holds a string by reference.
            V_VT(&a.inner) = VT_BSTR;
            V_BSTR(&a.inner) = RandomBstr(random, iconPath);
            V_VT(&a.holder) = VT_BYREF | VT_BSTR;
            V_BSTRREF(&a.holder) = &V_BSTR(&a.inner);
            if (random.OneIn(2)) {
                V_VT(&a.arg) = VT_BYREF | VT_VARIANT;
                V_VARIANTREF(&a.arg) = &a.holder;
            } else {
                V_VT(&a.arg) = VT_BYREF | VT_BSTR;
                V_BSTRREF(&a.arg) = &V_BSTR(&a.inner);
            }
            return;
    }
}

// What the caller can see of its arguments: their bytes, and every string
// they reach, by pointer and by content.
struct Fingerprint {
    std::vector<BYTE> bytes;
    std::vector<const void*> pointers;
    std::vector<std::wstring> texts;
    bool operator==(const Fingerprint& o) const
    {
        return bytes == o.bytes && pointers == o.pointers && texts == o.texts;
    }
};

void AddBytes(Fingerprint& f, const void* data, size_t size)
{
    const BYTE* p = static_cast<const BYTE*>(data);
    f.bytes.insert(f.bytes.end(), p, p + size);
}

void AddText(Fingerprint& f, BSTR text)
{
    f.pointers.push_back(text);
    if (!text) return;
    // A string freed behind the caller's back may be unmapped already.
    const BYTE* start = reinterpret_cast<const BYTE*>(text) - sizeof(UINT);
    if (::IsBadReadPtr(start, sizeof(UINT)) || ::IsBadReadPtr(start, sizeof(UINT) + ::SysStringByteLen(text))) {
        f.texts.push_back(L"<unreadable>");
        return;
    }
    f.texts.emplace_back(text, ::SysStringLen(text));
}

void AddVariant(Fingerprint& f, const VARIANT& v, int depth);

void AddArray(Fingerprint& f, SAFEARRAY* array, VARTYPE element, int depth)
{
    f.pointers.push_back(array);
    if (!array) return;
    // A descriptor freed behind the caller's back holds anything.
    if (::IsBadReadPtr(array, sizeof(SAFEARRAY)) || array->cDims != 1 || array->rgsabound[0].cElements > 3 ||
        ::IsBadReadPtr(array->pvData, array->rgsabound[0].cElements * array->cbElements)) {
        f.texts.push_back(L"<unreadable array>");
        return;
    }
    AddBytes(f, array, sizeof(SAFEARRAY));
    f.pointers.push_back(array->pvData);
    const ULONG count = array->rgsabound[0].cElements;
    for (ULONG i = 0; i < count; ++i) {
        if (element == VT_BSTR) AddText(f, static_cast<BSTR*>(array->pvData)[i]);
        if (element == VT_VARIANT) AddVariant(f, static_cast<VARIANT*>(array->pvData)[i], depth + 1);
    }
    if (element == VT_I4 || element == VT_UI1) AddBytes(f, array->pvData, count * array->cbElements);
}

void AddVariant(Fingerprint& f, const VARIANT& v, int depth)
{
    AddBytes(f, &v, sizeof(VARIANT));
    if (depth > 3) return;
    const VARTYPE type = V_VT(&v);
    if (type == VT_BSTR) AddText(f, V_BSTR(&v));
    if (type == (VT_BYREF | VT_BSTR)) AddText(f, *V_BSTRREF(&v));
    if (type == (VT_BYREF | VT_VARIANT)) AddVariant(f, *V_VARIANTREF(&v), depth + 1);
    if ((type & VT_ARRAY) && !(type & VT_BYREF)) AddArray(f, V_ARRAY(&v), type & VT_TYPEMASK, depth);
    if ((type & VT_ARRAY) && (type & VT_BYREF)) AddArray(f, *V_ARRAYREF(&v), type & VT_TYPEMASK, depth);
}

struct Call {
    DISPID id;
    WORD flags;
    std::vector<Argument> arguments;
    std::vector<VARIANT> rgvarg;
    std::vector<DISPID> named;
    DISPPARAMS params{};
    bool wantResult, wantException, wantArgError;
};

Fingerprint Take(const Call& call)
{
    Fingerprint f;
    AddBytes(f, &call.params, sizeof(DISPPARAMS));
    AddBytes(f, call.named.data(), call.named.size() * sizeof(DISPID));
    for (const VARIANT& v : call.rgvarg) AddVariant(f, v, 0);
    for (const Argument& a : call.arguments) {
        AddVariant(f, a.holder, 1);
        AddVariant(f, a.inner, 1);
    }
    return f;
}

void MakeCall(Random& random, Call& call, const std::wstring& iconPath)
{
    call.id = PickDispid(random, kDispids);
    call.flags = static_cast<WORD>(random.Below(16));  // METHOD|PROPERTYGET|PROPERTYPUT|PROPERTYPUTREF, 0 too
    const unsigned count = random.Below(5);
    call.arguments.resize(count);
    for (Argument& a : call.arguments) MakeArgument(random, a, iconPath);
    call.rgvarg.resize(count);
    for (unsigned i = 0; i < count; ++i) call.rgvarg[i] = call.arguments[i].arg;
    if (count && random.OneIn(3)) {
        call.named.resize(1 + random.Below(count));
        for (DISPID& id : call.named) id = PickDispid(random, kNamedDispids);
    }
    call.params.cArgs = count;
    call.params.rgvarg = count ? call.rgvarg.data() : nullptr;
    call.params.cNamedArgs = static_cast<UINT>(call.named.size());
    call.params.rgdispidNamedArgs = call.named.empty() ? nullptr : call.named.data();
    call.wantResult = !random.OneIn(3);
    call.wantException = random.OneIn(2);
    call.wantArgError = random.OneIn(2);
}

void Report(long index, const Call& call, const char* what)
{
    std::fprintf(stderr, "call %ld: DISPID 0x%08lX flags %u, %u arguments (%u named): %s\n", index,
                 static_cast<unsigned long>(call.id), call.flags, call.params.cArgs, call.params.cNamedArgs, what);
    for (UINT i = 0; i < call.params.cArgs; ++i)
        std::fprintf(stderr, "  argument %u: vt 0x%04X\n", i, V_VT(&call.arguments[i].arg));
}

}  // namespace

void RunFuzzCalls(std::uint64_t seed, long first, long last, FuzzProgress& progress)
{
    test::ComApartment apartment;
    test::TempFile icon(L"zanthel-fuzz-" + std::to_wstring(::GetCurrentProcessId()) + L".ico", test::IconFileBytes());
    ::CoRegisterMallocSpy(&freeWatch);
    ComPtr<_classTray> tray = test::NewTray();
    if (!tray) {
        std::fprintf(stderr, "no classTray from Zanthel.dll\n");
        std::exit(2);
    }
    for (long index = first; index < last; ++index) {
        progress.current = index;
        Random random(seed * 0x100000001B3ull + static_cast<std::uint64_t>(index));
        Call call;
        MakeCall(random, call, icon.path());
        const Fingerprint before = Take(call);
        std::vector<const void*> owned;
        for (const void* p : before.pointers)
            if (p) owned.push_back(p);
        freeWatch.Watch(owned);
        VARIANT result;
        ::VariantInit(&result);
        EXCEPINFO exception{};
        UINT argError = 0xFFFF;
        const HRESULT hr = tray->Invoke(call.id, IID_NULL, LOCALE_USER_DEFAULT, call.flags, &call.params,
                                        call.wantResult ? &result : nullptr, call.wantException ? &exception : nullptr,
                                        call.wantArgError ? &argError : nullptr);
        const bool freed = freeWatch.Stop();
        if (FAILED(hr)) ::InterlockedIncrement(&progress.failed);
        const Fingerprint after = Take(call);
        if (freed || !(after == before)) {
            ::InterlockedIncrement(&progress.changed);
            Report(index, call,
                   freed ? "a string or array the caller owns was freed" : "the caller's arguments came back changed");
        }
        if (exception.pfnDeferredFillIn) exception.pfnDeferredFillIn(&exception);
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        ::VariantClear(&result);
        for (Argument& a : call.arguments) {
            ::VariantClear(&a.arg);
            ::VariantClear(&a.holder);
            ::VariantClear(&a.inner);
        }
        if (probe.References() != 1) {
            ::InterlockedIncrement(&progress.changed);
            Report(index, call, "a reference to the caller's object was kept or dropped");
            while (probe.References() > 1) probe.Release();
            while (probe.References() < 1) probe.AddRef();
        }
        // The shell and a shown host window send the thread messages.
        if (index % 64 == 0) test::PumpMessages(std::chrono::milliseconds(0));
    }
    progress.current = last;
}

}  // namespace zanthel::bench

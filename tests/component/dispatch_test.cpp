// Late binding through IDispatch as hosts other than a script engine call it;
// the VBScript client covers strings by value, numbers and scripts' mistakes.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "component/notify_interface.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace zanthel::test;

namespace {

constexpr DISPID kToolTipName = 0x68030002, kMnuEvent = 0x68030000;
constexpr DISPID kCreateTray = 0x60030004, kAppendMenu = 0x60030009;

// Every variant used here holds a pointer, and those share one slot.
VARIANT Arg(VARTYPE type, void* value)
{
    VARIANT v{};
    v.vt = type;
    v.byref = value;
    return v;
}

// A caller's object whose default property is text, or missing when text is
// null. Reading it runs onRead first.
class Defaulted final : public IDispatch {
public:
    explicit Defaulted(const wchar_t* text, std::function<void()> onRead = {}) : text_(text), onRead_(onRead) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        *object = riid == IID_IUnknown || riid == IID_IDispatch ? this : nullptr;
        return *object ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override
    {
        if (onRead_) onRead_();
        if (id != DISPID_VALUE || !text_ || !result) return DISP_E_MEMBERNOTFOUND;
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocString(text_);
        return S_OK;
    }
    ULONG references = 1;

private:
    const wchar_t* text_;
    std::function<void()> onRead_;
};

class Dispatch : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, NewTray().As(&object_)); }

    // A put passes its value as the named DISPID_PROPERTYPUT argument.
    HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args = {}, VARIANT* result = nullptr)
    {
        DISPID put = DISPID_PROPERTYPUT;
        const UINT named = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF) ? 1 : 0;
        DISPPARAMS params{args.data(), &put, static_cast<UINT>(args.size()), named};
        argError_ = ~0u;
        return object_->Invoke(id, IID_NULL, 0x0407, flags, &params, result, nullptr, &argError_);
    }

    // Read as Basic hosts read properties, with both flags set.
    std::wstring Get(DISPID id)
    {
        VARIANT result{};
        EXPECT_EQ(S_OK, Invoke(id, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result));
        EXPECT_EQ(VT_BSTR, result.vt);
        std::wstring text = result.vt == VT_BSTR ? std::wstring(result.bstrVal, ::SysStringLen(result.bstrVal)) : L"";
        ::VariantClear(&result);
        return text;
    }

    ComApartment apartment_;
    ComPtr<IDispatch> object_;
    UINT argError_ = ~0u;
};

}  // namespace

TEST_F(Dispatch, DescribesItselfAndMapsNamesToFixedIdsIgnoringCase)
{
    UINT count = 0;
    EXPECT_EQ(S_OK, object_->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, object_->GetTypeInfo(0, 0x0407, &info));
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_EQ(IID__classTray, attr->guid);
    info->ReleaseTypeAttr(attr);

    // No ids: an unknown name. Only the three method parameters have names.
    const std::pair<std::vector<const wchar_t*>, std::vector<DISPID>> cases[] = {
        {{L"AppendMenu", L"Caption"}, {0x60030009, 0}},
        {{L"createtray", L"HANDLE"}, {kCreateTray, 0}},
        {{L"Zanthel"}, {}},
        {{L"AppendMenu", L"Handle"}, {}},
        {{L"mnuEvent", L"new_mnuEvent"}, {}},
        {{L"WindowName", L"a"}, {}},
    };
    for (const auto& [names, ids] : cases) {
        std::vector<DISPID> found(names.size(), 0);
        HRESULT hr = object_->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names.data()),
                                            static_cast<UINT>(names.size()), 0x0407, found.data());
        EXPECT_EQ(ids.empty() ? DISP_E_UNKNOWNNAME : S_OK, hr) << names[0] << " " << names.back();
        if (!ids.empty()) {
            EXPECT_EQ(ids, found) << names[0];
        }
    }
}

TEST_F(Dispatch, AskingForNoNamesSucceedsAndNullArraysAreRefusedByBothClasses)
{
    ComPtr<IClassFactory> factory;
    ComPtr<IDispatch> icon;
    ASSERT_EQ(S_OK, DllExports().DllGetClassObject(CLSID_NotifyIcon, IID_PPV_ARGS(&factory)));
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_PPV_ARGS(&icon)));
    LPOLESTR name = const_cast<LPOLESTR>(L"Visible");
    for (IDispatch* object : {object_.Get(), icon.Get()}) {
        DISPID id = 7;
        EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, &name, 0, 0, &id));
        EXPECT_EQ(7, id);
        EXPECT_EQ(E_POINTER, object->GetIDsOfNames(IID_NULL, nullptr, 0, 0, &id));
        EXPECT_EQ(E_POINTER, object->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr));
    }
}

TEST_F(Dispatch, StringsArriveByReferenceDirectlyOrInAVariant)
{
    Bstr tip(L"tip by reference"), event(L"event by reference"), inVariable(L"in a variable");
    VARIANT variable = Arg(VT_BSTR, inVariable.get());
    const std::tuple<DISPID, WORD, VARIANT, DISPID, const wchar_t*> cases[] = {
        {kToolTipName, DISPATCH_PROPERTYPUT, Arg(VT_BSTR | VT_BYREF, &tip), kToolTipName, L"tip by reference"},
        {kCreateTray, DISPATCH_METHOD, Arg(VT_BSTR | VT_BYREF, &event), kMnuEvent, L"event by reference"},
        {kCreateTray, DISPATCH_METHOD, Arg(VT_VARIANT | VT_BYREF, &variable), kMnuEvent, L"in a variable"},
    };
    for (const auto& [id, flags, arg, readFrom, expected] : cases) {
        EXPECT_EQ(S_OK, Invoke(id, flags, {arg})) << expected;
        EXPECT_EQ(expected, Get(readFrom));
    }

    VARIANT arg = Arg(VT_BSTR, tip.get());
    DISPID handle = 0;  // the position of Handle
    DISPPARAMS params{&arg, &handle, 1, 1};
    EXPECT_EQ(S_OK, object_->Invoke(kCreateTray, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
    EXPECT_EQ(L"tip by reference", Get(kMnuEvent));
}

TEST_F(Dispatch, InvokeRejectsWrongMemberKindCountOrType)
{
    Bstr text(L"text");
    const VARIANT value = Arg(VT_BSTR, text.get());
    EXPECT_EQ(S_OK, Invoke(kMnuEvent, DISPATCH_PROPERTYPUT, {value}));
    SAFEARRAY* array = ::SafeArrayCreateVector(VT_I4, 0, 2);
    const std::tuple<DISPID, WORD, std::vector<VARIANT>, HRESULT> cases[] = {
        {DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, DISP_E_MEMBERNOTFOUND},
        {kCreateTray, DISPATCH_PROPERTYPUT, {value}, DISP_E_MEMBERNOTFOUND},
        {kMnuEvent, DISPATCH_PROPERTYPUTREF, {value}, DISP_E_MEMBERNOTFOUND},
        {kCreateTray, DISPATCH_METHOD, {}, DISP_E_BADPARAMCOUNT},
        {kCreateTray, DISPATCH_METHOD, {value, value}, DISP_E_BADPARAMCOUNT},
        {kCreateTray, DISPATCH_METHOD, {Arg(VT_ARRAY | VT_I4, array)}, DISP_E_TYPEMISMATCH},
    };
    for (const auto& [id, flags, args, refusal] : cases) EXPECT_EQ(refusal, Invoke(id, flags, args)) << std::hex << id;
    ::SafeArrayDestroy(array);
    EXPECT_EQ(L"text", Get(kMnuEvent));
}

TEST_F(Dispatch, AnObjectArgumentTakesEffectAsItsDefaultValueOrNotAtAll)
{
    // Each took effect and still failed, so a host that retried added its item twice.
    Defaulted show(L"Show"), event(L"object event"), variable(L"object in a variable"), none(nullptr);
    EXPECT_EQ(S_OK, Invoke(kAppendMenu, DISPATCH_METHOD, {Arg(VT_DISPATCH, &show)}));
    HMENU popup = ::GetSubMenu(::GetMenu(HostWindowOfThisThread()), 0);
    EXPECT_EQ(1, ::GetMenuItemCount(popup));
    EXPECT_EQ(L"Show", MenuItemText(popup, ::GetMenuItemID(popup, 0)));
    EXPECT_EQ(S_OK, Invoke(kMnuEvent, DISPATCH_PROPERTYPUT, {Arg(VT_DISPATCH, &event)}));
    EXPECT_EQ(L"object event", Get(kMnuEvent));
    VARIANT holder = Arg(VT_DISPATCH, &variable);
    EXPECT_EQ(S_OK, Invoke(kCreateTray, DISPATCH_METHOD, {Arg(VT_BYREF | VT_VARIANT, &holder)}));
    EXPECT_EQ(L"object in a variable", Get(kMnuEvent));

    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(kMnuEvent, DISPATCH_PROPERTYPUT, {Arg(VT_DISPATCH, &none)}));
    EXPECT_EQ(0u, argError_);
    EXPECT_EQ(L"object in a variable", Get(kMnuEvent));
    for (const Defaulted* object : {&show, &event, &variable, &none}) EXPECT_EQ(1u, object->references);
}

TEST_F(Dispatch, ReleasingTheLastReferenceWhileAnArgumentIsReadFinishesTheCall)
{
    // Wine's heap checks (tests/component/CMakeLists.txt) poison freed memory:
    // the call used to go on in the freed object and crash there.
    Defaulted releasing(L"after release", [this] { object_.Reset(); });
    EXPECT_EQ(S_OK, Invoke(kMnuEvent, DISPATCH_PROPERTYPUT, {Arg(VT_DISPATCH, &releasing)}));
    EXPECT_EQ(nullptr, object_.Get());
    EXPECT_EQ(L"after release", MenuEvent(NewTray().Get()));
}

// Late binding through IDispatch, as a scripting host or LabVIEW calls.
#include "support/dll_under_test.h"
#include "support/host.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zanthel::test;

namespace {

constexpr DISPID kWindowName = 0x68030003, kToolTipName = 0x68030002, kMnuEvent = 0x68030000;
constexpr DISPID kCreateTray = 0x60030004;

VARIANT Text(const Bstr& text)
{
    VARIANT v{};
    v.vt = VT_BSTR;
    v.bstrVal = text.get();
    return v;
}

VARIANT TextRef(Bstr& text)
{
    VARIANT v{};
    v.vt = VT_BSTR | VT_BYREF;
    v.pbstrVal = &text;
    return v;
}

// A put passes its value as the named DISPID_PROPERTYPUT argument.
HRESULT Invoke(IDispatch* object, DISPID id, WORD flags, std::vector<VARIANT> args = {}, VARIANT* result = nullptr)
{
    DISPID put = DISPID_PROPERTYPUT;
    const bool isPut = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    DISPPARAMS params{args.data(), isPut ? &put : nullptr, static_cast<UINT>(args.size()), isPut ? 1u : 0u};
    EXCEPINFO exception{};
    UINT argError = 0;
    HRESULT hr = object->Invoke(id, IID_NULL, 0x0407, flags, &params, result, &exception, &argError);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrHelpFile);
    return hr;
}

std::wstring Get(IDispatch* object, DISPID id, WORD flags = DISPATCH_PROPERTYGET)
{
    VARIANT result{};
    EXPECT_EQ(S_OK, Invoke(object, id, flags, {}, &result));
    EXPECT_EQ(VT_BSTR, result.vt);
    std::wstring text = result.vt == VT_BSTR ? Bstr(result.bstrVal).str() : L"";
    ::VariantClear(&result);
    return text;
}

ComPtr<IDispatch> NewDispatchTray()
{
    ComPtr<IDispatch> object;
    if (auto tray = NewTray()) tray.As(&object);
    return object;
}

}  // namespace

TEST(Dispatch, NamesMapToFixedIdsIgnoringCase)
{
    ComApartment apartment;
    ComPtr<IDispatch> object = NewDispatchTray();
    ASSERT_TRUE(object);
    UINT count = 0;
    EXPECT_EQ(S_OK, object->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(S_OK, object->GetTypeInfo(0, 0x0407, &info));

    // No ids: an unknown name. Only the three method parameters have names.
    const std::vector<std::pair<std::vector<const wchar_t*>, std::vector<DISPID>>> cases = {
        {{L"windowname"}, {kWindowName}},
        {{L"mnuEvent"}, {kMnuEvent}},
        {{L"DestroyMenu"}, {0x6003000A}},
        {{L"AppendMenu", L"Caption"}, {0x60030009, 0}},
        {{L"createtray", L"HANDLE"}, {kCreateTray, 0}},
        {{L"HideWindow", L"windowName"}, {0x60030007, 0}},
        {{L"Zanthel"}, {}},
        {{L"AppendMenu", L"Handle"}, {}},
        {{L"mnuEvent", L"new_mnuEvent"}, {}},
        {{L"WindowName", L"a"}, {}},
    };
    for (const auto& [names, ids] : cases) {
        std::vector<DISPID> found(names.size(), 0);
        HRESULT hr = object->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names.data()),
                                           static_cast<UINT>(names.size()), 0x0407, found.data());
        if (ids.empty()) {
            EXPECT_EQ(DISP_E_UNKNOWNNAME, hr) << names[0] << " " << names.back();
        } else {
            EXPECT_EQ(S_OK, hr) << names[0];
            EXPECT_EQ(ids, found) << names[0];
        }
    }
}

TEST(Dispatch, PropertiesPutAndGetThroughInvoke)
{
    ComApartment apartment;
    ComPtr<IDispatch> object = NewDispatchTray();
    ASSERT_TRUE(object);
    for (DISPID id : {kWindowName, kToolTipName, kMnuEvent}) {
        Bstr value(L"Zanthel window " + std::to_wstring(id));
        EXPECT_EQ(S_OK, Invoke(object.Get(), id, DISPATCH_PROPERTYPUT, {Text(value)}));
        EXPECT_EQ(value.str(), Get(object.Get(), id));
        // Basic hosts read properties with both flags set.
        EXPECT_EQ(value.str(), Get(object.Get(), id, DISPATCH_METHOD | DISPATCH_PROPERTYGET));
    }
    Bstr byReference(L"by reference");
    EXPECT_EQ(S_OK, Invoke(object.Get(), kMnuEvent, DISPATCH_PROPERTYPUT, {TextRef(byReference)}));
    ComPtr<_classTray> tray;
    ASSERT_EQ(S_OK, object.As(&tray));
    EXPECT_EQ(L"by reference", MenuEvent(tray.Get()));
}

TEST(Dispatch, MethodArgumentConvertsFromValueReferenceOrNumber)
{
    ComApartment apartment;
    ComPtr<IDispatch> object = NewDispatchTray();
    ASSERT_TRUE(object);
    Bstr byValue(L"by value"), byReference(L"by reference");
    EXPECT_EQ(S_OK, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD, {Text(byValue)}));
    EXPECT_EQ(L"by value", Get(object.Get(), kMnuEvent));
    EXPECT_EQ(S_OK, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD, {TextRef(byReference)}));
    EXPECT_EQ(L"by reference", Get(object.Get(), kMnuEvent));

    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = 42;
    EXPECT_EQ(S_OK, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD, {number}));
    EXPECT_EQ(L"42", Get(object.Get(), kMnuEvent));
    // Script engines pass a variable as a variant by reference.
    VARIANT variable = Text(byValue);
    VARIANT inVariable{};
    inVariable.vt = VT_VARIANT | VT_BYREF;
    inVariable.pvarVal = &variable;
    EXPECT_EQ(S_OK, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD, {inVariable}));
    EXPECT_EQ(L"by value", Get(object.Get(), kMnuEvent));

    Bstr named(L"named");
    VARIANT arg = Text(named);
    DISPID handle = 0;  // the position of Handle
    DISPPARAMS params{&arg, &handle, 1, 1};
    EXPECT_EQ(S_OK, object->Invoke(kCreateTray, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr));
    EXPECT_EQ(L"named", Get(object.Get(), kMnuEvent));
}

TEST(Dispatch, InvokeRejectsWrongMemberKindCountOrType)
{
    ComApartment apartment;
    ComPtr<IDispatch> object = NewDispatchTray();
    ASSERT_TRUE(object);
    Bstr text(L"text");
    EXPECT_EQ(S_OK, Invoke(object.Get(), kMnuEvent, DISPATCH_PROPERTYPUT, {Text(text)}));

    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(object.Get(), DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(object.Get(), kCreateTray, DISPATCH_PROPERTYPUT, {Text(text)}));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(object.Get(), kMnuEvent, DISPATCH_PROPERTYPUTREF, {Text(text)}));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD));
    EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD, {Text(text), Text(text)}));

    SAFEARRAY* array = ::SafeArrayCreateVector(VT_I4, 0, 2);
    VARIANT numbers{};
    numbers.vt = VT_ARRAY | VT_I4;
    numbers.parray = array;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD, {numbers}));
    ::SafeArrayDestroy(array);
    ComPtr<IStream> stream;  // an object with no IDispatch and so no value
    ASSERT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    VARIANT unknown{};
    unknown.vt = VT_UNKNOWN;
    unknown.punkVal = stream.Get();
    EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(object.Get(), kCreateTray, DISPATCH_METHOD, {unknown}));
    EXPECT_EQ(L"text", Get(object.Get(), kMnuEvent));
}

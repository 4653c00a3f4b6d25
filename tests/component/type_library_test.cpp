// The embedded type library and the other resources, read the way hosts and
// installers read them.
#include "support/dll_under_test.h"
#include "support/type_reading.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <vector>

using namespace zanthel::test;

namespace {

// A member's name and its parameters' names, with spaces between; MEMBERID_NIL
// gives the type's name.
std::wstring Names(ITypeInfo* info, MEMBERID id)
{
    BSTR names[8] = {};
    UINT count = 1;
    EXPECT_EQ(S_OK, id == MEMBERID_NIL ? info->GetDocumentation(id, names, nullptr, nullptr, nullptr)
                                       : info->GetNames(id, names, 8, &count));
    std::wstring joined;
    for (UINT i = 0; i < count; ++i) joined += (i ? L" " : L"") + std::wstring(names[i], ::SysStringLen(names[i]));
    for (BSTR name : names) ::SysFreeString(name);
    return joined;
}

class TypeLibrary : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, ::LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library_)); }
    ComPtr<ITypeLib> library_;
};

}  // namespace

TEST_F(TypeLibrary, HoldsHiddenDualInterfaceThenCreatableCoclass)
{
    TLIBATTR* lib = nullptr;
    ASSERT_EQ(S_OK, library_->GetLibAttr(&lib));
    EXPECT_EQ(LIBID_Zanthel, lib->guid);
    // Version 1.0, language-neutral, for this build's Windows, no flags but the one the loader adds.
    EXPECT_EQ((std::vector<int>{1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, 0}),
              (std::vector<int>{lib->wMajorVerNum, lib->wMinorVerNum, static_cast<int>(lib->lcid), lib->syskind,
                                lib->wLibFlags & ~LIBFLAG_FHASDISKIMAGE}));
    library_->ReleaseTLibAttr(lib);
    Bstr name, doc;
    ASSERT_EQ(S_OK, library_->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_EQ(L"Zanthel Zanthel.dll", name.str() + L" " + doc.str());
    ASSERT_EQ(2u, library_->GetTypeInfoCount());

    ComPtr<ITypeInfo> dispatch, coclass;
    ASSERT_EQ(S_OK, library_->GetTypeInfo(0, &dispatch));
    ASSERT_EQ(S_OK, library_->GetTypeInfo(1, &coclass));
    EXPECT_EQ(L"_classTray", Names(dispatch.Get(), MEMBERID_NIL));
    const TYPEATTR iface = Attr(dispatch.Get());
    EXPECT_EQ(TKIND_DISPATCH, iface.typekind);
    EXPECT_EQ(IID__classTray, iface.guid);
    EXPECT_EQ(0x00010000, MAKELONG(iface.wMinorVerNum, iface.wMajorVerNum));
    // Automation shows oleautomation on the interface view only.
    const WORD flags = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(flags, iface.wTypeFlags);
    EXPECT_EQ(flags | TYPEFLAG_FOLEAUTOMATION, Attr(Referenced(dispatch.Get(), -1).Get()).wTypeFlags);

    EXPECT_EQ(L"classTray", Names(coclass.Get(), MEMBERID_NIL));
    const TYPEATTR cls = Attr(coclass.Get());
    EXPECT_EQ(TKIND_COCLASS, cls.typekind);
    EXPECT_EQ(CLSID_classTray, cls.guid);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, cls.wTypeFlags);
    ASSERT_EQ(1, cls.cImplTypes);
    INT implFlags = 0;
    EXPECT_EQ(S_OK, coclass->GetImplTypeFlags(0, &implFlags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, implFlags);
    EXPECT_EQ(IID__classTray, Attr(Referenced(coclass.Get(), 0).Get()).guid);
}

TEST_F(TypeLibrary, VtableHasFifteenMembersAfterIDispatchInOrder)
{
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(IID__classTray, &dispatch));
    ComPtr<ITypeInfo> vtable = Referenced(dispatch.Get(), -1);
    const TYPEATTR attr = Attr(vtable.Get());
    EXPECT_EQ(TKIND_INTERFACE, attr.typekind);
    ASSERT_EQ(15, attr.cFuncs);
    EXPECT_EQ(IID_IDispatch, Attr(Referenced(vtable.Get(), 0).Get()).guid);

    const INVOKEKIND get = INVOKE_PROPERTYGET, put = INVOKE_PROPERTYPUT, method = INVOKE_FUNC;
    const std::tuple<const wchar_t*, MEMBERID, INVOKEKIND> expected[] = {
        {L"WindowName", 0x68030003, get},
        {L"WindowName", 0x68030003, put},
        {L"ToolTipName", 0x68030002, get},
        {L"ToolTipName", 0x68030002, put},
        {L"TrayIcon", 0x68030001, get},
        {L"TrayIcon", 0x68030001, put},
        {L"mnuEvent", 0x68030000, get},
        {L"mnuEvent", 0x68030000, put},
        {L"CreateTray Handle", 0x60030004, method},
        {L"LoadTray", 0x60030005, method},
        {L"UnLoadTray", 0x60030006, method},
        {L"HideWindow WindowName", 0x60030007, method},
        {L"ShowWindow WindowName", 0x60030008, method},
        {L"AppendMenu Caption", 0x60030009, method},
        {L"DestroyMenu", 0x6003000A, method},
    };
    for (int i = 0; i < 15; ++i) {
        const auto [names, id, kind] = expected[i];
        SCOPED_TRACE(names);
        FUNCDESC* func = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &func));
        EXPECT_EQ(id, func->memid);
        EXPECT_EQ(kind, func->invkind);
        EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), func->oVft);
        EXPECT_EQ(VT_HRESULT, func->elemdescFunc.tdesc.vt);
        EXPECT_EQ(0, func->wFuncFlags | func->cParamsOpt);
        // Only methods name their parameter; a get's is its return value.
        const bool takesText = kind != method || std::wcschr(names, L' ');
        ASSERT_EQ(takesText ? 1 : 0, func->cParams);
        if (takesText) {
            const ELEMDESC& param = func->lprgelemdescParam[0];
            EXPECT_EQ(VT_PTR, param.tdesc.vt);
            EXPECT_EQ(VT_BSTR, param.tdesc.lptdesc->vt);
            EXPECT_EQ(kind == get ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN | PARAMFLAG_FOUT,
                      param.paramdesc.wParamFlags);
        }
        // A put shares its get's id, and GetNames answers for the get.
        if (kind != put) {
            EXPECT_EQ(names, Names(vtable.Get(), id));
        }
        vtable->ReleaseFuncDesc(func);
    }
}

TEST(Resources, LanguagesAndVersionInformation)
{
    std::set<std::pair<std::wstring, LANGID>> languages;
    for (LPCWSTR type : {LPCWSTR(L"TYPELIB"), LPCWSTR(MAKEINTRESOURCEW(16)) /* RT_VERSION */}) {
        ::EnumResourceLanguagesW(
            Dll(), type, MAKEINTRESOURCEW(1),
            [](HMODULE, LPCWSTR typeName, LPCWSTR, WORD language, LONG_PTR found) WINAPI -> BOOL {
                auto* all = reinterpret_cast<decltype(languages)*>(found);
                all->emplace(IS_INTRESOURCE(typeName) ? L"#16" : typeName, language);
                return TRUE;
            },
            reinterpret_cast<LONG_PTR>(&languages));
    }
    EXPECT_EQ((decltype(languages){{L"TYPELIB", 0}, {L"#16", 0x0409}}), languages);

    std::vector<char> block(::GetFileVersionInfoSizeW(DllPath().c_str(), nullptr));
    ASSERT_TRUE(::GetFileVersionInfoW(DllPath().c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    auto query = [&](const std::wstring& path) {
        void* value = nullptr;
        UINT length = 0;
        EXPECT_TRUE(::VerQueryValueW(block.data(), path.c_str(), &value, &length)) << path;
        return value;
    };
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
    ASSERT_TRUE(fixed);
    // File and product version 2.0.0.1, no flags, 32-bit Windows DLL, no subtype, no date.
    EXPECT_EQ((std::vector<DWORD>{0x00020000, 1, 0x00020000, 1, 0, 0, VOS__WINDOWS32, VFT_DLL, 0, 0, 0}),
              std::vector<DWORD>(&fixed->dwFileVersionMS, &fixed->dwFileVersionMS + 11));
    const auto* translation = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
    ASSERT_TRUE(translation);
    EXPECT_EQ(MAKELONG(0x0409, 0x04B0), MAKELONG(translation[0], translation[1]));

    std::wstring strings;
    for (const wchar_t* key : {L"Comments", L"FileDescription", L"LegalTrademarks", L"ProductName", L"FileVersion",
                               L"ProductVersion", L"InternalName", L"OriginalFilename", L"OLESelfRegister"}) {
        const void* text = query(std::wstring(L"\\StringFileInfo\\040904B0\\") + key);
        strings += std::wstring(key) + L"=" + (text ? static_cast<const wchar_t*>(text) : L"(none)") + L"\n";
    }
    EXPECT_EQ(
        L"Comments=Designed to work with LabVIEW\nFileDescription=Zanthel LabVIEW Toolkit\nLegalTrademarks=Zanthel\n"
        L"ProductName=Zanthel\nFileVersion=2.00.0001\nProductVersion=2.00.0001\nInternalName=Zanthel\n"
        L"OriginalFilename=Zanthel.dll\nOLESelfRegister=\n",
        strings);
    for (const wchar_t* makersOwn : {L"CompanyName", L"LegalCopyright"}) {
        const void* text = query(std::wstring(L"\\StringFileInfo\\040904B0\\") + makersOwn);
        EXPECT_TRUE(text && *static_cast<const wchar_t*>(text)) << makersOwn;
    }
}

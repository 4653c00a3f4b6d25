// The embedded type library and the other resources, read the way hosts and
// installers read them.
#include "support/dll_under_test.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace zanthel::test;

namespace {

TYPEATTR Attr(ITypeInfo* info)
{
    TYPEATTR* attr = nullptr;
    EXPECT_EQ(S_OK, info->GetTypeAttr(&attr));
    TYPEATTR copy = *attr;
    info->ReleaseTypeAttr(attr);
    return copy;
}

ComPtr<ITypeInfo> Referenced(ITypeInfo* info, UINT implType)
{
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> referenced;
    EXPECT_EQ(S_OK, info->GetRefTypeOfImplType(implType, &ref));
    EXPECT_EQ(S_OK, info->GetRefTypeInfo(ref, &referenced));
    return referenced;
}

std::vector<std::wstring> Names(ITypeInfo* info, MEMBERID id)
{
    BSTR names[8] = {};
    UINT count = 1;
    if (id == MEMBERID_NIL) {
        EXPECT_EQ(S_OK, info->GetDocumentation(id, names, nullptr, nullptr, nullptr));
    } else {
        EXPECT_EQ(S_OK, info->GetNames(id, names, 8, &count));
    }
    std::vector<std::wstring> result;
    for (UINT i = 0; i < count; ++i) {
        result.emplace_back(names[i], ::SysStringLen(names[i]));
        ::SysFreeString(names[i]);
    }
    return result;
}

}  // namespace

TEST(TypeLibrary, HoldsHiddenDualInterfaceThenCreatableCoclass)
{
    ComPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library));
    TLIBATTR* lib = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&lib));
    EXPECT_EQ(LIBID_Zanthel, lib->guid);
    EXPECT_EQ(0u, lib->lcid);
    EXPECT_EQ(SYS_WIN32, lib->syskind);
    EXPECT_EQ(0x00010000, MAKELONG(lib->wMinorVerNum, lib->wMajorVerNum));
    EXPECT_EQ(0, lib->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);  // the loader adds that one
    library->ReleaseTLibAttr(lib);
    Bstr name, doc;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_EQ(L"Zanthel Zanthel.dll", name.str() + L" " + doc.str());
    ASSERT_EQ(2u, library->GetTypeInfoCount());

    ComPtr<ITypeInfo> dispatch, coclass;
    ASSERT_EQ(S_OK, library->GetTypeInfo(0, &dispatch));
    ASSERT_EQ(S_OK, library->GetTypeInfo(1, &coclass));
    EXPECT_EQ(L"_classTray", Names(dispatch.Get(), MEMBERID_NIL)[0]);
    const TYPEATTR iface = Attr(dispatch.Get());
    EXPECT_EQ(TKIND_DISPATCH, iface.typekind);
    EXPECT_EQ(IID__classTray, iface.guid);
    EXPECT_EQ(0x00010000, MAKELONG(iface.wMinorVerNum, iface.wMajorVerNum));
    // Automation shows oleautomation on the interface view only.
    const WORD flags = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(flags, iface.wTypeFlags);
    EXPECT_EQ(flags | TYPEFLAG_FOLEAUTOMATION, Attr(Referenced(dispatch.Get(), -1).Get()).wTypeFlags);

    EXPECT_EQ(L"classTray", Names(coclass.Get(), MEMBERID_NIL)[0]);
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

TEST(TypeLibrary, VtableHasFifteenMembersAfterIDispatchInOrder)
{
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(S_OK, ::LoadTypeLibEx(DllPath().c_str(), REGKIND_NONE, &library));
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(IID__classTray, &dispatch));
    ComPtr<ITypeInfo> vtable = Referenced(dispatch.Get(), -1);
    const TYPEATTR attr = Attr(vtable.Get());
    EXPECT_EQ(TKIND_INTERFACE, attr.typekind);
    ASSERT_EQ(15, attr.cFuncs);
    EXPECT_EQ(IID_IDispatch, Attr(Referenced(vtable.Get(), 0).Get()).guid);

    const INVOKEKIND get = INVOKE_PROPERTYGET, put = INVOKE_PROPERTYPUT, method = INVOKE_FUNC;
    const struct {
        const wchar_t* name;
        MEMBERID id;
        INVOKEKIND kind;
        const wchar_t* parameter;  // only methods name theirs
    } expected[] = {
        {L"WindowName", 0x68030003, get, nullptr},
        {L"WindowName", 0x68030003, put, nullptr},
        {L"ToolTipName", 0x68030002, get, nullptr},
        {L"ToolTipName", 0x68030002, put, nullptr},
        {L"TrayIcon", 0x68030001, get, nullptr},
        {L"TrayIcon", 0x68030001, put, nullptr},
        {L"mnuEvent", 0x68030000, get, nullptr},
        {L"mnuEvent", 0x68030000, put, nullptr},
        {L"CreateTray", 0x60030004, method, L"Handle"},
        {L"LoadTray", 0x60030005, method, nullptr},
        {L"UnLoadTray", 0x60030006, method, nullptr},
        {L"HideWindow", 0x60030007, method, L"WindowName"},
        {L"ShowWindow", 0x60030008, method, L"WindowName"},
        {L"AppendMenu", 0x60030009, method, L"Caption"},
        {L"DestroyMenu", 0x6003000A, method, nullptr},
    };
    for (int i = 0; i < 15; ++i) {
        SCOPED_TRACE(expected[i].name);
        FUNCDESC* func = nullptr;
        ASSERT_EQ(S_OK, vtable->GetFuncDesc(i, &func));
        EXPECT_EQ(expected[i].id, func->memid);
        EXPECT_EQ(expected[i].kind, func->invkind);
        EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), func->oVft);
        EXPECT_EQ(VT_HRESULT, func->elemdescFunc.tdesc.vt);
        EXPECT_EQ(0, func->wFuncFlags | func->cParamsOpt);
        const bool takesText = expected[i].kind != method || expected[i].parameter;
        ASSERT_EQ(takesText ? 1 : 0, func->cParams);
        if (takesText) {
            const ELEMDESC& param = func->lprgelemdescParam[0];
            EXPECT_EQ(VT_PTR, param.tdesc.vt);
            EXPECT_EQ(VT_BSTR, param.tdesc.lptdesc->vt);
            EXPECT_EQ(expected[i].kind == get ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN | PARAMFLAG_FOUT,
                      param.paramdesc.wParamFlags);
        }
        std::vector<std::wstring> names{expected[i].name};
        if (expected[i].parameter) names.emplace_back(expected[i].parameter);
        // A put shares its get's id, and GetNames answers for the get.
        if (expected[i].kind != put) {
            EXPECT_EQ(names, Names(vtable.Get(), func->memid));
        }
        vtable->ReleaseFuncDesc(func);
    }
}

TEST(Resources, LanguagesAndVersionInformation)
{
    EXPECT_TRUE(::FindResourceExW(Dll(), L"TYPELIB", MAKEINTRESOURCEW(1), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)));
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

TEST(Resources, BuiltInIconHasSixUncompressedImages)
{
#pragma pack(push, 2)
    struct Entry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    HRSRC group = ::FindResourceW(Dll(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_TRUE(group);
    const auto* header = static_cast<const WORD*>(::LockResource(::LoadResource(Dll(), group)));
    ASSERT_EQ(6, header[2]);
    const auto* entries = reinterpret_cast<const Entry*>(header + 3);
    std::set<std::pair<int, int>> images;
    DWORD fileSize = 6 + 6 * 16;  // an icon file's header and directory, then the images
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(entries[i].width, entries[i].height);
        images.emplace(entries[i].width, entries[i].bitCount);
        HRSRC image = ::FindResourceW(Dll(), MAKEINTRESOURCEW(entries[i].id), MAKEINTRESOURCEW(3) /* RT_ICON */);
        EXPECT_EQ(entries[i].bytes, image ? ::SizeofResource(Dll(), image) : 0);
        fileSize += entries[i].bytes;
    }
    EXPECT_EQ((std::set<std::pair<int, int>>{{16, 4}, {32, 4}, {48, 4}, {16, 8}, {32, 8}, {48, 8}}), images);
    EXPECT_EQ(10134u, fileSize);
}

// The second type library, TYPELIB 2, as hosts bind to it: the library, each
// version's dual interface and events' dispinterface, and the coclass that
// joins them.
#include "support/dll_under_test.h"
#include "support/type_reading.h"
#include "component/notify_interface.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace zanthel::test;

namespace {

// Every function as "id [get|put ]Name(flags type name, ...)", in vtable order
// from slot firstSlot on.
std::vector<std::wstring> Signatures(ITypeInfo* info, VARTYPE returns, UINT firstSlot = 0)
{
    const std::map<VARTYPE, std::wstring> types = {{VT_BSTR, L"BSTR"}, {VT_I4, L"long"}, {VT_BOOL, L"VARIANT_BOOL"}};
    std::vector<std::wstring> all;
    for (UINT i = 0; i < Attr(info).cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        EXPECT_EQ(S_OK, info->GetFuncDesc(i, &func));
        EXPECT_EQ(returns, func->elemdescFunc.tdesc.vt);
        EXPECT_TRUE(returns == VT_VOID || func->oVft == static_cast<SHORT>((firstSlot + i) * sizeof(void*)));
        BSTR names[8] = {};
        UINT count = 0;
        EXPECT_EQ(S_OK, info->GetNames(func->memid, names, 8, &count));
        const INVOKEKIND kind = func->invkind;
        std::wstring text = std::to_wstring(func->memid) +
                            (kind == INVOKE_PROPERTYGET   ? L" get "
                             : kind == INVOKE_PROPERTYPUT ? L" put "
                                                          : L" ") +
                            names[0] + L"(";
        for (SHORT p = 0; p < func->cParams; ++p) {
            const TYPEDESC& type = func->lprgelemdescParam[p].tdesc;
            const PARAMDESC& param = func->lprgelemdescParam[p].paramdesc;
            const USHORT flags = param.wParamFlags;
            text += std::wstring(p ? L", " : L"") + (flags & PARAMFLAG_FIN ? L"in " : L"") +
                    (flags & PARAMFLAG_FOUT ? L"out " : L"") + (flags & PARAMFLAG_FRETVAL ? L"retval " : L"") +
                    (type.vt == VT_PTR ? types.at(type.lptdesc->vt) + L"*" : types.at(type.vt));
            // A put's value is unnamed; GetNames answers with its get's names.
            if (kind != INVOKE_PROPERTYPUT && p + 1u < count) text += std::wstring(L" ") + names[p + 1];
            if (flags & PARAMFLAG_FHASDEFAULT) {
                const VARIANT& value = param.pparamdescex->varDefaultValue;
                text += L" = " + (V_VT(&value) == VT_BSTR ? L'"' + std::wstring(V_BSTR(&value)) + L'"'
                                                          : std::to_wstring(V_I4(&value)));
            }
        }
        all.push_back(text + L")");
        for (BSTR name : names) ::SysFreeString(name);
        info->ReleaseFuncDesc(func);
    }
    return all;
}

ComPtr<ITypeLib> NotifyLibrary()
{
    ComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, ::LoadTypeLibEx((DllPath() + L"\\2").c_str(), REGKIND_NONE, &library));
    return library;
}

// A dual interface's own members, which follow those of the one it extends
// from slot firstSlot on.
std::vector<std::wstring> DualMembers(ITypeLib* library, REFIID iid, REFIID extends, UINT firstSlot)
{
    ComPtr<ITypeInfo> dispatch;
    EXPECT_EQ(S_OK, library->GetTypeInfoOfGuid(iid, &dispatch));
    if (!dispatch) return {};
    const WORD dual = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(dual, Attr(dispatch.Get()).wTypeFlags);
    ComPtr<ITypeInfo> vtable = Referenced(dispatch.Get(), -1);
    EXPECT_EQ(dual | TYPEFLAG_FOLEAUTOMATION, Attr(vtable.Get()).wTypeFlags);
    EXPECT_EQ(extends, Attr(Referenced(vtable.Get(), 0).Get()).guid);
    return Signatures(vtable.Get(), VT_HRESULT, firstSlot);
}

// An events' dispinterface's members: a pure dispatch interface.
std::vector<std::wstring> EventMembers(ITypeLib* library, REFIID iid)
{
    ComPtr<ITypeInfo> events;
    EXPECT_EQ(S_OK, library->GetTypeInfoOfGuid(iid, &events));
    if (!events) return {};
    EXPECT_EQ(TKIND_DISPATCH, Attr(events.Get()).typekind);
    EXPECT_EQ(0, Attr(events.Get()).wTypeFlags & TYPEFLAG_FDUAL);
    return Signatures(events.Get(), VT_VOID);
}

}  // namespace

TEST(NotifyTypeLibrary, HoldsTheDualInterfaceTheEventsAndTheCoclassThatJoinsThem)
{
    const ComPtr<ITypeLib> library = NotifyLibrary();
    ASSERT_TRUE(library);
    TLIBATTR* lib = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&lib));
    EXPECT_EQ(LIBID_ZanthelNotify, lib->guid);
    EXPECT_EQ((std::vector<int>{1, 1, 0}), (std::vector<int>{lib->wMajorVerNum, lib->wMinorVerNum, int(lib->lcid)}));
    library->ReleaseTLibAttr(lib);
    Bstr name, doc;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name, &doc, nullptr, nullptr));
    EXPECT_EQ(L"ZanthelNotify: Zanthel notification icon", name.str() + L": " + doc.str());

    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(CLSID_NotifyIcon, &coclass));
    const TYPEATTR cls = Attr(coclass.Get());
    EXPECT_EQ(TKIND_COCLASS, cls.typekind);
    EXPECT_EQ(TYPEFLAG_FCANCREATE, cls.wTypeFlags);
    ASSERT_EQ(4, cls.cImplTypes);
    const std::pair<IID, INT> implemented[] = {{IID_INotifyIcon2, IMPLTYPEFLAG_FDEFAULT},
                                               {IID_INotifyIcon, 0},
                                               {DIID_DNotifyIconEvents2, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE},
                                               {DIID_DNotifyIconEvents, IMPLTYPEFLAG_FSOURCE}};
    for (UINT i = 0; i < 4; ++i) {
        INT flags = 0;
        EXPECT_EQ(S_OK, coclass->GetImplTypeFlags(i, &flags));
        EXPECT_EQ(implemented[i].second, flags);
        EXPECT_EQ(implemented[i].first, Attr(Referenced(coclass.Get(), i).Get()).guid);
    }

    const std::vector<std::wstring> members = {
        L"1 get ToolTip(out retval BSTR*)",
        L"1 put ToolTip(in BSTR)",
        L"2 get Icon(out retval BSTR*)",
        L"2 put Icon(in BSTR)",
        L"3 get Visible(out retval VARIANT_BOOL*)",
        L"3 put Visible(in VARIANT_BOOL)",
        L"4 AddMenuItem(in BSTR caption, out retval long* id)",
        L"5 AddSeparator()",
        L"6 SetMenuItemChecked(in long id, in VARIANT_BOOL checked)",
        L"7 SetMenuItemEnabled(in long id, in VARIANT_BOOL enabled)",
        L"8 ClearMenu()",
        L"9 ShowBalloon(in BSTR title, in BSTR text, in long kind = 1)",
        L"10 get NextEvent(out retval BSTR*)",
        L"11 get LeftClickMenu(out retval VARIANT_BOOL*)",
        L"11 put LeftClickMenu(in VARIANT_BOOL)",
    };
    EXPECT_EQ(members, DualMembers(library.Get(), IID_INotifyIcon, IID_IDispatch, 7));
    const std::vector<std::wstring> raised = {L"1 Click()", L"2 DoubleClick()",
                                              L"3 MenuItemClick(in long id, in BSTR caption)", L"4 BalloonClick()",
                                              L"5 BalloonClosed()"};
    EXPECT_EQ(raised, EventMembers(library.Get(), DIID_DNotifyIconEvents));
}

TEST(NotifyTypeLibrary, Version11ExtendsTheDualInterfaceAndTheEventsKeepingWhatWasThere)
{
    const ComPtr<ITypeLib> library = NotifyLibrary();
    ASSERT_TRUE(library);
    const std::vector<std::wstring> members = {
        L"12 AddSubMenu(in long parent, in BSTR caption, out retval long* id)",
        L"13 AddMenuItemTo(in long parent, in BSTR caption, out retval long* id)",
        L"14 AddSeparatorTo(in long parent)",
        L"15 SetMenuItemCaption(in long id, in BSTR caption)",
        L"16 RemoveMenuItem(in long id)",
        L"17 SetMenuItemRadio(in long id, in long group)",
        L"18 get DefaultMenuItem(out retval long*)",
        L"18 put DefaultMenuItem(in long)",
        L"19 ShowNotification(in BSTR title, in BSTR text, in long kind = 1, in BSTR iconPath = \"\", "
        L"in long options = 0)",
    };
    // After IDispatch's seven slots and INotifyIcon's fifteen.
    EXPECT_EQ(members, DualMembers(library.Get(), IID_INotifyIcon2, IID_INotifyIcon, 22));
    const std::vector<std::wstring> raised = {
        L"1 Click()",        L"2 DoubleClick()",   L"3 MenuItemClick(in long id, in BSTR caption)",
        L"4 BalloonClick()", L"5 BalloonClosed()", L"6 MenuOpening()",
        L"7 RightClick()",   L"8 MiddleClick()",   L"9 BalloonShown()"};
    EXPECT_EQ(raised, EventMembers(library.Get(), DIID_DNotifyIconEvents2));
}

// NotifyIcon as a host meets it: both versions' interfaces, a connection
// point for each version's events, the events a sink gets from the shell's
// callbacks, errors with descriptions, and the icon's end with the object or
// the apartment.
#include "support/dll_under_test.h"
#include "support/errors.h"
#include "support/event_names.h"
#include "support/event_sink.h"
#include "support/host.h"
#include "support/spies.h"
#include "support/type_reading.h"
#include "component/notify_interface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <thread>
#include <vector>

using namespace zanthel::test;
using namespace std::chrono_literals;

namespace {

// Writes down every event it gets and answers with result.
class Sink : public EventSink {
public:
    std::vector<std::wstring> got;
    HRESULT result = S_OK;
    bool clearsArguments = false;
    std::function<void()> handler;

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO* exception, UINT*) override
    {
        std::wstring event = std::wstring(EventNameOf(id)) + (flags == DISPATCH_METHOD ? L"" : L"?");
        const VARIANT* args = params->rgvarg;
        if (params->cArgs == 2 && V_VT(&args[1]) == VT_I4 && V_VT(&args[0]) == VT_BSTR)
            event += L"(" + std::to_wstring(V_I4(&args[1])) + L"," + V_BSTR(&args[0]) + L")";
        else if (params->cArgs)
            event += L"(?)";
        got.push_back(event);
        for (UINT index = 0; clearsArguments && index < params->cArgs; ++index) ::VariantClear(&params->rgvarg[index]);
        if (handler) handler();
        if (FAILED(result)) exception->bstrDescription = ::SysAllocString(L"the sink's own failure");
        return result;
    }
};

// Answers IDispatch but not the events' interface, as script sinks do, and
// counts its references. A query it refuses still leaves it in the out
// parameter, as some sinks do.
class DispatchOnlySink final : public Sink {
public:
    bool answersDispatch = true;
    LONG references = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        *object = static_cast<IDispatch*>(this);
        if (riid != IID_IUnknown && (riid != IID_IDispatch || !answersDispatch)) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

// The shell's callbacks in version 4's form, each group one user action.
void Callbacks(HWND window, std::initializer_list<UINT> events)
{
    for (UINT event : events) ::SendMessageW(window, WM_APP + 1, MAKEWPARAM(20, 740), MAKELPARAM(event, 1));
    PumpMessages(50ms);
}

class Notify : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(icon_ = NewNotifyIcon());
        ASSERT_EQ(S_OK, icon_->put_Visible(VARIANT_TRUE));
        window_ = ::FindWindowExW(nullptr, nullptr, L"ZanthelNotifyWindow", nullptr);
        ASSERT_EQ(::GetCurrentThreadId(), ::GetWindowThreadProcessId(window_, nullptr));
        ASSERT_EQ(S_OK, icon_.As(&container_));
        ASSERT_EQ(S_OK, container_->FindConnectionPoint(DIID_DNotifyIconEvents, &point_));
        ASSERT_EQ(S_OK, container_->FindConnectionPoint(DIID_DNotifyIconEvents2, &point2_));
    }

    ComApartment apartment_;
    ComPtr<INotifyIcon> icon_;
    ComPtr<IConnectionPointContainer> container_;
    // DNotifyIconEvents' point, which 1.0 hosts know, and DNotifyIconEvents2's.
    ComPtr<IConnectionPoint> point_, point2_;
    HWND window_ = nullptr;
};

}  // namespace

TEST_F(Notify, AConnectionPointForEachVersionsEventsWithDistinctCookiesAndItsClassInfo)
{
    ComPtr<IConnectionPointContainer> back;
    ComPtr<IConnectionPoint> other;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, container_->FindConnectionPoint(IID_IDispatch, &other));
    EXPECT_NE(point_.Get(), point2_.Get());
    ComPtr<IEnumConnectionPoints> points, clone;
    ASSERT_EQ(S_OK, container_->EnumConnectionPoints(&points));
    IConnectionPoint* listed[3] = {};
    ULONG count = 0;
    EXPECT_EQ(S_FALSE, points->Next(3, listed, &count));
    ASSERT_EQ(2u, count);
    EXPECT_EQ((std::set<IConnectionPoint*>{point_.Get(), point2_.Get()}), std::set(listed, listed + 2));
    for (ULONG i = 0; i < count; ++i) listed[i]->Release();
    EXPECT_EQ(S_FALSE, points->Skip(1));
    EXPECT_EQ(S_OK, points->Reset());
    EXPECT_EQ(S_OK, points->Clone(&clone));
    EXPECT_EQ(S_OK, clone->Skip(2));
    EXPECT_EQ(S_FALSE, clone->Skip(1));
    for (const auto& [point, events] :
         {std::pair{point_, DIID_DNotifyIconEvents}, {point2_, DIID_DNotifyIconEvents2}}) {
        IID iid{};
        EXPECT_EQ(S_OK, point->GetConnectionInterface(&iid));
        EXPECT_EQ(events, iid);
        EXPECT_EQ(S_OK, point->GetConnectionPointContainer(&back));
        EXPECT_EQ(container_.Get(), back.Get());
    }

    Sink first, second;
    DWORD cookies[3] = {};
    // The point answers neither the events' interface nor IDispatch.
    EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point_->Advise(point_.Get(), &cookies[0]));
    for (DWORD& cookie : cookies) ASSERT_EQ(S_OK, point_->Advise(&first, &cookie));
    EXPECT_EQ(S_OK, point_->Unadvise(cookies[1]));
    ASSERT_EQ(S_OK, point_->Advise(&second, &cookies[1]));
    const std::set<DWORD> distinct(std::begin(cookies), std::end(cookies));
    EXPECT_TRUE(distinct.size() == 3 && !distinct.count(0));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point_->Unadvise(0));
    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(S_OK, point_->EnumConnections(&connections));
    std::set<std::pair<DWORD, IUnknown*>> advised;
    for (CONNECTDATA data{}; connections->Next(1, &data, nullptr) == S_OK; data.pUnk->Release())
        advised.emplace(data.dwCookie, data.pUnk);
    EXPECT_EQ((decltype(advised){{cookies[0], &first}, {cookies[1], &second}, {cookies[2], &first}}), advised);
    for (DWORD cookie : cookies) EXPECT_EQ(S_OK, point_->Unadvise(cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, point_->Unadvise(cookies[0]));

    ComPtr<IProvideClassInfo2> classInfo;
    ComPtr<IProvideClassInfo> plain;
    ComPtr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(S_OK, icon_.As(&classInfo));
    EXPECT_EQ(S_OK, icon_.As(&plain));
    ASSERT_EQ(S_OK, classInfo->GetClassInfo(&info));
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attr));
    EXPECT_EQ(CLSID_NotifyIcon, attr->guid);
    info->ReleaseTypeAttr(attr);
    GUID guid{};
    EXPECT_EQ(S_OK, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid));
    EXPECT_EQ(DIID_DNotifyIconEvents2, guid);
    EXPECT_EQ(E_INVALIDARG, classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &guid));
}

TEST_F(Notify, SinksGetEveryEventFromTheShellsCallbacksAndAFailingOneStopsNoOther)
{
    Sink failing, sink;
    failing.result = DISP_E_EXCEPTION;
    failing.clearsArguments = true;
    DWORD cookies[2] = {};
    ASSERT_EQ(S_OK, point_->Advise(&failing, &cookies[0]));
    ASSERT_EQ(S_OK, point_->Advise(&sink, &cookies[1]));
    LONG open = 0, exit = 0;
    ASSERT_EQ(S_OK, icon_->AddMenuItem(Bstr(L"Open").get(), &open));
    ASSERT_EQ(S_OK, icon_->AddMenuItem(Bstr(L"Exit").get(), &exit));

    Callbacks(window_, {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT});
    PumpMessages(700ms);  // longer than the double-click time
    Callbacks(window_, {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT});
    RunSoon(300ms, [] {
        for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) ::PostMessageW(OpenPopupMenuWindow(), WM_KEYDOWN, key, 0);
    });
    RunSoon(3000ms, [] { ::EndMenu(); });  // nothing may hang in the popup's loop
    Callbacks(window_, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU});
    Callbacks(window_, {NIN_BALLOONUSERCLICK, NIN_BALLOONTIMEOUT});

    const std::vector<std::wstring> expected = {L"Click",        L"Click",
                                                L"DoubleClick",  L"MenuItemClick(" + std::to_wstring(exit) + L",Exit)",
                                                L"BalloonClick", L"BalloonClosed"};
    EXPECT_EQ(expected, sink.got);
    EXPECT_EQ(expected, failing.got);
    for (DWORD cookie : cookies) EXPECT_EQ(S_OK, point_->Unadvise(cookie));
}

TEST_F(Notify, ASinkThatAnswersOnlyIDispatchGetsEventsOnEitherPointAndARefusedQueryCostsNoReference)
{
    for (IConnectionPoint* point : {point_.Get(), point2_.Get()}) {
        for (bool answersDispatch : {true, false}) {
            DispatchOnlySink sink;
            sink.answersDispatch = answersDispatch;
            DWORD cookie = 0;
            EXPECT_EQ(answersDispatch ? S_OK : CONNECT_E_CANNOTCONNECT, point->Advise(&sink, &cookie));
            Callbacks(window_, {NIN_BALLOONUSERCLICK});
            EXPECT_EQ(answersDispatch ? 1u : 0u, sink.got.size());
            EXPECT_EQ(answersDispatch ? S_OK : CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
            EXPECT_EQ(0, sink.references) << answersDispatch;
        }
    }
}

TEST_F(Notify, A10SinkHearsTheEventsOf10AndA11SinkEveryEventBesideIt)
{
    Sink sink10, sink11;
    DWORD cookies[2] = {};
    ASSERT_EQ(S_OK, point_->Advise(&sink10, &cookies[0]));
    ASSERT_EQ(S_OK, point2_->Advise(&sink11, &cookies[1]));
    Callbacks(window_, {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT});
    Callbacks(window_, {WM_MBUTTONDOWN, WM_MBUTTONUP});
    Callbacks(window_, {NIN_BALLOONSHOW});
    Callbacks(window_, {NIN_BALLOONUSERCLICK});
    EXPECT_EQ((std::vector<std::wstring>{L"Click", L"BalloonClick"}), sink10.got);
    EXPECT_EQ((std::vector<std::wstring>{L"Click", L"MiddleClick", L"BalloonShown", L"BalloonClick"}), sink11.got);
    EXPECT_EQ(S_OK, point_->Unadvise(cookies[0]));
    EXPECT_EQ(S_OK, point2_->Unadvise(cookies[1]));
}

TEST_F(Notify, BothVersionsInterfacesAreOneObjectWhoseIDispatchReachesEveryMember)
{
    ComPtr<INotifyIcon2> icon2;
    ComPtr<INotifyIcon> icon;
    ComPtr<IUnknown> identity, identity2;
    ASSERT_EQ(S_OK, icon_.As(&icon2));
    ASSERT_EQ(S_OK, icon2.As(&icon));
    ASSERT_EQ(S_OK, icon.As(&identity));
    ASSERT_EQ(S_OK, icon2.As(&identity2));
    EXPECT_EQ(identity.Get(), identity2.Get());
    // The 1.0 part of the virtual table reaches the same icon.
    ASSERT_EQ(S_OK, icon->put_ToolTip(Bstr(L"tip").get()));
    Bstr tip;
    ASSERT_EQ(S_OK, icon2->get_ToolTip(&tip));
    EXPECT_EQ(L"tip", tip.str());
    // The header's defaults hand a plain L"" for iconPath, whose length prefix is whatever lies before it.
    static const wchar_t plainEmpty[] = {L'\xffff', L'\x7fff', L'\0'};
    EXPECT_EQ(S_OK, icon2->ShowNotification(Bstr(L"t").get(), Bstr(L"x").get()));
    EXPECT_EQ(S_OK, icon2->ShowNotification(Bstr(L"t").get(), Bstr(L"x").get(), 1, const_cast<BSTR>(plainEmpty + 2)));
    ComPtr<ISupportErrorInfo> supports;
    ASSERT_EQ(S_OK, icon_.As(&supports));
    EXPECT_EQ(S_OK, supports->InterfaceSupportsErrorInfo(IID_INotifyIcon2));

    ComPtr<IDispatch> dispatch;
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, icon_.As(&dispatch));
    ASSERT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, &info));
    EXPECT_EQ(IID_INotifyIcon2, Attr(info.Get()).guid);
    const wchar_t* names[] = {L"ToolTip",         L"LeftClickMenu",      L"AddSubMenu",     L"AddMenuItemTo",
                              L"AddSeparatorTo",  L"SetMenuItemCaption", L"RemoveMenuItem", L"SetMenuItemRadio",
                              L"DefaultMenuItem", L"ShowNotification"};
    std::vector<DISPID> ids;
    for (const wchar_t* name : names) {
        DISPID found = DISPID_UNKNOWN;
        EXPECT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, 0, &found)) << name;
        ids.push_back(found);
    }
    // Calls through it: the late-bound script.
    EXPECT_EQ((std::vector<DISPID>{1, 11, 12, 13, 14, 15, 16, 17, 18, 19}), ids);
}

TEST_F(Notify, ASinkUnadvisedByAnEarlierHandlerIsNotCalledForThatEvent)
{
    Sink sinks[6];  // more than a raise holds without the heap
    DWORD cookies[6] = {};
    for (int i = 0; i < 6; ++i) ASSERT_EQ(S_OK, point_->Advise(&sinks[i], &cookies[i]));
    sinks[0].handler = [&] { point_->Unadvise(cookies[5]); };
    Callbacks(window_, {NIN_BALLOONUSERCLICK});
    for (int i = 0; i < 5; ++i) EXPECT_EQ(std::vector<std::wstring>{L"BalloonClick"}, sinks[i].got) << i;
    EXPECT_EQ(std::vector<std::wstring>{}, sinks[5].got);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(S_OK, point_->Unadvise(cookies[i]));
}

TEST_F(Notify, EveryCaptionMemberRefusesAnEmptyCaptionOrOneHoldingANulAndAddsNothing)
{
    LONG before = 0, after = 0;
    ASSERT_EQ(S_OK, icon_->AddMenuItem(Bstr(L"Open").get(), &before));
    ComPtr<INotifyIcon2> icon;
    ASSERT_EQ(S_OK, icon_.As(&icon));
    using Member = std::function<HRESULT(BSTR, LONG*)>;
    const Member members[] = {
        [&](BSTR caption, LONG* id) { return icon->AddMenuItem(caption, id); },
        [&](BSTR caption, LONG* id) { return icon->AddMenuItemTo(0, caption, id); },
        [&](BSTR caption, LONG* id) { return icon->AddSubMenu(0, caption, id); },
        [&](BSTR caption, LONG* id) { return *id = 0, icon->SetMenuItemCaption(before, caption); },
    };
    for (const Bstr& caption : {Bstr(L""), Bstr(std::wstring(L"Visible\0Hidden", 14))}) {
        for (const Member& member : members) {
            LONG refused = -1;
            EXPECT_EQ(E_INVALIDARG, member(caption.get(), &refused));
            EXPECT_EQ(0, refused);
            const std::wstring description = ErrorDescription();
            EXPECT_NE(std::wstring::npos, description.find(caption.str().empty() ? L"caption" : L"NUL")) << description;
        }
    }
    // Identifiers are handed out in turn: the refused captions took none.
    ASSERT_EQ(S_OK, icon_->AddMenuItem(Bstr(L"Exit").get(), &after));
    EXPECT_EQ(before + 1, after);
}

// Whichever point's sink hears the event first lets go: the other point's
// sink still hears it from the living object.
TEST_F(Notify, AHandlerMayReleaseTheLastReferenceAndTheIconGoesWithIt)
{
    Sink sink, sink11;
    DWORD cookies[2] = {};
    ASSERT_EQ(S_OK, point_->Advise(&sink, &cookies[0]));
    ASSERT_EQ(S_OK, point2_->Advise(&sink11, &cookies[1]));
    sink.handler = sink11.handler = [&] { icon_.Reset(), container_.Reset(), point_.Reset(), point2_.Reset(); };
    ShellRecorderW shell(Dll());
    Callbacks(window_, {NIN_BALLOONUSERCLICK, NIN_BALLOONTIMEOUT});
    EXPECT_EQ(std::vector<std::wstring>{L"BalloonClick"}, sink.got);
    EXPECT_EQ(std::vector<std::wstring>{L"BalloonClick"}, sink11.got);
    EXPECT_EQ(std::vector<DWORD>{NIM_DELETE}, shell.Messages());
    EXPECT_FALSE(::IsWindow(window_));
}

TEST_F(Notify, FailuresCarryADescriptionEarlyAndLateBound)
{
    LONG id = -1;
    EXPECT_EQ(E_POINTER, icon_->AddMenuItem(Bstr(L"Open").get(), nullptr));
    EXPECT_EQ(E_INVALIDARG, icon_->AddMenuItem(nullptr, &id));
    EXPECT_EQ(0, id);
    ComPtr<ISupportErrorInfo> supports;
    ASSERT_EQ(S_OK, icon_.As(&supports));
    EXPECT_EQ(S_OK, supports->InterfaceSupportsErrorInfo(IID_INotifyIcon));
    const std::wstring early = ErrorDescription();
    EXPECT_NE(std::wstring::npos, early.find(L"caption")) << early;

    auto lateBound = [&](DISPID member, std::vector<VARIANT> args) {
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        EXCEPINFO exception{};
        VARIANT result{};
        EXPECT_EQ(DISP_E_EXCEPTION,
                  icon_->Invoke(member, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &exception, nullptr));
        EXPECT_EQ(E_INVALIDARG, exception.scode);
        const std::wstring description = exception.bstrDescription ? exception.bstrDescription : L"";
        for (BSTR text : {exception.bstrSource, exception.bstrDescription, exception.bstrHelpFile})
            ::SysFreeString(text);
        return description;
    };
    VARIANT empty{}, checked{}, noSuchItem{};
    V_VT(&empty) = VT_BSTR, V_VT(&checked) = VT_BOOL, V_BOOL(&checked) = VARIANT_TRUE;
    V_VT(&noSuchItem) = VT_I4, V_I4(&noSuchItem) = 77;
    EXPECT_EQ(early, lateBound(4, {empty}));
    const std::wstring unknown = lateBound(6, {checked, noSuchItem});
    EXPECT_NE(std::wstring::npos, unknown.find(L"77")) << unknown;
}

TEST(NotifyEnd, TheFinalReleaseAndTheApartmentsEndRemoveTheIcon)
{
    for (bool released : {true, false}) {
        ShellRecorderW shell(Dll());
        auto deletes = [&] {
            const std::vector<DWORD> told = shell.Messages();
            return std::count(told.begin(), told.end(), NIM_DELETE);
        };
        std::thread([&] {
            ComPtr<INotifyIcon> icon;  // outlives the apartment unless released
            {
                ComApartment apartment;
                icon = NewNotifyIcon();
                EXPECT_EQ(S_OK, icon->put_Visible(VARIANT_TRUE));
                if (released) icon.Reset();
                EXPECT_EQ(released ? 1 : 0, deletes()) << released;
            }
            EXPECT_EQ(1, deletes()) << released;
        }).join();
        EXPECT_EQ(1, deletes()) << "released after the apartment's end: " << !released;
    }
}

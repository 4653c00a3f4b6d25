// Hosts that do not tidy up, run elevated, or listen from another apartment:
// the icons still leave, nothing stays behind, and every event arrives.
#include "support/dll_under_test.h"
#include "support/event_names.h"
#include "support/event_sink.h"
#include "support/host.h"
#include "support/spies.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

using namespace zanthel::test;
using namespace std::chrono_literals;

namespace {

// Both classes' icons shown on this thread, never released.
void ShowBothClassesAndKeepThem(INotifyIcon** keptIcon = nullptr, _classTray** keptTray = nullptr)
{
    ComPtr<INotifyIcon> icon = NewNotifyIcon();
    LONG id = 0;
    icon->AddMenuItem(Bstr(L"Open").get(), &id);
    ASSERT_EQ(S_OK, icon->put_Visible(VARIANT_TRUE));
    ComPtr<_classTray> tray = NewTray();
    ASSERT_EQ(S_OK, tray->LoadTray());
    if (keptIcon) *keptIcon = icon.Get();
    if (keptTray) *keptTray = tray.Get();
    icon.Detach();
    tray.Detach();
}

constexpr const wchar_t* kExitReport = L"ZANTHEL_EXIT_REPORT";

// While the process exits, the shell's last notices to the icons' windows
// (a click the pointer left behind, say) must reach neither object: what
// each then reports of events goes to the report.
INotifyIcon* exitingIcon;
_classTray* exitingTray;
// A plain handle: the program's own destructors have run by then.
HANDLE exitReport;
void ReportHeard()
{
    DWORD written = 0;
    ::WriteFile(exitReport, "heard\n", 6, &written, nullptr);
}
BOOL WINAPI NoticeWhileDeleting(DWORD message, PNOTIFYICONDATAW data)
{
    const BOOL answer = ShellRecorderW::RealShell(message, data);
    if (message != NIM_DELETE) return answer;
    ::SendMessageW(data->hWnd, WM_APP + 1, 0, MAKELPARAM(NIN_SELECT, 1));
    SendTrayCallback(data->hWnd, WM_LBUTTONDOWN);
    BSTR event = nullptr;
    if (exitingIcon->get_NextEvent(&event) == S_OK && ::SysStringLen(event)) ReportHeard();
    ::SysFreeString(event);
    if (exitingTray->get_mnuEvent(&event) == S_OK && ::SysStringLen(event)) ReportHeard();
    ::SysFreeString(event);
    return answer;
}

}  // namespace

// Run by the next test, in a process of its own, which it ends with exit().
TEST(HostExit, ChildShowsBothIconsAndExits)
{
    wchar_t report[MAX_PATH] = {};
    if (!::GetEnvironmentVariableW(kExitReport, report, MAX_PATH)) GTEST_SKIP() << "run by the test below";
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ShellRecorderW wide(Dll());
        ShellRecorderA narrow(Dll());
        ShowBothClassesAndKeepThem(&exitingIcon, &exitingTray);
        std::ofstream out(report);
        auto write = [&](DWORD message, HWND window, UINT id) {
            if (message == NIM_ADD) out << reinterpret_cast<INT_PTR>(window) << ' ' << id << '\n';
        };
        for (const auto& [message, record] : wide.calls) write(message, record.hWnd, record.uID);
        for (const auto& [message, record] : narrow.calls) write(message, record.hWnd, record.uID);
    }
    exitReport = ::CreateFileW(report, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    // Never restored: std::exit leaves it in place while the process ends.
    ImportSpy<decltype(::Shell_NotifyIconW)> notice(Dll(), L"shell32.dll", "Shell_NotifyIconW", &NoticeWhileDeleting);
    std::exit(0);
}

TEST(HostExit, IconsLeaveWithAProcessThatExitsWithoutReleasingThem)
{
    TempFile report(L"zanthel_exit_report.txt", "");
    wchar_t program[MAX_PATH];
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter=HostExit.ChildShowsBothIconsAndExits";
    ::SetEnvironmentVariableW(kExitReport, report.path().c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    ASSERT_TRUE(
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
    ::SetEnvironmentVariableW(kExitReport, nullptr);
    if (::WaitForSingleObject(child.hProcess, 30000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the child did not exit";
        ::TerminateProcess(child.hProcess, 1);
    }
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);

    std::ifstream in(report.path().c_str());
    std::vector<std::pair<HWND, UINT>> shown;
    for (long long window = 0, id = 0; in >> window >> id;)
        shown.push_back({reinterpret_cast<HWND>(static_cast<INT_PTR>(window)), UINT(id)});
    ASSERT_EQ(2u, shown.size()) << "one icon of each class";
    in.clear();
    std::string heard;
    EXPECT_FALSE(in >> heard) << "an object heard the shell while the process exited";
    for (const auto& [window, id] : shown) {
        NOTIFYICONDATAW record{};
        record.cbSize = sizeof(record);
        record.hWnd = window;
        record.uID = id;
        EXPECT_FALSE(ShellRecorderW::RealShell(NIM_DELETE, &record)) << "the icon outlived its process";
    }
}

// Threads that end with neither Release nor CoUninitialize, as pool threads
// of some hosts do.
TEST(HostThreads, ThreadsThatEndWithoutReleasingLeaveNoHandleBehind)
{
    const auto endWithoutTidyingUp = [] {
        std::thread([] {
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            ShowBothClassesAndKeepThem();
        }).join();
    };
    endWithoutTidyingUp();  // what stays for good: the window classes, the type information
    const Census before = TakeCensus();
    for (int thread = 0; thread < 20; ++thread) endWithoutTidyingUp();
    const Census after = TakeCensus();
    EXPECT_EQ(before.menus, after.menus);
    EXPECT_EQ(before.icons, after.icons);
    EXPECT_EQ(before.gdiObjects, after.gdiObjects);
}

// An elevated host's icon windows hear the shell's restart only if they let it through.
TEST(HostElevated, BothClassesLetTheShellsRestartThrough)
{
    static std::vector<HWND> allowed;
    ImportSpy<decltype(::ChangeWindowMessageFilterEx)> spy(
        Dll(), L"user32.dll", "ChangeWindowMessageFilterEx",
        [](HWND window, UINT message, DWORD action, PCHANGEFILTERSTRUCT) WINAPI -> BOOL {
            if (message == ::RegisterWindowMessageW(L"TaskbarCreated") && action == MSGFLT_ALLOW)
                allowed.push_back(window);
            return TRUE;
        });
    std::thread([] {
        ComApartment apartment;
        ComPtr<INotifyIcon> icon = NewNotifyIcon();
        ComPtr<_classTray> tray = NewTray();
        ASSERT_EQ(S_OK, tray->LoadTray());
        EXPECT_EQ(2u, allowed.size());
        EXPECT_EQ(HostWindowOfThisThread(), allowed.empty() ? nullptr : allowed.back());
        tray->UnLoadTray();
    }).join();
}

namespace {

// A sink of a multithreaded apartment, as a Python or .NET worker thread
// gives: the events reach it through COM's marshalling.
class ThreadedSink final : public EventSink {
public:
    std::mutex lock;
    std::vector<std::wstring> got;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        ::Sleep(2);  // slow enough for the next callbacks to come while it is called
        std::lock_guard<std::mutex> hold(lock);
        got.push_back(EventNameOf(id));
        return S_OK;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> hold(lock);
        return got.size();
    }
};

// Stands in front of the proxy as Windows' COM does: a call to another
// apartment from inside a message another thread sent is refused (Wine's COM
// lets it through).
class RefusingInSentMessages final : public EventSink {
public:
    explicit RefusingInSentMessages(IDispatch* proxy) : proxy_(proxy) {}
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override
    {
        if (::InSendMessageEx(nullptr) != ISMEX_NOSEND) return RPC_E_CANTCALLOUT_ININPUTSYNCCALL;
        return proxy_->Invoke(id, iid, locale, flags, params, result, exception, argumentError);
    }

private:
    IDispatch* proxy_;
};

}  // namespace

TEST(HostApartments, ASinkInAnotherApartmentHearsAFloodOfCallbacksInOrder)
{
    ComApartment apartment;
    ThreadedSink sink;
    // The sink's apartment lives until the proxy and the icon have gone, however the test ends.
    struct MultithreadedApartment {
        HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread thread;
        ~MultithreadedApartment()
        {
            ::SetEvent(done);
            if (thread.joinable()) thread.join();
            ::CloseHandle(done);
        }
    } multithreaded;
    ComPtr<IDispatch> proxy;
    IStream* stream = nullptr;
    std::atomic<bool> marshalled{false};
    multithreaded.thread = std::thread([&] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ::CoMarshalInterThreadInterfaceInStream(IID_IDispatch, &sink, &stream);
        marshalled = true;
        ::WaitForSingleObject(multithreaded.done, INFINITE);
        ::CoUninitialize();
    });
    ASSERT_TRUE(PumpUntil([&] { return marshalled.load(); }));
    ASSERT_EQ(S_OK, ::CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&proxy)));

    ComPtr<INotifyIcon> icon = NewNotifyIcon();
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, icon.As(&container));
    ASSERT_EQ(S_OK, container->FindConnectionPoint(DIID_DNotifyIconEvents, &point));
    RefusingInSentMessages boundary(proxy.Get());
    ASSERT_EQ(S_OK, point->Advise(&boundary, &cookie));
    const HWND window = ::FindWindowExW(nullptr, nullptr, L"ZanthelNotifyWindow", nullptr);

    // As the shell sends them: from another thread, waiting for each.
    constexpr int kCallbacks = 300;
    std::thread shell([&] {
        for (int i = 0; i < kCallbacks; ++i)
            if (!SendCallbackFromAnotherThread(window, i % 2 ? NIN_BALLOONUSERCLICK : NIN_SELECT)) break;
    });
    PumpUntil([&] { return sink.Count() >= kCallbacks; }, 20s);
    shell.join();
    PumpMessages(50ms);
    std::vector<std::wstring> expected;
    for (int i = 0; i < kCallbacks; ++i) expected.push_back(i % 2 ? L"BalloonClick" : L"Click");
    EXPECT_EQ(expected, sink.got);
    point->Unadvise(cookie);
}

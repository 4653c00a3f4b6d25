// TrayIcon names a file: read from the file system as the file functions
// resolve its name, and checked before any picture loader sees it.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "support/fresh_apartment.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

using namespace zanthel::test;

namespace {

const auto realNotify = &::Shell_NotifyIconA;
HICON lastAdded;

BOOL WINAPI RecordAdd(DWORD message, PNOTIFYICONDATAA data)
{
    if (message == NIM_ADD) lastAdded = data->hIcon;
    return realNotify(message, data);
}

// The icon LoadTray shows once TrayIcon is path.
HICON ShownFor(_classTray* tray, const std::wstring& path)
{
    ReplaceImport(reinterpret_cast<const void*>(realNotify), reinterpret_cast<const void*>(&RecordAdd));
    Call(tray, &_classTray::put_TrayIcon, path);
    EXPECT_EQ(S_OK, tray->LoadTray());
    EXPECT_EQ(S_OK, tray->UnLoadTray());
    ReplaceImport(reinterpret_cast<const void*>(&RecordAdd), reinterpret_cast<const void*>(realNotify));
    return lastAdded;
}

// Sets TrayIcon to a URL on a local server that drops each connection it
// accepts, so a client is not left waiting; returns how many it accepted.
int ConnectionsForAUrl(_classTray* tray)
{
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
    const SOCKET server = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(server, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(server, 4);
    ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
    std::atomic<int> connections{0};
    std::thread accepting([&] {
        for (SOCKET client; (client = ::accept(server, nullptr, nullptr)) != INVALID_SOCKET; ++connections)
            ::closesocket(client);
    });
    Call(tray, &_classTray::put_TrayIcon,
         L"http://127.0.0.1:" + std::to_wstring(::ntohs(address.sin_port)) + L"/a.ico");
    ::closesocket(server);  // ends the accept
    accepting.join();
    ::WSACleanup();
    return connections;
}

}  // namespace

TEST(TrayIcon, NamesAFileResolvedAsTheFileFunctionsDoAndIsNeverFetched)
{
    OnFreshApartment([] {
        TempFile icon(L"zanthel_named_icon.ico", IconFileBytes());
        auto tray = NewTray();
        EXPECT_EQ(0, ConnectionsForAUrl(tray.Get()));
        const HICON builtIn = ShownFor(tray.Get(), L"");
        wchar_t before[MAX_PATH];
        ::GetCurrentDirectoryW(MAX_PATH, before);
        ::SetCurrentDirectoryW(icon.path().substr(0, icon.path().rfind(L'\\')).c_str());
        for (const std::wstring& path : {std::wstring(L"zanthel_named_icon.ico"),
                                         std::wstring(L".\\zanthel_named_icon.ico"), L"\\\\?\\" + icon.path()})
            EXPECT_NE(builtIn, ShownFor(tray.Get(), path)) << path;
        ::SetCurrentDirectoryW(before);
    });
}

// Each of these crashed the system's icon loader or made it read outside the
// file: it trusts the header's count and each image's offset and size.
TEST(TrayIcon, MalformedIconFilesGiveTheBuiltInIconAndTheHostLives)
{
    const std::string valid = IconFileBytes();  // 6-byte header, one 16-byte entry, the image at 22
    auto with = [&](size_t at, const std::string& bytes) {
        return valid.substr(0, at) + bytes + valid.substr(at + bytes.size());
    };
    const std::string malformed[] = {
        std::string("\0\0\1\0\xff\xff", 6) + std::string(16, '\0'),  // 65,535 images claimed in 22 bytes
        with(4, std::string("\2\0", 2)),                             // a directory longer than the file
        with(4, std::string("\0\0", 2)),                             // no images
        valid.substr(0, valid.size() - 1),                           // the image runs past the end
        with(14, std::string("\x20\0\0\0\xf0\xff\xff\xff", 8)),      // offset + size wraps to inside the file
        with(26, std::string("\x10\0\0\x10", 4)),                    // a width whose colour bits wrap to 1 KB
    };
    OnFreshApartment([&] {
        auto tray = NewTray();
        const HICON builtIn = ShownFor(tray.Get(), L"");
        for (const std::string& bytes : malformed) {
            TempFile file(L"zanthel_malformed.ico", bytes);
            EXPECT_EQ(builtIn, ShownFor(tray.Get(), file.path())) << &bytes - malformed;
        }
    });
}

// TrayIcon names a file: read from the file system as the file functions
// resolve its name, and checked before any picture loader sees it.
#include "support/dll_under_test.h"
#include "support/host.h"
#include "support/fresh_apartment.h"
#include "support/errors.h"
#include "support/spies.h"
#include "component/notify_interface.h"
#include "common/icon_file.h"
#include "common/icon_resource.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace zanthel::test;

namespace {

// The icon of the shell's last add, or null.
template <typename Record>
HICON AddedIcon(const ShellRecorder<Record>& shell)
{
    HICON added = nullptr;
    for (const auto& [message, record] : shell.calls)
        if (message == NIM_ADD) added = record.hIcon;
    return added;
}

// The icon LoadTray shows once TrayIcon is path.
HICON ShownFor(_classTray* tray, const std::wstring& path)
{
    ShellRecorderA shell(Dll());
    Call(tray, &_classTray::put_TrayIcon, path);
    EXPECT_EQ(S_OK, tray->LoadTray());
    EXPECT_EQ(S_OK, tray->UnLoadTray());
    return AddedIcon(shell);
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

void Put(std::string& out, DWORD value, int bytes, bool bigEndian = false)
{
    for (int i = 0; i < bytes; ++i) out += char(value >> 8 * (bigEndian ? bytes - 1 - i : i));
}

// An .ico file of these 16 x 16 images, the directory's bit counts left 0 as
// many files have them.
std::string IconFileOf(const std::vector<std::string>& images)
{
    std::string out, data;
    for (DWORD field : {0, 1, int(images.size())}) Put(out, field, 2);
    for (const std::string& image : images) {
        out.append({16, 16, 0, 0, 1, 0, 0, 0});
        Put(out, DWORD(image.size()), 4);
        Put(out, DWORD(6 + 16 * images.size() + data.size()), 4);
        data += image;
    }
    return out + data;
}

// A 16 x 16 icon DIB at 4 or 32 bits, every pixel colour (0xRRGGBB), all opaque.
std::string IconDib(int bits, DWORD colour)
{
    std::string out;
    for (DWORD field : {40, 16, 32}) Put(out, field, 4);
    Put(out, 1, 2);
    Put(out, bits, 2);
    out.append(24, '\0');
    if (bits == 4) {
        Put(out, colour, 4);  // the palette's first entry, which every pixel takes
        out.append(15 * 4 + 16 * 8, '\0');
    } else {
        for (int i = 0; i < 16 * 16; ++i) Put(out, 0xff000000 | colour, 4);
    }
    return out + std::string(16 * 4, '\0');
}

std::string PngChunk(const char* type, const std::string& data)
{
    const std::string typed = type + data;
    DWORD crc = ~0u;
    for (unsigned char byte : typed) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xedb88320 & -(crc & 1));
    }
    std::string out;
    Put(out, DWORD(data.size()), 4, true);
    out += typed;
    Put(out, ~crc, 4, true);
    return out;
}

// A PNG of 16 x 16 opaque pixels whose header claims width x height.
std::string Png(DWORD width, DWORD height)
{
    std::string header, rows;
    Put(header, width, 4, true);
    Put(header, height, 4, true);
    header.append("\x08\x06\0\0\0", 5);                                       // 8-bit RGBA
    for (int y = 0; y < 16; ++y) rows += '\0' + std::string(16 * 4, '\xff');  // no filter, white
    DWORD low = 1, high = 0;
    for (unsigned char byte : rows) low = (low + byte) % 65521, high = (high + low) % 65521;
    std::string zlib = "\x78\x01\x01";  // one stored block
    Put(zlib, DWORD(rows.size()), 2);
    Put(zlib, DWORD(~rows.size()), 2);
    zlib += rows;
    Put(zlib, high << 16 | low, 4, true);
    return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", header) + PngChunk("IDAT", zlib) + PngChunk("IEND", "");
}

// The loader every icon file's images go to, in the DLL.
const auto realCreateIcon =
    SystemFunction<decltype(::CreateIconFromResourceEx)>(L"user32.dll", "CreateIconFromResourceEx");
int iconLoads;

HICON WINAPI CountLoad(PBYTE bits, DWORD size, BOOL icon, DWORD version, int width, int height, UINT flags)
{
    ++iconLoads;
    return realCreateIcon(bits, size, icon, version, width, height, flags);
}

// The icon a NotifyIcon shows for path; the object stays with the caller.
HICON NotifyIconShows(const ComPtr<INotifyIcon>& icon, const std::wstring& path)
{
    ShellRecorderW shell(Dll());
    EXPECT_EQ(S_OK, icon->put_Icon(Bstr(path).get()));
    EXPECT_EQ(S_OK, icon->put_Visible(VARIANT_TRUE));
    return AddedIcon(shell);
}

// The description a host reads when a NotifyIcon refuses path; empty if it takes it.
std::wstring RefusalOf(const ComPtr<INotifyIcon>& icon, const std::wstring& path)
{
    return SUCCEEDED(icon->put_Icon(Bstr(path).get())) ? L"" : ErrorDescription();
}

// The colour (0xRRGGBB) of an icon's first pixel.
DWORD ColourOf(HICON icon)
{
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return ~0u;
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    DWORD pixels[16 * 16] = {};
    const HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, info.hbmColor, 0, 16, pixels, &format, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    return pixels[0] & 0xffffff;
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

// Each of these crashed the system's icon loader, made it read outside the
// file or decode for minutes: it trusts the header's count, each image's
// offset and size, and a PNG's claimed size. None may reach it.
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
        // PNGs the decoder sized from the header: minutes of work, then a stack overflow
        IconFileOf({Png(32768, 32768)}),
        IconFileOf({Png(65536, 65536)}),
        IconFileOf({Png(0, 0)}),
    };
    OnFreshApartment([&] {
        auto tray = NewTray();
        const HICON builtIn = ShownFor(tray.Get(), L"");
        TempFile png(L"zanthel_png.ico", IconFileOf({Png(16, 16)}));
        EXPECT_NE(builtIn, ShownFor(tray.Get(), png.path()));
        ImportSpy countLoads(Dll(), realCreateIcon, &CountLoad);
        for (const std::string& bytes : malformed) {
            TempFile file(L"zanthel_malformed.ico", bytes);
            iconLoads = 0;
            EXPECT_EQ(builtIn, ShownFor(tray.Get(), file.path())) << &bytes - malformed;
            EXPECT_EQ(0, iconLoads) << &bytes - malformed;
        }
    });
}

// Files hold each size at several depths, the fewest colours first; both
// classes show the deepest the display shows.
TEST(IconFiles, BothClassesShowTheDeepestImageOfTheirSizeThatTheDisplayShows)
{
    OnFreshApartment([] {
        TempFile icon(L"zanthel_depths.ico", IconFileOf({IconDib(4, 0xff0000), IconDib(32, 0x0000ff)}));
        const ComPtr<INotifyIcon> notifyIcon = NewNotifyIcon();
        EXPECT_EQ(0x0000ffu, ColourOf(NotifyIconShows(notifyIcon, icon.path())));
        const auto tray = NewTray();
        EXPECT_EQ(0x0000ffu, ColourOf(ShownFor(tray.Get(), icon.path())));
    });
}

// As in Windows' own icon references, "<file>,<index>" and "<file>,-<id>"
// name an icon group of a program file, but only when no file has the name.
TEST(IconFiles, ANameEndingInAnIndexOrIdTakesAProgramFilesIconGroupUnlessAFileHasIt)
{
    OnFreshApartment([] {
        const std::wstring dll = DllPath();
        TempFile named(L"zanthel_named.ico,0", IconFileBytes());
        // A copy is a file no process has loaded: mapped anew, not the loaded module.
        TempFile library(L"zanthel_icons.icl", "");
        ::CopyFileW(dll.c_str(), library.path().c_str(), FALSE);
        for (const std::wstring& path :
             {dll + L",0", library.path() + L",-" + std::to_wstring(ZANTHEL_BUILT_IN_ICON), named.path()})
            EXPECT_NE(nullptr, NotifyIconShows(NewNotifyIcon(), path)) << path;
        // One group only; an id past 16 bits must not wrap to the group's.
        TempFile notProgram(L"zanthel_not_a_program.dll", "MZ is all there is");
        const ComPtr<INotifyIcon> icon = NewNotifyIcon();
        for (const std::wstring& path :
             {dll + L",1", dll + L",-2", dll + L",-" + std::to_wstring(0x10000 + ZANTHEL_BUILT_IN_ICON),
              notProgram.path() + L",0"})
            EXPECT_NE(std::wstring::npos, RefusalOf(icon, path).find(L'"' + path + L'"')) << path;
    });
}

// Registry icon references (DefaultIcon values) as Windows writes them.
TEST(IconFiles, BothClassesTakeIconReferencesAsWindowsWritesThem)
{
    OnFreshApartment([] {
        TempFile icon(L"zanthel_reference.ico", IconFileBytes());
        const auto tray = NewTray();
        const HICON builtIn = ShownFor(tray.Get(), L"");
        const std::wstring accepted[] = {
            L"%TMP%\\zanthel_reference.ico",
            L'"' + icon.path() + L'"',
            L'"' + DllPath() + L"\",0",
            L"%SystemRoot%\\system32\\shell32.dll,3",
            L"shell32.dll,3",                                           // in the system folder
            L"Zanthel.dll,-" + std::to_wstring(ZANTHEL_BUILT_IN_ICON),  // in the current one, the tests'
        };
        for (const std::wstring& path : accepted) {
            EXPECT_NE(nullptr, NotifyIconShows(NewNotifyIcon(), path)) << path;
            EXPECT_NE(builtIn, ShownFor(tray.Get(), path)) << path;
        }
    });
}

// What the loader tells a host that a file cannot be used: why, and the start of the name.
TEST(IconFiles, ARefusalSaysWhyAndQuotesAtMost260UnitsOfTheName)
{
    OnFreshApartment([] {
        TempFile text(L"zanthel_text.ico", "not an icon");
        TempFile large(L"zanthel_large.ico", std::string(5 << 20, '\0'));
        wchar_t program[MAX_PATH], current[MAX_PATH], system[MAX_PATH];
        ::GetModuleFileNameW(nullptr, program, MAX_PATH);  // no icons in it
        ::GetCurrentDirectoryW(MAX_PATH, current);
        ::GetSystemDirectoryW(system, MAX_PATH);
        const std::wstring tooLong = L"C:\\" + std::wstring(100000, L'a');
        const std::wstring splitPair = L"C:\\zanthel_no_such\\" + std::wstring(240, L'a') + L"\U0001F600.ico";
        const struct {
            std::wstring path;
            HRESULT hr;
            std::wstring reason, quoted = {};
        } cases[] = {
            {L"C:\\zanthel_no_such\\a.ico", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"not found"},
            {L"zanthel_no_such.dll,3", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
             L"not found in the current folder (" + std::wstring(current) + L") or the system folder (" + system +
                 L")"},
            {system, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), L"a folder, not a file"},
            {text.path(), CTL_E_INVALIDPICTURE, L"not a valid icon file"},
            {large.path(), CTL_E_INVALIDPICTURE, L"larger than an icon file can be (4 MB)"},
            {text.path() + L",0", CTL_E_INVALIDPICTURE, L"not a program file"},
            {program + std::wstring(L",0"), CTL_E_INVALIDPICTURE, L"the program file has no icon group at this index"},
            {program + std::wstring(L",-1"), CTL_E_INVALIDPICTURE, L"the program file has no icon group with this id"},
            {tooLong, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), L"the path is longer than Windows allows",
             tooLong.substr(0, 260) + L"..."},
            {splitPair, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), L"not found", splitPair.substr(0, 259) + L"..."},
        };
        for (const auto& c : cases) {
            zanthel::Text path;
            path.Assign(c.path.data(), static_cast<UINT>(c.path.size()));
            zanthel::UniqueIcon icon;
            EXPECT_EQ(c.hr, zanthel::LoadIconFile(path, 16, 16, icon)) << c.reason;
            EXPECT_EQ(
                L"The icon file cannot be used: " + c.reason + L": \"" + (c.quoted.empty() ? c.path : c.quoted) + L'"',
                LayerDescription(c.hr));
        }
    });
}

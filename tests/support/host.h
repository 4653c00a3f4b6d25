// What a test needs to act as a host program: an apartment, a message loop,
// and real windows to look at.
#pragma once

#include "common/win.h"

#include <chrono>
#include <functional>
#include <string>

namespace zanthel::test {

// A single-threaded apartment for the lifetime of the object.
class ComApartment {
public:
    ComApartment() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { ::CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// Dispatches this thread's messages for the given time.
void PumpMessages(std::chrono::milliseconds duration);

// Dispatches messages until done() holds or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5));

// The component's hidden host window on this thread, or null.
HWND HostWindowOfThisThread();

// Sends the tray icon's callback message with the given mouse action.
LRESULT SendTrayCallback(HWND host, LPARAM mouseMessage);

// Sends a notification icon's version-4 callback (icon 1) as the shell does,
// from a thread other than the window's; false when the window's thread did
// not take it within a few seconds.
bool SendCallbackFromAnotherThread(HWND window, UINT event);

// The text of a menu item by command identifier, searching popups too.
std::wstring MenuItemText(HMENU menu, UINT id);

// Runs action once on this thread after delay, while a modal loop (a popup
// menu) is dispatching messages.
void RunSoon(std::chrono::milliseconds delay, std::function<void()> action);

// The visible popup menu window of this thread, or null.
HWND OpenPopupMenuWindow();

// What a leak leaves behind in this process. Wine's GetGuiResources reports
// 0, so the handles are found by trying every value a handle can take.
struct Census {
    long long heapBytes;  // busy bytes in all of the process's heaps
    long icons;
    long menus;
    long gdiObjects;
    long bitmaps;  // of the GDI objects
};
Census TakeCensus();

// The GDI objects this process holds, counted as TakeCensus counts them.
int LiveGdiObjects();

// A real top-level window with a title, destroyed with the object.
class TitledWindow {
public:
    explicit TitledWindow(const std::wstring& title, bool visible = true);
    ~TitledWindow();
    TitledWindow(const TitledWindow&) = delete;
    TitledWindow& operator=(const TitledWindow&) = delete;
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// A file in the temporary folder, deleted with the object.
class TempFile {
public:
    TempFile(const std::wstring& name, const std::string& contents);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// A small valid icon file (one 16 x 16 image) and a small valid bitmap file.
std::string IconFileBytes();
std::string BitmapFileBytes();

}  // namespace zanthel::test

#include "census.h"

#include "common/win.h"

#include <vector>

namespace zanthel::bench {
namespace {

// How Wine 8 numbers handles, found by creating, destroying and re-creating
// menus, icons and bitmaps and printing the values:
// - USER handles (menus, icons, cursors, windows): the low 16 bits are
//   0x20 + 2 * index, up to 0xFFEF; the high 16 bits are a generation that
//   starts at 1 and grows when the slot is used again (0x00020052, then
//   0x00030052). An odd low word names the same slot as the even one below it.
// - GDI handles: the low 16 bits are the index; the high 16 bits hold the
//   object's type in the low byte (0x09 for a bitmap) and a generation in the
//   high byte (0x0209003A, then 0x0A090045 for a reused slot).
// Both accept a handle whose high 16 bits are zero for the current object of
// that slot, so a census tries each low word once: 32,712 USER values and
// 65,536 GDI values, a few milliseconds under Wine.
constexpr UINT_PTR kFirstUserHandle = 0x20;
constexpr UINT_PTR kLastUserHandle = 0xFFEF;

using GetIconSize = BOOL(WINAPI*)(HICON, UINT, LONG*, LONG*);

// win32u's icon-size call fails quietly for anything that is not an icon or
// cursor, where GetIconInfo would make two bitmaps for each one found.
bool IsIcon(HICON candidate)
{
    static const GetIconSize getIconSize = [] {
        HMODULE win32u = ::GetModuleHandleW(L"win32u.dll");
        return win32u ? reinterpret_cast<GetIconSize>(
                            reinterpret_cast<void*>(::GetProcAddress(win32u, "NtUserGetIconSize")))
                      : nullptr;
    }();
    if (getIconSize) {
        LONG width = 0, height = 0;
        return getIconSize(candidate, 0, &width, &height) != FALSE;
    }
    ICONINFO info{};
    if (!::GetIconInfo(candidate, &info)) return false;
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    return true;
}

long long BusyHeapBytes()
{
    std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    long long bytes = 0;
    for (HANDLE heap : heaps) {
        if (!::HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        ::HeapUnlock(heap);
    }
    return bytes;
}

}  // namespace

Census TakeCensus()
{
    Census census{};
    for (UINT_PTR value = kFirstUserHandle; value <= kLastUserHandle; value += 2) {
        if (::IsMenu(reinterpret_cast<HMENU>(value))) ++census.menus;
        if (IsIcon(reinterpret_cast<HICON>(value))) ++census.icons;
    }
    for (UINT_PTR value = 1; value <= 0xFFFF; ++value)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(value)) == OBJ_BITMAP) ++census.bitmaps;
    census.heapBytes = BusyHeapBytes();
    return census;
}

}  // namespace zanthel::bench

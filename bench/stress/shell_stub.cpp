#include "shell_stub.h"

#include "support/imports.h"

#include <mutex>
#include <set>
#include <utility>

namespace zanthel::bench {
namespace {

std::mutex lock;
std::set<std::pair<HWND, UINT>> shown;
ShellCounts counts{};

// Answers as the shell does: an add of an icon already there, or a delete of
// one that is not, fails.
BOOL WINAPI NotifyIconStandIn(DWORD message, PNOTIFYICONDATAA data)
{
    if (!data) return FALSE;
    std::lock_guard<std::mutex> guard(lock);
    const std::pair<HWND, UINT> key(data->hWnd, data->uID);
    switch (message) {
        case NIM_ADD:
            ++counts.adds;
            return shown.insert(key).second;
        case NIM_DELETE:
            ++counts.deletes;
            return shown.erase(key) != 0;
        case NIM_MODIFY:
            return shown.count(key) != 0;
        default:
            return TRUE;
    }
}

}  // namespace

bool StubShellNotifyIcon(HMODULE dll)
{
    return test::ReplaceImportIn(dll, reinterpret_cast<const void*>(&::Shell_NotifyIconA),
                                 reinterpret_cast<const void*>(&NotifyIconStandIn));
}

ShellCounts StubbedShellCounts()
{
    std::lock_guard<std::mutex> guard(lock);
    ShellCounts result = counts;
    result.shown = static_cast<long>(shown.size());
    return result;
}

}  // namespace zanthel::bench

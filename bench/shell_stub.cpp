#include "shell_stub.h"

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
    auto* base = reinterpret_cast<BYTE*>(dll);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return false;
    const void* real = reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(L"shell32.dll"), "Shell_NotifyIconA"));
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); module->Name;
         ++module) {
        if (::lstrcmpiA(reinterpret_cast<char*>(base + module->Name), "shell32.dll") != 0) continue;
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        auto* name = module->OriginalFirstThunk ? reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk)
                                                : nullptr;
        for (; slot->u1.Function; ++slot, name = name ? name + 1 : nullptr) {
            bool match = reinterpret_cast<void*>(slot->u1.Function) == real;
            if (name && !IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) {
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
                match = match || !lstrcmpA(reinterpret_cast<char*>(byName->Name), "Shell_NotifyIconA");
            }
            if (!match) continue;
            DWORD old = 0;
            ::VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &old);
            slot->u1.Function = reinterpret_cast<UINT_PTR>(&NotifyIconStandIn);
            ::VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), old, &old);
            return true;
        }
    }
    return false;
}

ShellCounts StubbedShellCounts()
{
    std::lock_guard<std::mutex> guard(lock);
    ShellCounts result = counts;
    result.shown = static_cast<long>(shown.size());
    return result;
}

}  // namespace zanthel::bench

#include "support/imports.h"

#include <gtest/gtest.h>

namespace zanthel::test {

bool ReplaceImportIn(HMODULE module, const void* current, const void* replacement)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; dll->Name; ++dll)
        for (auto** entry = reinterpret_cast<const void**>(base + dll->FirstThunk); *entry; ++entry)
            if (*entry == current) {
                DWORD old;
                ::VirtualProtect(entry, sizeof(void*), PAGE_READWRITE, &old);
                *entry = replacement;
                ::VirtualProtect(entry, sizeof(void*), old, &old);
                return true;
            }
    ADD_FAILURE() << "the module does not import that function";
    return false;
}

}  // namespace zanthel::test

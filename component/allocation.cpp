// The module's allocations come from the process heap and report failure
// with a null pointer: the component is built without exceptions, and
// every allocation it makes is checked.
#include "common/win.h"

#include <new>

namespace {

void* Allocate(std::size_t size) noexcept { return ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1); }
void Free(void* block) noexcept
{
    if (block) ::HeapFree(::GetProcessHeap(), 0, block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }

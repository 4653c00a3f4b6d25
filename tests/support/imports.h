// Import slots of any loaded module, for programs that spy on or stand in for
// the system calls a layer or the DLL makes.
#pragma once

#include "common/win.h"

namespace zanthel::test {

// Points module's import slot that holds current at replacement; false, and a
// test failure, when no slot holds it.
bool ReplaceImportIn(HMODULE module, const void* current, const void* replacement);

}  // namespace zanthel::test

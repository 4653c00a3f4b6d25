// Import slots of any loaded module, for test programs that link a layer
// themselves and spy on the system calls it makes.
#pragma once

#include "common/win.h"

namespace zanthel::test {

// Points module's import slot that holds current at replacement.
void ReplaceImportIn(HMODULE module, const void* current, const void* replacement);

}  // namespace zanthel::test

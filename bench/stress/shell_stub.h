// Wine's notification area answers each add and delete slowly, too slowly for
// tens of thousands of rounds. This replaces Zanthel.dll's import of
// Shell_NotifyIconA with a stand-in that keeps the icons it was given.
#pragma once

#include "common/win.h"

namespace zanthel::bench {

// Points the DLL's import of Shell_NotifyIconA at the stand-in; false when the
// DLL does not import it.
bool StubShellNotifyIcon(HMODULE dll);

struct ShellCounts {
    long adds;
    long deletes;
    long shown;  // icons added and not deleted, by window and identifier
};

ShellCounts StubbedShellCounts();

}  // namespace zanthel::bench

// Process-wide facts about the loaded module: the only state shared across
// apartments, so every count here is atomic.
#pragma once

#include "common/win.h"

#include "common/text.h"

namespace zanthel::module {

HINSTANCE Instance();
// The module's full path.
HRESULT Path(Text& path) noexcept;

void AddObject();
void ReleaseObject();
void Lock();
void Unlock();

// Host windows run this module's window procedures; while one exists the
// module must stay loaded, and once the first exists it stays for good,
// because a COM runtime may free the library whatever DllCanUnloadNow says.
void HostWindowCreated();
void HostWindowDestroyed();

// An apartment's state is watched by code in this module until it ends.
void ApartmentStarted();
void ApartmentEnded();

bool CanUnload();

}  // namespace zanthel::module

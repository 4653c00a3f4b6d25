// Icon files and icon groups of program files that hosts name, read from the
// file system only and checked before any picture or icon loader sees them.
#pragma once

#include "common/handles.h"
#include "common/text.h"
#include "common/win.h"

#include <wrl/client.h>

namespace zanthel {

// Reads a regular disk file, its name resolved as CreateFileW resolves it
// (a relative name against the current directory), into a stream of size
// bytes. Fails for any other name or file, for a file too large to be an
// icon, for one whose header, directory or images do not fit its size, and
// for a PNG image larger than an icon can be.
HRESULT ReadIconFile(const Text& path, Microsoft::WRL::ComPtr<IStream>& stream, ULONG& size) noexcept;

// The checked file's image nearest to width x height, at the deepest colour
// the display shows, as an icon of that size. A name that no file has and
// that ends in ",<index>" or ",-<id>" names, as Windows' own icon references
// do, the index-th icon group of a program file (in EnumResourceNames order)
// or the group of that id; the file is only mapped, its images checked and
// chosen among as an icon file's.
HRESULT LoadIconFile(const Text& path, int width, int height, UniqueIcon& icon) noexcept;

}  // namespace zanthel

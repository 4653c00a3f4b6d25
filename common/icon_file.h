// Icon files and icon groups of program files that hosts name, read from the
// file system only and checked before any picture or icon loader sees them.
#pragma once

#include "common/handles.h"
#include "common/text.h"
#include "common/win.h"

namespace zanthel {

// The image nearest to width x height, at the deepest colour the display
// shows, of the icon that path names as Windows' own icon references
// (DefaultIcon values) do:
// - environment variables (%SystemRoot%) are expanded and the quotes around
//   a file name removed (the caller keeps the text as it was given);
// - the name of an icon file; or, when no file has the whole name,
//   "<file>,<index>", the index-th icon group of a program file (in
//   EnumResourceNames order), or "<file>,-<id>", the group of that id: the
//   file is only mapped, its images checked and chosen among as an icon
//   file's;
// - a name without a folder is looked for in the current folder, then in
//   the system folder; any other relative name against the current folder.
// Only regular disk files are read, and checked before any loader sees them.
// A failure is described (Describe): "The icon file cannot be used: ", why,
// then the first 260 units of path in quotes.
HRESULT LoadIconFile(const Text& path, int width, int height, UniqueIcon& icon) noexcept;

}  // namespace zanthel

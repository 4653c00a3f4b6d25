// Conversions between automation strings and the ANSI text Win32 calls take.
#pragma once

#include "win.h"

#include <string>

namespace zanthel {

// A null BSTR is the empty string.
std::wstring FromBstr(const BSTR* text);
std::wstring FromBstr(BSTR text);

// A new BSTR holding text; throws std::bad_alloc when the system has no memory.
BSTR ToBstr(const std::wstring& text);

// Text in the system's ANSI code page, for the ANSI entry points.
std::string ToAnsi(const std::wstring& text);

}  // namespace zanthel

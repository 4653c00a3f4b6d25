// NotifyIcon's events as a sink hears them, by dispatch identifier.
#pragma once

#include "common/win.h"

namespace zanthel::test {

// The event's name as the type library spells it; "?" for any other identifier.
inline const wchar_t* EventNameOf(DISPID id)
{
    static const wchar_t* const kNames[] = {
        L"?",           L"Click",      L"DoubleClick", L"MenuItemClick", L"BalloonClick", L"BalloonClosed",
        L"MenuOpening", L"RightClick", L"MiddleClick", L"BalloonShown"};
    return id >= 1 && id < DISPID(ARRAYSIZE(kNames)) ? kNames[id] : kNames[0];
}

}  // namespace zanthel::test

// The soaks: long runs of what hosts do for months, with the growth of heap
// bytes, icons, bitmaps, menus and notification-area icons per 1,000 rounds.
#pragma once

#include <string>

namespace zanthel::bench {

struct SoakKind {
    const char* name;
    long rounds;
};

// create: create and release a classTray; icon: TrayIcon, LoadTray, AppendMenu,
// DestroyMenu, UnLoadTray; threads: a whole apartment thread around one
// LoadTray; windows: the host window closed from outside, then used again.
constexpr SoakKind kSoaks[] = {{"create", 100000}, {"icon", 10000}, {"threads", 1000}, {"windows", 200}};

// Runs one soak in this process and prints its line; false for an unknown name.
// With realShell the notification area gets the calls; otherwise they are counted.
bool RunSoak(const std::string& name, long rounds, bool realShell);

}  // namespace zanthel::bench

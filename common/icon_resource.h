// Resource identifier of the built-in tray icon; read by windres and C++.
#pragma once
#define ZANTHEL_BUILT_IN_ICON 1

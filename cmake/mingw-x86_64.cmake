# Cross build for 64-bit Windows.
set(ZANTHEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
# Wine's name for the architecture's Windows side (lib/wine/x86_64-windows).
set(ZANTHEL_WINE_CPU x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

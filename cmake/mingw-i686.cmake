# Cross build for 32-bit Windows.
set(ZANTHEL_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# Wine's name for the architecture's Windows side (lib/wine/i386-windows).
set(ZANTHEL_WINE_CPU i386)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)

# Zanthel.def names the exports undecorated, as on x64; the linker binds each
# to its stdcall symbol (name@N) without a warning per export.
set(CMAKE_SHARED_LINKER_FLAGS_INIT -Wl,--enable-stdcall-fixup)

# Sourced: preset_build_dir PRESET configures the CMake preset and sets
# build_dir to its build directory: build/PRESET, or ZANTHEL_BUILD_ROOT/PRESET
# when that is set.
preset_build_dir() {
    build_dir=build/$1
    if [ -n "${ZANTHEL_BUILD_ROOT:-}" ]; then
        build_dir=$ZANTHEL_BUILD_ROOT/$1
        cmake --preset "$1" -B "$build_dir" >/dev/null
    else
        cmake --preset "$1" >/dev/null
    fi
}

# Shared by the scripts in this folder; sourced, not run.
# shellcheck shell=bash

KES_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KES_BUILD=${KES_BUILD:-$KES_ROOT/build}
KES_WINE_ROOT=${KES_WINE_ROOT:-$KES_BUILD/wine}
export KES_ROOT KES_BUILD KES_WINE_ROOT

kes_jobs() { nproc 2>/dev/null || echo 2; }

# Configures a build folder once, then builds it; arguments after the folder
# go to the build step (for example --target Kestrune).
kes_build_dir() {   # dir, cmake configure options..., --, build options...
    local dir=$1; shift
    local configure=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do configure+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$KES_ROOT" -B "$dir" -G Ninja "${configure[@]}" >/dev/null
    fi
    cmake --build "$dir" -j "$(kes_jobs)" "$@"
}

kes_build_win32() {
    kes_build_dir "$KES_BUILD/win32" --toolchain "$KES_ROOT/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release -- "$@"
}
kes_build_native() { kes_build_dir "$KES_BUILD/native" -DCMAKE_BUILD_TYPE=Debug -DKES_SANITIZE=ON -- "$@"; }
kes_build_fuzz() {
    kes_build_dir "$KES_BUILD/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKES_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -- "$@"
}

kes_wine_env() {   # tier: headless or display
    export WINEARCH=win32
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX=$KES_WINE_ROOT/$1
}

# Starts Xvfb on a free display (24-bit) with a compositing manager for true
# alpha; sets DISPLAY and KES_XVFB_PIDS. kes_stop_display ends both.
kes_start_display() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    KES_XVFB_PIDS=$!
    local i
    for i in $(seq 1 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    if [ ! -s "$fdfile" ]; then
        echo "Xvfb did not start" >&2
        rm -f "$fdfile"
        return 1
    fi
    DISPLAY=:$(head -n1 "$fdfile")
    export DISPLAY
    rm -f "$fdfile"
    xcompmgr -n >/dev/null 2>&1 &
    KES_XVFB_PIDS="$! $KES_XVFB_PIDS"   # stopped in this order: the manager first
    export KES_XVFB_PIDS
}

kes_stop_display() {
    local pid
    for pid in ${KES_XVFB_PIDS:-}; do kill "$pid" 2>/dev/null || true; done
    for pid in ${KES_XVFB_PIDS:-}; do wait "$pid" 2>/dev/null || true; done
    KES_XVFB_PIDS=""
}

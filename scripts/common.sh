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

# The Windows programs: the 64-bit build in build/win64, the 32-bit one in
# build/win32.
kes_win_dir() { echo "$KES_BUILD/win$1"; }   # bits: 32 or 64
kes_build_win() {   # bits, build options...
    local bits=$1 toolchain
    shift
    case "$bits" in
        32) toolchain=mingw-i686 ;;
        64) toolchain=mingw-x86_64 ;;
        *) echo "kes_build_win: no $bits-bit build" >&2; return 2 ;;
    esac
    kes_build_dir "$(kes_win_dir "$bits")" --toolchain "$KES_ROOT/cmake/$toolchain.cmake" \
        -DCMAKE_BUILD_TYPE=Release -- "$@"
}
kes_build_native() { kes_build_dir "$KES_BUILD/native" -DCMAKE_BUILD_TYPE=Debug -DKES_SANITIZE=ON -- "$@"; }
kes_build_fuzz() {
    kes_build_dir "$KES_BUILD/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKES_FUZZ=ON \
        -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -- "$@"
}

# The libFuzzer options of a fuzz target from tests/fuzz/options, one a line:
# its -max_len and, when it has one, its -dict. A target missing there is an
# error.
kes_fuzz_options() {   # target
    local name=$1 target max dict
    while read -r target max dict; do
        [ "$target" = "$name" ] || continue
        echo "-max_len=$max"
        [ -z "$dict" ] || echo "-dict=$KES_ROOT/tests/fuzz/$dict"
        return 0
    done < <(grep -v '^#' "$KES_ROOT/tests/fuzz/options")
    echo "fuzz target '$name' has no line in tests/fuzz/options" >&2
    return 1
}

# Whether this machine runs 32-bit programs (and so the 32-bit Wine loader);
# asked once per script.
kes_can_run_32bit() {
    if [ -z "${KES_CAN_RUN_32BIT:-}" ]; then
        if "$KES_ROOT/scripts/can-run-32bit"; then KES_CAN_RUN_32BIT=yes; else KES_CAN_RUN_32BIT=no; fi
    fi
    [ "$KES_CAN_RUN_32BIT" = yes ]
}

# Sets up Wine for a tier (headless or display) and a word size (64 by
# default): one prefix per tier and word size under $KES_WINE_ROOT, and in
# KES_WINE the loader of that word size. Debian's `wine` launcher always
# prefers the 32-bit loader when it is installed, even where the kernel
# cannot run it, so the 64-bit loader is named explicitly.
kes_wine_env() {   # tier, bits
    local tier=$1 bits=${2:-64}
    case "$bits" in
        64)
            export WINEARCH=win64
            KES_WINE=/usr/lib/wine/wine64
            export WINELOADER=$KES_WINE
            ;;
        32)
            export WINEARCH=win32
            KES_WINE=/usr/lib/wine/wine
            [ -x "$KES_WINE" ] || KES_WINE=wine
            unset WINELOADER
            ;;
        *) echo "kes_wine_env: no $bits-bit Wine" >&2; return 2 ;;
    esac
    export KES_WINE
    export WINEDEBUG=${WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX=$KES_WINE_ROOT/$tier$bits
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

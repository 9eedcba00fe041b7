#!/usr/bin/env bash
# Installs what is missing, builds every target with warnings as errors and runs every test.
#   --sanitize  builds in build/sanitize with AddressSanitizer and UndefinedBehaviorSanitizer
#               and runs the whole suite there (slow: a build of its own)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh --tests

if [[ "${1:-}" == "--sanitize" ]]; then
  build=${VELMORA_BUILD_DIR:-build/sanitize}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON \
    -DVELMORA_SANITIZE=address,undefined
  cmake --build "$build"
  # Any report fails the test that caused it; leaks of third-party libraries are suppressed
  # (the file says which). The suppressions name libraries, whose own frames the default fast
  # stacks reach; full stacks (fast_unwind_on_malloc=0) made the suite two to three times slower
  # and pushed timed cases over their limits.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:exitcode=86
  export LSAN_OPTIONS=suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:exitcode=87
  unset DISPLAY WAYLAND_DISPLAY
  # The wizard's keyboard-driven whole runs time their keys against a program the sanitizers make
  # several times slower, and then miss pages; the sheet tests walk the same code under them.
  ctest --test-dir "$build" --output-on-failure --timeout 900 -j2 -LE keyboard
  exit
fi

build=${VELMORA_BUILD_DIR:-build/test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON
cmake --build "$build"

bash scripts/check-format.sh

# The optimiser of a Release build (-O3) sees through more code and warns where -O2 does not; the
# Release build must be as free of warnings as the test build.
release=${VELMORA_RELEASE_BUILD_DIR:-build/release}
cmake -S . -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_WERROR=ON
cmake --build "$release"

# A short run of every fuzz target catches a parser that crashes on what it was made to survive;
# scripts/fuzz.sh with a longer time is for real fuzzing.
bash scripts/fuzz.sh "${VELMORA_FUZZ_SECONDS:-10}"

# Tests that need a display find one through tests/support/with-display.sh; none is assumed here.
unset DISPLAY WAYLAND_DISPLAY
ctest --test-dir "$build" --output-on-failure --timeout 600 -j2

# The GUI-free core and its unit tests built for Windows with mingw-w64 and run under Wine, in a
# Wine prefix of their own that goes away afterwards. mkbundle comes from the Linux build above.
# Tests that need a Linux service (smbd, Xvfb, namespaces) are not built there; the labels keep
# any that are out all the same. Every Wine run has a time limit (the toolchain file's emulator).
windows=${VELMORA_WINDOWS_BUILD_DIR:-build/windows}
cmake -S . -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_GUI=OFF -DVELMORA_WERROR=ON \
  -DVELMORA_HOST_TOOLS_DIR="$PWD/$build/bin"
cmake --build "$windows"
WINEPREFIX=$(mktemp -d /tmp/velmora-wine.XXXXXX)
export WINEPREFIX WINEDEBUG=-all
trap 'timeout 30 wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
timeout 300 wineboot -i >/dev/null 2>&1
ctest --test-dir "$windows" --output-on-failure --timeout 300 -j2 -LE 'smb|gui|integration|keyboard'

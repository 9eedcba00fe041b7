#!/usr/bin/env bash
# Runs the tests of the worker threads under ThreadSanitizer in a build of their own: discovery
# (the locate step's worker, tick and busy counter), the copy engine's unit tests (runs, their
# gates and cancels, the records they post), the runs that keep the record of copies and the
# sheet's tests that need no display.
# The keyring store's cases are left out: they run GLib's D-Bus threads, which are not built with
# the sanitizer, so it reports their own locking (a "double lock" in GObject's type system).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${VELMORA_BUILD_DIR:-build/tsan}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_GUI=OFF \
  -DVELMORA_SANITIZE=thread "${launcher[@]}" >/dev/null

targets=(discovery_rules discovery_locate discovery_port1234 transfer_tests record_tests)
pattern='^(discovery_|transfer_tests\.|record_tests\.'
# The sheet's tests that need no display (its saved settings, page flow and destinations).
sheet=$(ninja -C "$build" -t targets all | sed -n 's/^\(sheet_[A-Za-z0-9_]*tests\): .*/\1/p' |
  grep -v '_ui_' | sort -u || true)
for target in $sheet; do
  targets+=("$target")
  pattern+="|${target}\\."
done
pattern+=')'

cmake --build "$build" --target "${targets[@]}"
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
ctest --test-dir "$build" --output-on-failure -j2 -R "$pattern" -E '\.KeyringStoreTest\.'

#!/usr/bin/env bash
# snapferry's start-up in folder mode, under a private Xvfb: the time from the program's start to
# its sheet shown, beyond the picture search itself, over 1,000 pictures in 50 folders; and its
# resident memory with 100,000 pictures found against a folder of one picture.
# Usage: bash scripts/bench-wizard-start.sh [RUNS] (default 5; medians).
# The driver talks to the X server with-display.sh started for it and to no other; every wait has
# a time limit, and each run is stopped when it ends, fails or is interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
build=${VELMORA_BENCH_BUILD_DIR:-build/bench-wizard}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" --target snapferry velmora_bundles >/dev/null

work=$(mktemp -d /tmp/velmora-bench-wizard.XXXXXX)
trap 'rm -rf "$work"' EXIT
status=0
bash tests/support/with-display.sh python3 - "$build/velmora/snapferry" "$work" "$runs" \
  <<'PY' || status=$?
import os, selectors, signal, statistics, subprocess, sys, time

program, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
SHEET_LIMIT = 120  # s from a start to its sheet


def stop_by_signal(number, _frame):
    # Unwinds through start()'s finally, which ends the run under way.
    raise SystemExit(128 + number)


for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
    signal.signal(number, stop_by_signal)

def tree(name, folders, per_folder):
    root = os.path.join(work, name)
    for f in range(folders):
        folder = os.path.join(root, f"{f:04d}")
        os.makedirs(folder)
        for p in range(per_folder):
            with open(os.path.join(folder, f"IMG_{p:05d}.jpg"), "wb") as out:
                out.write(b"\xff\xd8\xff")
    return root

# with-display.sh's server, and only that one.
env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
           VELMORA_LOCK_DIR=work)


def sheet_line(run, limit):
    """The "Sheet shown:" line the run prints, waiting at most `limit` seconds."""
    deadline = time.monotonic() + limit
    selector = selectors.DefaultSelector()
    selector.register(run.stdout, selectors.EVENT_READ)
    pending = b""
    while True:
        while b"\n" in pending:
            line, _, pending = pending.partition(b"\n")
            if line.startswith(b"Sheet shown:"):
                return line.decode()
        left = deadline - time.monotonic()
        if left <= 0 or not selector.select(left):
            raise SystemExit(f"snapferry showed no sheet within {limit} s")
        chunk = os.read(run.stdout.fileno(), 65536)
        if not chunk:
            raise SystemExit("snapferry ended without showing its sheet")
        pending += chunk


def start(folder):
    """Seconds from the start to the sheet, the search's own milliseconds, and KiB resident."""
    begun = time.monotonic()
    run = subprocess.Popen([program, "/upload", folder], stdout=subprocess.PIPE, env=env)
    try:
        line = sheet_line(run, SHEET_LIMIT)
        shown = time.monotonic() - begun
        fields = line.replace(",", "").split()
        search = int(fields[fields.index("search") + 1])
        resident = int(fields[fields.index("resident") + 1])
        return shown, search, resident
    finally:
        run.terminate()
        try:
            run.wait(timeout=10)
        except subprocess.TimeoutExpired:
            run.kill()
            run.wait()


thousand = tree("thousand", 50, 20)
overheads, searches = [], []
for _ in range(runs):
    shown, search, _ = start(thousand)
    overheads.append(shown * 1000 - search)
    searches.append(search)
print(f"1,000 pictures in 50 folders: search {statistics.median(searches):.0f} ms, "
      f"start to sheet beyond the search {statistics.median(overheads):.0f} ms "
      f"(median of {runs}; limit 400 ms)")

one = tree("one", 1, 1)
many = tree("many", 1000, 100)
small = statistics.median(start(one)[2] for _ in range(runs))
large = statistics.median(start(many)[2] for _ in range(max(1, runs // 2)))
print(f"Resident at the sheet: {small / 1024:.1f} MiB with one picture, "
      f"{large / 1024:.1f} MiB with 100,000: {(large - small) / 1024:.1f} MiB more "
      f"(limit 25 MiB)")
PY
exit "$status"

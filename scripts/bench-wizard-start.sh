#!/usr/bin/env bash
# snapferry's start-up in folder mode, under a private Xvfb: the time from the program's start to
# its sheet shown, beyond the picture search itself, over 1,000 pictures in 50 folders; and its
# resident memory with 100,000 pictures found against a folder of one picture.
# Usage: bash scripts/bench-wizard-start.sh [RUNS] (default 5; medians).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
build=${VELMORA_BENCH_BUILD_DIR:-build/bench-wizard}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" --target snapferry velmora_bundles >/dev/null

work=$(mktemp -d /tmp/velmora-bench-wizard.XXXXXX)
trap 'rm -rf "$work"' EXIT
exec python3 - "$build/velmora/snapferry" "$work" "$runs" <<'PY'
import os, statistics, subprocess, sys, time

program, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])

def tree(name, folders, per_folder):
    root = os.path.join(work, name)
    for f in range(folders):
        folder = os.path.join(root, f"{f:04d}")
        os.makedirs(folder)
        for p in range(per_folder):
            with open(os.path.join(folder, f"IMG_{p:05d}.jpg"), "wb") as out:
                out.write(b"\xff\xd8\xff")
    return root

display = ":%d" % (90 + os.getpid() % 100)
xvfb = subprocess.Popen(["Xvfb", display, "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
time.sleep(1)
env = dict(os.environ, DISPLAY=display, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
           VELMORA_LOCK_DIR=work)

def start(folder):
    """Seconds from the start to the sheet, the search's own milliseconds, and KiB resident."""
    begun = time.monotonic()
    run = subprocess.Popen([program, "/upload", folder], stdout=subprocess.PIPE, text=True, env=env)
    try:
        for line in run.stdout:
            if line.startswith("Sheet shown:"):
                shown = time.monotonic() - begun
                fields = line.replace(",", "").split()
                search = int(fields[fields.index("search") + 1])
                resident = int(fields[fields.index("resident") + 1])
                return shown, search, resident
        raise SystemExit("snapferry ended without showing its sheet")
    finally:
        run.terminate()
        run.wait()

try:
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
finally:
    xvfb.terminate()
PY

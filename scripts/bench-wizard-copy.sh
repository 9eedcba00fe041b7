#!/usr/bin/env bash
# Copies 1,000 pictures of 200 KiB through the real wizard (under a private Xvfb, against the
# simulated server's smbd in a network namespace, on the saved settings' shortcut), and the same
# workload through the copy engine alone against a private smbd on loopback, in the same run;
# both servers write to a memory disk, so that the disk under /tmp takes no part.
# Prints both times, their ratio (limit 1.15) and the longest the wizard's window stalled while
# copying (limit 50 ms). Needs root. Usage: bash scripts/bench-wizard-copy.sh [RUNS] (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-3}
bash scripts/deps.sh --tests
build=${VELMORA_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target snapferry velmora_bundles transfer_bench > /dev/null

work=$(mktemp -d /tmp/velmora-bench-wizard-copy.XXXXXX)
trap 'rm -rf "$work"' EXIT

engine=$("$build/bin/transfer_bench" "$runs" 2 | awk '/^1,000|^1000/ {print $(NF-3)}' | tail -1)

exec python3 - "$build/velmora/snapferry" "$work" "$runs" "$engine" <<'PY'
import os, random, statistics, subprocess, sys, time

program, work, runs, engine = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
pictures = os.path.join(work, "pictures")
os.makedirs(pictures)
block = random.Random(7).randbytes(200 * 1024)
for n in range(1000):
    with open(os.path.join(pictures, f"IMG_{n:04d}.jpg"), "wb") as out:
        out.write(block[n:] + block[:n])

key = ("Software\\Corvanta Corporation\\Velmora Desktop Applications\\1.2\\Camera\\Default")
hive = os.path.join(work, "config", "velmora", "registry.reg")
os.makedirs(os.path.dirname(hive))

def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.split()

def one_run(n):
    with open(hive, "w") as out:
        out.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + "]\r\n"
                  '"bSaveSettings"=dword:00000001\r\n"bUsingSaved"=dword:00000001\r\n'
                  f'"bGroupName"="Run{n}"\r\n"bFolderName"="FamilyPhotos"\r\n'
                  '"bSubdomain"="home"\r\n')
    env = dict(os.environ, VELMORA_KEEP_HOME="1", HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
               VELMORA_LOCK_DIR=work, LC_ALL="C.UTF-8")
    run = subprocess.Popen(["bash", "tests/support/with-display.sh", "bash",
                            "tests/wizard/end-to-end/snapferry-netns.sh", program, "--host-name",
                            "home", "--small-disk", "FamilyPhotos=3G", "--", "/upload",
                            pictures],
                           stdout=subprocess.PIPE, text=True, env=env)
    result = None
    pressed = False
    for line in run.stdout:
        if line.startswith("Sheet shown:") and not pressed:
            # The display is the one with-display.sh made: find it through the sheet's window.
            for _ in range(100):
                displays = [d for d in os.listdir("/tmp/.X11-unix")]
                for d in displays:
                    os.environ["DISPLAY"] = ":" + d[1:]
                    if xdotool("search", "--onlyvisible", "--name", "^Dunmere Pictures Wizard$"):
                        break
                else:
                    time.sleep(0.1)
                    continue
                break
            window = xdotool("search", "--onlyvisible", "--name", "^Dunmere Pictures Wizard$")[0]
            xdotool("windowfocus", "--sync", window, "key", "Return")
            pressed = True
        if line.startswith("Copy run done:"):
            fields = line.split()
            result = (int(fields[fields.index("in") + 1]) / 1000.0,
                      int(fields[fields.index("within") + 1]))
            time.sleep(0.5)
            window = xdotool("search", "--onlyvisible", "--name", "^Dunmere Pictures Wizard$")[0]
            xdotool("windowfocus", "--sync", window, "key", "Return")
    run.wait()
    if result is None:
        raise SystemExit("the wizard's copy run did not finish")
    return result

results = [one_run(n) for n in range(runs)]
wizard = statistics.median(r[0] for r in results)
stall = max(r[1] for r in results)
engine = float(engine)
print(f"1,000 pictures of 200 KiB: wizard {wizard:.2f} s, engine {engine:.2f} s, "
      f"ratio {wizard / engine:.2f} (limit 1.15)")
print(f"Longest stall of the wizard's window while copying: {stall} ms (limit 50 ms)")
PY

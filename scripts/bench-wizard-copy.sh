#!/usr/bin/env bash
# Copies 1,000 pictures of 200 KiB through the real wizard (under a private Xvfb, against the
# simulated server's smbd in a network namespace, on the saved settings' shortcut), and the same
# workload through the copy engine alone against a private smbd on loopback, in the same run;
# both servers write to a memory disk, so that the disk under /tmp takes no part.
# Prints both times, their ratio (limit 1.05) and the longest the wizard's window stalled while
# copying (limit 50 ms). Needs root. Usage: bash scripts/bench-wizard-copy.sh [RUNS] (default 3).
# The driver talks to the X server with-display.sh started for it and to no other; every wait has
# a time limit, and whatever a run started is stopped when the run ends, fails or is interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-3}
bash scripts/deps.sh --tests
build=${VELMORA_BUILD_DIR:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target snapferry velmora_bundles transfer_bench > /dev/null

work=$(mktemp -d /tmp/velmora-bench-wizard-copy.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The engine's benchmark takes its own smbd and memory disk down on every path.
# Its own limits (status 1) are its report's business; only a failed run (2) stops this one.
engine_status=0
engine_report=$("$build/bin/transfer_bench" "$runs" 2) || engine_status=$?
((engine_status <= 1)) || engine_report=""
# The engine's own time is the first figure after the workload's name.
engine=$(awk '/^1,000|^1000/ {print $6}' <<<"$engine_report" | tail -1)
if [[ -z $engine ]]; then
  echo "bench-wizard-copy: the copy engine's run gave no figure" >&2
  exit 2
fi

status=0
bash tests/support/with-display.sh python3 - "$build/velmora/snapferry" "$work" "$runs" \
  "$engine" <<'PY' || status=$?
import os, random, selectors, signal, statistics, subprocess, sys, time

program, work, runs, engine = sys.argv[1], sys.argv[2], int(sys.argv[3]), float(sys.argv[4])
WINDOW_NAME = "^Dunmere Pictures Wizard$"
SHEET_LIMIT = 120   # s from the start to the sheet (the search, the server found)
COPY_LIMIT = 600    # s from the key to the copy's end
END_LIMIT = 60      # s from the finish page's key to the end of the run
STOP_LIMIT = 20     # s a run is given to take its server down once told to stop


class RunFailed(Exception):
    pass


def stop_by_signal(number, _frame):
    # Unwinds through the run's finally, which stops what the run started.
    raise SystemExit(128 + number)


for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
    signal.signal(number, stop_by_signal)

# with-display.sh's server, and only that one.
display = os.environ["DISPLAY"]

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
    try:
        return subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=10,
                              env=dict(os.environ, DISPLAY=display)).stdout.split()
    except subprocess.TimeoutExpired:
        return []


def press_return_in_wizard(limit):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        windows = xdotool("search", "--onlyvisible", "--name", WINDOW_NAME)
        if windows:
            xdotool("windowfocus", "--sync", windows[0], "key", "Return")
            return
        time.sleep(0.1)
    raise RunFailed(f"the wizard's window did not show on {display} within {limit} s")


class Lines:
    """The lines a process prints, each read with a time limit."""

    def __init__(self, stream):
        self.fd = stream.fileno()
        self.selector = selectors.DefaultSelector()
        self.selector.register(self.fd, selectors.EVENT_READ)
        self.pending = b""

    def next(self, deadline, waiting_for):
        while b"\n" not in self.pending:
            left = deadline - time.monotonic()
            if left <= 0 or not self.selector.select(left):
                raise RunFailed(f"no {waiting_for} in time")
            chunk = os.read(self.fd, 65536)
            if not chunk:
                if self.pending:
                    break
                return None
            self.pending += chunk
        line, _, self.pending = self.pending.partition(b"\n")
        return line.decode(errors="replace")


def stop(run):
    """Tells the run to stop (its script takes snapferry and the server down), then ends all."""
    if run.poll() is None:
        run.terminate()
        try:
            run.wait(timeout=STOP_LIMIT)
        except subprocess.TimeoutExpired:
            pass
    try:
        os.killpg(run.pid, signal.SIGKILL)  # anything left of the run's own process group
    except ProcessLookupError:
        pass
    run.wait()


def one_run(n):
    with open(hive, "w") as out:
        out.write("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" + key + "]\r\n"
                  '"bSaveSettings"=dword:00000001\r\n"bUsingSaved"=dword:00000001\r\n'
                  f'"bGroupName"="Run{n}"\r\n"bFolderName"="FamilyPhotos"\r\n'
                  '"bSubdomain"="home"\r\n')
    env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
               VELMORA_LOCK_DIR=work, LC_ALL="C.UTF-8", DISPLAY=display)
    run = subprocess.Popen(["bash", "tests/wizard/end-to-end/snapferry-netns.sh", program,
                            "--host-name", "home", "--small-disk", "FamilyPhotos=3G", "--",
                            "/upload", pictures],
                           stdout=subprocess.PIPE, env=env, start_new_session=True)
    try:
        lines = Lines(run.stdout)
        deadline = time.monotonic() + SHEET_LIMIT
        waiting_for = "sheet"
        result = None
        while True:
            line = lines.next(deadline, waiting_for)
            if line is None:
                break
            if line.startswith("Sheet shown:") and waiting_for == "sheet":
                press_return_in_wizard(30)
                waiting_for = "end of the copy"
                deadline = time.monotonic() + COPY_LIMIT
            elif line.startswith("Copy run done:"):
                fields = line.split()
                result = (int(fields[fields.index("in") + 1]) / 1000.0,
                          int(fields[fields.index("within") + 1]))
                time.sleep(0.5)
                press_return_in_wizard(30)
                waiting_for = "end of the run"
                deadline = time.monotonic() + END_LIMIT
            elif line.startswith("Copy run"):
                raise RunFailed(line)
        if result is None:
            raise RunFailed(f"the wizard ended before its copy was done (waiting for the "
                            f"{waiting_for})")
        return result
    finally:
        stop(run)


try:
    results = [one_run(n) for n in range(runs)]
except RunFailed as failure:
    print(f"bench-wizard-copy: {failure}", file=sys.stderr)
    sys.exit(2)
wizard = statistics.median(r[0] for r in results)
stall = max(r[1] for r in results)
print(f"1,000 pictures of 200 KiB: wizard {wizard:.2f} s, engine {engine:.2f} s, "
      f"ratio {wizard / engine:.2f} (limit 1.05)")
print(f"Longest stall of the wizard's window while copying: {stall} ms (limit 50 ms)")
if wizard / engine > 1.05 or stall > 50:
    sys.exit(1)
PY
if ((status > 128)); then
  echo "bench-wizard-copy: interrupted; the runs were stopped" >&2
fi
exit "$status"

#!/usr/bin/env bash
# The start's work counted, not timed: the instructions (all threads) from exec to the first
# frame of the window, under callgrind, for the bare Qt Quick tray app, the same app showing a
# few of the panel's texts (--text), and quorvin's panel shown at once. On a shared machine the
# times of app_startup_bench.sh swing by a third from run to run; these counts do not move.
# Needs valgrind (apt-get install valgrind). Build first (bash scripts/build.sh); BUILD_DIR picks
# another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
command -v valgrind >/dev/null || { echo "valgrind missing: apt-get install valgrind" >&2; exit 1; }
for program in "$BUILD_DIR/src/app/quorvin" "$BUILD_DIR/bench/bare_tray_app"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 1; }
done

exec python3 - "$BUILD_DIR" <<'PY'
import os, signal, subprocess, sys
build = os.path.abspath(sys.argv[1])
sys.path.insert(0, "bench")
from private_desktop import PrivateDesktop

quorvin, bare = build + "/src/app/quorvin", build + "/bench/bare_tray_app"
runs = [("bare", [bare]), ("bare+text", [bare, "--text"]), ("quorvin", [quorvin])]
with PrivateDesktop("qv-instructions-", welcomed=False) as desk:
    desk.start()
    counts = {}
    for name, argv in runs:
        out = os.path.join(desk.work, name.replace("+", "-") + ".callgrind")
        env = dict(desk.env, QUORVIN_STARTUP_PROBE="1")
        p = subprocess.Popen(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out]
                             + argv, env=env, stdout=subprocess.PIPE,
                             stderr=open(out + ".err", "w"), stdin=subprocess.DEVNULL)
        if not p.stdout.readline().startswith(b"first-frame"):  # the first frame is out
            sys.exit("%s ended before its first frame:\n%s" % (name, open(out + ".err").read()))
        p.send_signal(signal.SIGTERM)
        p.wait(120)
        with open(out) as f:
            counts[name] = next(int(line.split()[1]) for line in f
                                if line.startswith(("summary:", "totals:")))
    for name, _ in runs:
        print("%-10s %7.1f M instructions to the first frame   %.2fx the bare app"
              % (name, counts[name] / 1e6, counts[name] / counts["bare"]))
    print("quorvin is %.2fx the bare app showing text (goal for start-up: 1.5x the bare app)"
          % (counts["quorvin"] / counts["bare+text"]))
PY

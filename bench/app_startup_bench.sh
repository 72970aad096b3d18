#!/usr/bin/env bash
# quorvin against a bare Qt Quick tray app (an icon and one empty 440 × 300 window), side by side
# in one run under the same private desktop (Xvfb, openbox, trayer), alternating so that both
# meet the same machine load:
#   - the time from exec to the first frame of the window (quorvin's panel, shown at once as the
#     first run would show it, without the first run's 0.5 s delay), and the CPU time spent by
#     then, which a busy machine disturbs less;
#   - the resident memory 5 s after that frame, with the window shown;
#   - the resident memory 5 s after the window was shown once and hidden (Escape typed into it),
#     quorvin with its download manager made and nothing downloading; and the anonymous part of
#     it (heap, stacks), which unlike the pages of shared libraries and fonts is this process's
#     alone;
#   - the same for the bare app showing a few of the panel's texts (--text), for reference: what
#     any app pays to show Chinese text, which the empty bare app does not;
#   - with IDLE_SECONDS set, one more pair run side by side, shown, hidden and left idle that
#     long (3600 for the hour a tray app idles through), then measured the same way.
# quorvin runs with QUORVIN_STARTUP_TRACE, and its steps are printed as the median time from
# exec, with the step's own share. Also checks that quorvin neither links nor maps Qt WebEngine.
# Goals: start-up at most 1.5 times and idle memory (after hiding) at most 1.3 times the bare
# app's. The machine's load average is printed with the figures: read them with it.
# Build first (bash scripts/build.sh); BUILD_DIR picks another build folder; ROUNDS the rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
ROUNDS="${ROUNDS:-5}"
IDLE_SECONDS="${IDLE_SECONDS:-0}"
quorvin="$BUILD_DIR/src/app/quorvin"
bare="$BUILD_DIR/bench/bare_tray_app"
for program in "$quorvin" "$bare"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 1; }
done

if ldd "$quorvin" | grep -qi webengine; then
  echo "FAIL: quorvin links Qt WebEngine"; exit 1
fi
echo "ldd: quorvin does not link Qt WebEngine"

exec python3 - "$quorvin" "$bare" "$ROUNDS" "$IDLE_SECONDS" <<'PY'
import os, shutil, signal, statistics, subprocess, sys, tempfile, time

quorvin, bare = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
rounds, idle_seconds = int(sys.argv[3]), int(sys.argv[4])
sys.path.insert(0, "bench")
from private_desktop import PrivateDesktop

PREFIX = "qv-startup-"

def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])

with PrivateDesktop(PREFIX, welcomed=False) as desk:
    env, home, work, procs, spawn = desk.env, desk.home, desk.work, desk.procs, desk.spawn
    desk.start()

    def rss_mib(pid, field="VmRSS:"):
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field):
                    return int(line.split()[1]) / 1024.0
        return float("nan")

    def xdotool(*args):
        return subprocess.run(["xdotool"] + list(args), env=env, capture_output=True,
                              text=True).stdout.split()

    def shown_window(pid):
        for window in xdotool("search", "--onlyvisible", "--pid", str(pid)):
            geometry = " ".join(xdotool("getwindowgeometry", window))
            if "x" in geometry and geometry.split("Geometry:")[-1].strip().startswith("440x"):
                return window
        return None

    # Escape, typed into the window as a person would; returns once it is gone from the screen.
    def hide(pid):
        window = shown_window(pid)
        if window is None:
            return False
        xdotool("windowactivate", "--sync", window)
        xdotool("key", "Escape")
        deadline = time.time() + 10
        while time.time() < deadline:
            if shown_window(pid) is None:
                return True
            time.sleep(0.05)
        return False

    # CPU time of all the process's threads so far, in ms (from the scheduler's ns counters).
    def cpu_ms(pid):
        total = 0
        for task in os.listdir("/proc/%d/task" % pid):
            try:
                with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                    total += int(f.read().split()[0])
            except OSError:
                pass
        return total / 1e6

    def launch(program, extra, args=()):
        e = dict(env, **extra)
        trace = open(os.path.join(work, "trace-%d" % len(procs)), "w+")
        started = time.time()
        p = subprocess.Popen([program, *args], env=e, stdout=subprocess.PIPE, stderr=trace,
                             stdin=subprocess.DEVNULL)
        procs.append(p)
        line = p.stdout.readline().decode().split()
        cpu = cpu_ms(p.pid)
        first = (int(line[1]) / 1000.0 - started) * 1000.0 if len(line) == 2 else float("nan")
        return p, started, first, trace, cpu

    def steps(trace, started):
        trace.seek(0)
        found = []
        for line in trace:
            parts = line.split(None, 4)
            if len(parts) == 5 and parts[0] == "startup-trace":
                found.append((parts[4].strip(), (float(parts[1]) - started * 1000.0,
                                                 float(parts[3]))))
        return found

    def stop(p):
        p.send_signal(signal.SIGTERM)
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill(); p.wait()

    def webengine_mapped(pid):
        with open("/proc/%d/maps" % pid) as f:
            return "webengine" in f.read().lower()

    def once(program, extra, args=()):
        p, started, first, trace, cpu = launch(program, extra, args)
        time.sleep(5)
        shown = rss_mib(p.pid)
        hidden_ok = hide(p.pid)
        time.sleep(5)
        hidden = rss_mib(p.pid) if hidden_ok else float("nan")
        anonymous = rss_mib(p.pid, "RssAnon:") if hidden_ok else float("nan")
        mapped = webengine_mapped(p.pid)
        stop(p)
        return first, shown, hidden, steps(trace, started), mapped, anonymous, cpu

    probe = {"QUORVIN_STARTUP_PROBE": "1", "QUORVIN_STARTUP_TRACE": "1"}
    results = {"quorvin": [], "bare": [], "bare+text": []}
    loads = [load()]
    for _ in range(rounds):
        results["bare"].append(once(bare, {}))
        results["quorvin"].append(once(quorvin, probe))
        results["bare+text"].append(once(bare, {}, ["--text"]))
        loads.append(load())
    if any(r[4] for r in results["quorvin"]):
        print("FAIL: quorvin maps Qt WebEngine")
        sys.exit(1)

    def median(values):
        values = [v for v in values if v == v]
        return statistics.median(values) if values else float("nan")

    if rounds > 0:
        print("load average (1, 5, 15 min) during the rounds: " + " | ".join(loads))
        med = {k: [median(r[i] for r in v) for i in (0, 1, 2, 5, 6)] for k, v in results.items()}
        for name in ("bare", "quorvin", "bare+text"):
            t, shown, hidden, anonymous, cpu = med[name]
            print("%-9s first frame %7.1f ms (CPU %5.1f ms)   RSS shown %6.1f MiB   RSS after "
                  "hiding %6.1f MiB (of it anonymous %5.1f)   (median of %d)"
                  % (name, t, cpu, shown, hidden, anonymous, rounds))
        ratio = [med["quorvin"][i] / med["bare"][i] for i in range(5)]
        print("ratio     start-up %.2fx (goal <= 1.5x; CPU %.2fx)   RSS shown %.2fx   RSS after "
              "hiding %.2fx (goal <= 1.3x)" % (ratio[0], ratio[4], ratio[1], ratio[2]))
        text = [med["bare+text"][i] / med["bare"][i] for i in range(5)]
        print("reference: the bare app with text is at start-up %.2fx (CPU %.2fx) and RSS after "
              "hiding %.2fx of the empty one" % (text[0], text[4], text[2]))

        # The steps in the first round's order; a step a round lacks is left out of its median.
        order = [name for name, _ in results["quorvin"][0][3]]
        print("\nquorvin's steps, medians: ms from exec, the step's own share, and the process's "
              "CPU ms so far (all threads)")
        previous = 0.0
        nan = (float("nan"), float("nan"))
        for name in order:
            at = median(dict(r[3]).get(name, nan)[0] for r in results["quorvin"])
            cpu = median(dict(r[3]).get(name, nan)[1] for r in results["quorvin"])
            print("  %8.1f  %+7.1f  %7.1f  %s" % (at, at - previous, cpu, name))
            previous = at

    if idle_seconds > 0:
        print("\nlong idle: both shown, hidden and left alone for %d s (load %s)"
              % (idle_seconds, load()))
        pairs = [launch(bare, {}), launch(quorvin, probe)]
        time.sleep(5)
        for p, *_ in pairs:
            hide(p.pid)
        # Checkpoints on the way, so that a long run says something before it ends.
        began = time.time()
        for mark in sorted(set([m for m in (300, 600, 1200, 1800, 2400, 3000)
                                if m < idle_seconds] + [idle_seconds])):
            time.sleep(max(0.0, began + mark - time.time()))
            rss = [rss_mib(p.pid) for p, *_ in pairs]
            anonymous = [rss_mib(p.pid, "RssAnon:") for p, *_ in pairs]
            print("after %5d s idle: bare %6.1f MiB (anonymous %4.1f)   quorvin %6.1f MiB "
                  "(anonymous %4.1f)   ratio %.2fx (goal <= 1.3x)   load %s"
                  % (mark, rss[0], anonymous[0], rss[1], anonymous[1], rss[1] / rss[0], load()),
                  flush=True)
        for p, *_ in pairs:
            stop(p)
PY

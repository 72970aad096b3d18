#!/usr/bin/env bash
# quorvin against a bare Qt Quick tray app (an icon and one empty 440 × 300 window), side by side
# in one run under the same private desktop (Xvfb, openbox, trayer): the time from exec to the
# first frame of the window, and the resident memory 5 s later (quorvin with its download
# manager made and nothing downloading). Also checks that quorvin does not link Qt WebEngine.
# Goals: start-up at most 1.3 times and memory at most 1.4 times the bare app's.
# Build first (bash scripts/build.sh); BUILD_DIR picks another build folder; ROUNDS the rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
ROUNDS="${ROUNDS:-5}"
quorvin="$BUILD_DIR/src/app/quorvin"
bare="$BUILD_DIR/bench/bare_tray_app"
for program in "$quorvin" "$bare"; do
  [ -x "$program" ] || { echo "missing $program: build first" >&2; exit 1; }
done

if ldd "$quorvin" | grep -qi webengine; then
  echo "FAIL: quorvin links Qt WebEngine"; exit 1
fi
echo "ldd: quorvin does not link Qt WebEngine"

exec python3 - "$quorvin" "$bare" "$ROUNDS" <<'PY'
import os, shutil, signal, statistics, subprocess, sys, tempfile, time

quorvin, bare, rounds = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), int(sys.argv[3])
work = tempfile.mkdtemp(prefix="qv-startup-")
procs = []

def spawn(args, env, **kw):
    p = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL, **kw)
    procs.append(p)
    return p

try:
    env = dict(os.environ)
    env.pop("WAYLAND_DISPLAY", None)
    home = os.path.join(work, "home")
    run = os.path.join(work, "run")
    os.makedirs(run, mode=0o700)
    for name, sub in (("HOME", ""), ("XDG_CONFIG_HOME", ".config"), ("XDG_DATA_HOME", ".local/share"),
                      ("XDG_STATE_HOME", ".local/state"), ("XDG_CACHE_HOME", ".cache")):
        env[name] = os.path.join(home, sub)
        os.makedirs(env[name], exist_ok=True)
    env["XDG_RUNTIME_DIR"] = run
    env["QT_QPA_PLATFORM"] = "xcb"
    r, w = os.pipe()
    spawn(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
          env, pass_fds=(w,), stderr=subprocess.DEVNULL)
    os.close(w)
    env["DISPLAY"] = ":" + os.read(r, 16).decode().strip()
    bus = spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env,
                stdout=subprocess.PIPE)
    env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
    spawn(["openbox"], env, stderr=subprocess.DEVNULL)
    spawn(["trayer", "--edge", "top", "--align", "right", "--height", "24"], env,
          stderr=subprocess.DEVNULL)
    time.sleep(1.5)

    def rss_kib(pid):
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0

    def once(program, extra):
        e = dict(env, **extra)
        started = time.time()
        p = subprocess.Popen([program], env=e, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             stdin=subprocess.DEVNULL)
        line = p.stdout.readline().decode().split()
        first = int(line[1]) / 1000.0 - started if len(line) == 2 else float("nan")
        time.sleep(5)
        rss = rss_kib(p.pid)
        p.send_signal(signal.SIGTERM)
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill(); p.wait()
        return first * 1000.0, rss / 1024.0

    results = {"quorvin": [], "bare": []}
    for _ in range(rounds):
        # Alternating, so both meet the same machine load.
        results["bare"].append(once(bare, {}))
        results["quorvin"].append(once(quorvin, {"QUORVIN_STARTUP_PROBE": "1"}))
    med = {k: (statistics.median(x[0] for x in v), statistics.median(x[1] for x in v))
           for k, v in results.items()}
    for name in ("bare", "quorvin"):
        t, m = med[name]
        print("%-8s first frame %7.1f ms   idle RSS %6.1f MiB   (median of %d)" % (name, t, m, rounds))
    tr = med["quorvin"][0] / med["bare"][0]
    mr = med["quorvin"][1] / med["bare"][1]
    print("ratio    start-up %.2fx (goal <= 1.3x)   RSS %.2fx (goal <= 1.4x)" % (tr, mr))
finally:
    for p in reversed(procs):
        p.terminate()
        try:
            p.wait(3)
        except subprocess.TimeoutExpired:
            p.kill()
    shutil.rmtree(work, ignore_errors=True)
PY

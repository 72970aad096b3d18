#!/usr/bin/env bash
# What a kept list of 200 items adds to quorvin's start: the time from exec to the panel's first
# frame (QUORVIN_STARTUP_PROBE) with no list, with the 10 newest items (enough to fill the
# panel, so it draws the same rows at the same height) and with a 200-item items.json (180 saved
# videos whose files exist, 10 failures, 10 downloads that were running), taking turns in one
# private desktop (Xvfb, openbox, trayer). Goal: at most 20 ms added (medians).
# Build first (bash scripts/build.sh); BUILD_DIR picks another build folder; ROUNDS the rounds.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
ROUNDS="${ROUNDS:-7}"
quorvin="$BUILD_DIR/src/app/quorvin"
[ -x "$quorvin" ] || { echo "missing $quorvin: build first" >&2; exit 1; }

exec python3 - "$quorvin" "$ROUNDS" <<'PY'
import json, os, shutil, signal, statistics, subprocess, sys, tempfile, time, uuid

quorvin, rounds = os.path.abspath(sys.argv[1]), int(sys.argv[2])
work = tempfile.mkdtemp(prefix="qv-journal-")
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
    # Not a first run: no welcome, only the probe's panel.
    os.makedirs(os.path.join(env["XDG_CONFIG_HOME"], "Quorvin"), exist_ok=True)
    with open(os.path.join(env["XDG_CONFIG_HOME"], "Quorvin", "Quorvin.conf"), "w") as f:
        f.write("[General]\nwelcomed2=true\n")

    desktop = os.path.join(home, "Desktop")
    os.makedirs(desktop, exist_ok=True)
    items = []
    for i in range(200):
        item = {"id": str(uuid.uuid4()), "link": "https://www.bilibili.com/video/BV1xx411c7m%d" % i,
                "platform": "bilibili", "title": "【4K】一段相当长的视频标题 第%d集" % i,
                "thumbnail": "http://127.0.0.1:9/%d.jpg" % i, "created": "2026-01-01T00:00:00.000Z"}
        if i < 180:
            path = os.path.join(desktop, "视频 %d.mp4" % i)
            open(path, "wb").close()
            item.update(phase="done", file=path, size=123456789, finished=item["created"])
        elif i < 190:
            item.update(phase="failed", finished=item["created"],
                        failure={"title": "网站拒绝了下载", "advice": "用浏览器的登录信息再试一次。",
                                 "actions": ["useBrowserCookies:firefox", "retry"], "cancel": False})
        else:
            item.update(phase="downloading")
        items.append(item)
    # The newest first: the running and failed ones on top, as a list looks after a crash.
    items.reverse()
    journals = {n: json.dumps({"format": 1, "items": items[:n]}, ensure_ascii=False).encode()
                for n in (10, 200)}
    support = os.path.join(env["XDG_DATA_HOME"], "Quorvin")
    os.makedirs(support, mode=0o700, exist_ok=True)

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

    def once(count):
        target = os.path.join(support, "items.json")
        for name in os.listdir(support):
            if name.startswith("items.json"):
                os.remove(os.path.join(support, name))
        if count:
            with open(target, "wb") as f:
                f.write(journals[count])
        e = dict(env, QUORVIN_STARTUP_PROBE="1")
        started = time.time()
        p = subprocess.Popen([quorvin], env=e, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             stdin=subprocess.DEVNULL)
        line = p.stdout.readline().decode().split()
        first = int(line[1]) / 1000.0 - started if len(line) == 2 else float("nan")
        p.send_signal(signal.SIGTERM)
        try:
            p.wait(10)
        except subprocess.TimeoutExpired:
            p.kill(); p.wait()
        if count:
            kept = json.load(open(target))["items"]
            assert len(kept) == count, "the list did not come back whole"
        return first * 1000.0

    results = {0: [], 10: [], 200: []}
    for _ in range(rounds):
        for count in results:
            results[count].append(once(count))
    med = {count: statistics.median(v) for count, v in results.items()}
    for count in results:
        print("first frame, %3d items  median %7.1f ms, fastest %7.1f ms (%d rounds)"
              % (count, med[count], min(results[count]), rounds))
    print("200 items over 10 (the restore)    %6.1f ms (goal <= 20)" % (med[200] - med[10]))
    print("200 items over none (with the rows) %5.1f ms" % (med[200] - med[0]))
finally:
    for p in reversed(procs):
        p.terminate()
        try:
            p.wait(3)
        except subprocess.TimeoutExpired:
            p.kill()
    shutil.rmtree(work, ignore_errors=True)
PY

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
sys.path.insert(0, "bench")
from private_desktop import PrivateDesktop

PREFIX = "qv-journal-"

with PrivateDesktop(PREFIX, welcomed=True) as desk:
    env, home, work, procs, spawn = desk.env, desk.home, desk.work, desk.procs, desk.spawn

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

    desk.start()

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
PY

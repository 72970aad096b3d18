#!/usr/bin/env bash
# FileDownload against `curl -o FILE`: the same 1 GiB file from the same local server, in one
# run. Prints each tool's throughput, the ratio and the peak RSS of each process.
# Build first (bash scripts/build.sh); BUILD_DIR picks another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
program="$BUILD_DIR/bench/file_download_bench"
[ -x "$program" ] || { echo "missing $program: build first" >&2; exit 1; }
command -v curl >/dev/null || { echo "curl missing: run scripts/setup.sh" >&2; exit 1; }
ROUNDS="${ROUNDS:-3}"
SIZE_MIB="${SIZE_MIB:-1024}"

work="$(mktemp -d)"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

head -c "$((SIZE_MIB * 1024 * 1024))" /dev/urandom >"$work/source.mp4"
cat "$work/source.mp4" >/dev/null  # both tools read it from the page cache

# The server runs until its standard input (a FIFO held open here) closes.
mkfifo "$work/control"
"$program" serve "$work/source.mp4" <"$work/control" >"$work/port" &
server_pid=$!
exec 3>"$work/control"
for _ in $(seq 50); do grep -q PORT "$work/port" 2>/dev/null && break; sleep 0.1; done
port="$(awk '/PORT/ {print $2}' "$work/port")"
url="http://127.0.0.1:$port/video.mp4"
bytes=$((SIZE_MIB * 1024 * 1024))

peak_kib() { awk -F': ' '/Maximum resident set size/ {print $2}' "$1"; }
# CPU seconds (user + system): steadier than wall time on a busy machine.
cpu_s() { awk -F': ' '/User time|System time/ {sum += $2} END {printf "%.2f", sum}' "$1"; }

best_ours=0 best_curl=0 rss_ours=0 rss_curl=0
for round in $(seq "$ROUNDS"); do
  start=$(date +%s.%N)
  TMPDIR="$work" /usr/bin/time -v -o "$work/time-ours" "$program" fetch "$url" >"$work/ours"
  end=$(date +%s.%N)
  ours=$(awk -v b="$bytes" -v s="$start" -v e="$end" 'BEGIN {printf "%.1f", b / 1e6 / (e - s)}')
  inner=$(sed -n 's/.*mbps=\([0-9.]*\).*/\1/p' "$work/ours")

  start=$(date +%s.%N)
  /usr/bin/time -v -o "$work/time-curl" curl -s -o "$work/curl.mp4" "$url"
  end=$(date +%s.%N)
  curl_rate=$(awk -v b="$bytes" -v s="$start" -v e="$end" 'BEGIN {printf "%.1f", b / 1e6 / (e - s)}')
  cmp -s "$work/source.mp4" "$work/curl.mp4" || { echo "curl copy differs" >&2; exit 1; }
  rm -f "$work/curl.mp4"

  echo "round $round: FileDownload $ours MB/s (transfer alone $inner MB/s), peak RSS $(( $(peak_kib "$work/time-ours") / 1024 )) MiB, CPU $(cpu_s "$work/time-ours") s;" \
       "curl $curl_rate MB/s, peak RSS $(( $(peak_kib "$work/time-curl") / 1024 )) MiB, CPU $(cpu_s "$work/time-curl") s"
  best_ours=$(awk -v a="$best_ours" -v b="$ours" 'BEGIN {print (b > a) ? b : a}')
  best_curl=$(awk -v a="$best_curl" -v b="$curl_rate" 'BEGIN {print (b > a) ? b : a}')
  rss_ours=$(awk -v a="$rss_ours" -v b="$(peak_kib "$work/time-ours")" 'BEGIN {print (b > a) ? b : a}')
  rss_curl=$(awk -v a="$rss_curl" -v b="$(peak_kib "$work/time-curl")" 'BEGIN {print (b > a) ? b : a}')
done

echo "file: ${SIZE_MIB} MiB, buffer: $(sed -n 's/.*buffer_mib=\([0-9.]*\).*/\1/p' "$work/ours") MiB, best of $ROUNDS (whole process, start-up included)"
echo "FileDownload: $best_ours MB/s, peak RSS $((rss_ours / 1024)) MiB"
echo "curl -o FILE: $best_curl MB/s, peak RSS $((rss_curl / 1024)) MiB"
awk -v a="$best_ours" -v b="$best_curl" 'BEGIN {printf "ratio FileDownload / curl: %.2fx\n", a / b}'

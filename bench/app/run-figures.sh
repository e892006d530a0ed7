#!/usr/bin/env bash
# The program's figures under wine, side by side in one run, on the demo disk:
#   start-up to the first Present against a bare Win32 window (median of 9 runs each, alternated);
#   CPU of the process while playing against orvelrender rendering the same seconds;
#   CPU of the process while stopped; its working set while playing; the size of the stripped exe;
#   what the meter and the clock add while playing, against the same disk without them, on the
#   layered window and on the classic one (the win98 prefix).
# Usage: bench/app/run-figures.sh [BUILD_ROOT]   (default build/; uses BUILD_ROOT/win)
source "$(dirname "$0")/program-session.sh" "${1:-}"
disk=$win/demo/disk
trap program_cleanup EXIT
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
cpu_ms() { local s; s=$(cat "/proc/$1/stat") && awk -v hz="$(getconf CLK_TCK)" '{ print ($12 + $13) * 1000 / hz }' <<<"${s##*) }"; }

for _ in $(seq 9); do
  (cd "$disk" && wine "$win/bench/app/bare_window.exe") | tr -d '\r' | awk '/startup_ms/ { print "bare", $2 }'
  (cd "$disk" && wine "$win/bench/app/musicdisk_first_present.exe") | tr -d '\r' | awk '/startup_ms/ { print "disk", $2 }'
done >"$MD_SESSION_DIR/startup"
bare=$(awk '$1 == "bare" { print $2 }' "$MD_SESSION_DIR/startup" | median)
first=$(awk '$1 == "disk" { print $2 }' "$MD_SESSION_DIR/startup" | median)
echo "start-up to first Present: ${first} ms; bare window: ${bare} ms; ratio $(awk -v a="$first" -v b="$bare" 'BEGIN { printf "%.2f", a / b }') (budget 1.5)"

# CPU ms of the process per 10 s while playing song 0 of a disk; with `stopped`, then also over
# 10 s while stopped before it.
play_cpu() { # disk [stopped]
  local a b idle=''
  disk_start "$1" wait
  sleep 3
  if [ -n "${2:-}" ]; then
    a=$(cpu_ms "$DISK_PID"); sleep 10; b=$(cpu_ms "$DISK_PID")
    idle=$(awk -v a="$a" -v b="$b" 'BEGIN { print b - a }')
  fi
  click_button "$1" ButtonPlayPause
  sleep 3
  a=$(cpu_ms "$DISK_PID"); sleep 20; b=$(cpu_ms "$DISK_PID")
  press_escape "$1"; disk_wait_exit
  echo "$(awk -v a="$a" -v b="$b" 'BEGIN { print (b - a) / 2 }') $idle"
}
read -r playing stopped <<<"$(play_cpu "$disk" stopped)"
echo "CPU while stopped: ${stopped} ms over 10 s (budget about 0)"

song=$(python3 "$DISKPY" get "$disk" PlayList.ini song0 file)
render_cpu() { # seconds: CPU ms of orvelrender rendering that many seconds of song 0
  (cd "$disk" && /usr/bin/time -f "%U %S" wine "$win/bin/orvelrender.exe" "$song" "$MD_SESSION_DIR/r.wav" \
    --seconds "$1" --float 2>&1 >/dev/null | tail -n1 | awk '{ print ($1 + $2) * 1000 }')
}
# Rendering 1 s and 21 s: the difference is 20 s of rendering without the process's start.
r1=$(for _ in 1 2 3; do render_cpu 1; done | median)
r21=$(for _ in 1 2 3; do render_cpu 21; done | median)
rendering=$(awk -v a="$r1" -v b="$r21" 'BEGIN { print (b - a) / 2 }')
echo "CPU while playing: ${playing} ms per 10 s, of which $(awk -v a="$playing" -v b="$stopped" 'BEGIN { print a - b }') ms over stopped;" \
  "the library rendering 10 s alone: ${rendering} ms;" \
  "ratio $(awk -v a="$playing" -v b="$rendering" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'), over stopped" \
  "$(awk -v a="$playing" -v s="$stopped" -v b="$rendering" 'BEGIN { printf "%.2f", (b > 0 ? (a - s) / b : 0) }') (budget 1.25)"

# The same disk with skin.ini's [Meter] and [Clock] taken out, played alternately with the disk.
plain=$MD_SESSION_DIR/plain
mkdir -p "$plain" && cp -a "$disk/." "$plain/"
python3 - "$plain/skin.ini" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="latin-1").read()
open(sys.argv[1], "w", encoding="latin-1").write(re.sub(r"(?ims)^\[(Meter|Clock)\][^[]*", "", text))
PY
# Four rounds: one round's difference swings by half a percent of a core on a busy machine.
face_cost() { # label budget
  local with=() without=() face
  for _ in 1 2 3 4; do with+=("$(play_cpu "$disk")"); without+=("$(play_cpu "$plain")"); done
  face=$(awk -v a="${with[*]}" -v b="${without[*]}" 'BEGIN { n = split(a, x, " "); split(b, y, " ");
    for (i = 1; i <= n; i++) sum += x[i] - y[i]; print sum / n }')
  # The display timer runs at two ticks of 15.625 ms: 32 frames a second.
  echo "meter and clock while playing, $1: ${with[*]} against ${without[*]} ms per 10 s without them: $face ms," \
    "$(awk -v f="$face" 'BEGIN { printf "%.2f", f / 100 }')% of one core ($2);" \
    "one frame: $(awk -v f="$face" 'BEGIN { printf "%.3f", f / 320 }') ms"
}
face_cost "layered window" "reported: Wine redoes the whole window on every layered update"
md_prefix_copy "$MD_WINEPREFIX_98" "$MD_SESSION_DIR/prefix98" && md_prefix_start "$MD_SESSION_DIR/prefix98" \
  && WINEPREFIX=$MD_SESSION_DIR/prefix98 face_cost "classic window" "budget 1.0%"

x86_64-w64-mingw32-strip -o "$MD_SESSION_DIR/musicdisk.exe" "$win/bin/musicdisk.exe"
echo "musicdisk.exe stripped: $(stat -c %s "$MD_SESSION_DIR/musicdisk.exe") bytes (budget 131072; 147456 with seeking and volume)"

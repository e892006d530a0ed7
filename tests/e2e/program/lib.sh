# The real musicdisk.exe driven as a person drives it: xdotool for the mouse and keys, import
# for the screen, parec for the sound, probe.exe for the window and the message boxes.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
MD_PROBE="$MD_BIN/tools/probe/probe.exe"
MUSICDISK="$MD_BIN/bin/musicdisk.exe"
DISKPY="$MD_SRC/scripts/lib/disk.py"
DISK_PID='' RECORDER='' CLOCK=''

# A copy of the demo disk to change freely: prints its folder.
disk_copy() {
  local dir
  dir=$(mktemp -d "$MD_SESSION_DIR/disk.XXXXXX")
  cp -a "$MD_BIN/demo/disk/." "$dir/"
  echo "$dir"
}

# Starts the program in DIR; with `wait`, returns once its window is on screen. Wine's own word
# of the sound server running dry goes to $MD_SESSION_DIR/wine.log, each line stamped with the
# seconds of the system's raw monotonic clock.
disk_start() { # dir [wait]
  (cd "$1" && WINEDEBUG=+timestamp,warn+pulse exec wine "$MUSICDISK" 2>>"$MD_SESSION_DIR/wine.log") &
  DISK_PID=$!
  [ "${2:-}" = wait ] || return 0
  disk_window_line >/dev/null && disk_shown "$1"
}

# The probe's line for the main window, waiting up to 30 s for it.
window_now() { wine "$MD_PROBE" window 2>/dev/null | tr -d '\r' | grep '^window'; }
disk_window_line() { local line; e2e_poll 30 eval 'line=$(window_now)' && echo "$line"; }
# Within a look at one screenshot, SHOT_RECT holds where the window was: one question to Wine.
disk_rect() { [ -n "${SHOT_RECT:-}" ] && echo "$SHOT_RECT" || disk_window_line | cut -f2; }
disk_exstyle() { disk_window_line | cut -f3; }
disk_iconic() { disk_window_line | cut -f4; }
disk_caption() { disk_window_line | cut -f5; }

# Screen coordinates of a point of the window.
at() { # x y
  local left top
  read -r left top _ <<<"$(disk_rect)"
  echo $((left + $1)) $((top + $2))
}

# The middle of a button, in screen coordinates.
button_centre() { # dir section
  local x y w h
  read -r x y w h <<<"$(python3 "$DISKPY" button "$1" "$2")"
  at $((x + w / 2)) $((y + h / 2))
}

click_button() { # dir section
  xdotool mousemove $(button_centre "$1" "$2") click 1
}

shot() { import -window root "$1"; }

# Polled on a fresh screenshot: what the window shows now.
screen_shows_button() { local SHOT_RECT; SHOT_RECT=$(disk_rect) && shot "$MD_SESSION_DIR/poll.png" &&
  shows_button "$1" "$MD_SESSION_DIR/poll.png" "$2" "$3"; }
shows_now() { # dir song key...: each of song N's pictures
  local dir=$1 song=$2 key SHOT_RECT; shift 2
  SHOT_RECT=$(disk_rect) && shot "$MD_SESSION_DIR/poll.png" || return 1
  for key; do shows_song_picture "$dir" "$MD_SESSION_DIR/poll.png" "$song" "$key" || return 1; done
}
# The window drawn: the stop button's picture where skin.ini puts it, idle, or lit where a start
# puts the window under the pointer that pressed Esc over it last time.
stop_shown() { screen_shows_button "$1" ButtonStop 0 || shows_button "$1" "$MD_SESSION_DIR/poll.png" ButtonStop 1; }
disk_shown() { e2e_poll 20 stop_shown "$1"; }  # dir

# Without a window manager the keys go to the window under the pointer: Esc is pressed over
# the stop button's picture, which is always part of the window.
press_escape() { # dir
  xdotool mousemove $(button_centre "$1" ButtonStop) sleep 0.2 key Escape
}

# Pixels of the window at (x, y) on SHOT that differ from the picture FILE.
differing_from() { # shot file x y
  local w h sx sy
  read -r w h <<<"$(identify -format '%w %h' "$2")"
  read -r sx sy <<<"$(at "$3" "$4")"
  convert "$1" -crop "${w}x${h}+${sx}+${sy}" +repage "$MD_SESSION_DIR/crop.png"
  compare -metric AE -fuzz 3% "$MD_SESSION_DIR/crop.png" "$2" null: 2>&1 | cut -d' ' -f1
}
# The picture SECTION KEY places (a button state, a song's picture) where it is drawn, to the pixel.
shows_placed() { # dir shot section key
  local x y
  read -r x y <<<"$(python3 "$DISKPY" placed "$1" "$3" "$4" "$MD_SESSION_DIR/entry.png")" &&
    [ "$(differing_from "$2" "$MD_SESSION_DIR/entry.png" "$x" "$y")" -eq 0 ]
}
shows_button() { shows_placed "$1" "$2" "$3" "pic$4"; }  # dir shot section state
# The song picture of ROW (pic0, pic1, TitlePic) of song N where PlayList.ini puts it.
shows_song_picture() { shows_placed "$1" "$2" "song$3" "$4"; }  # dir shot song key

record_start() { # file
  parec -d "$MD_SINK.monitor" --raw --format=s16le --rate=44100 --channels=2 --latency-msec=50 >"$1" &
  RECORDER=$!
  # What comes next is heard from its start: a busy machine may take seconds to connect a recorder.
  e2e_poll 15 test -s "$1"
}
record_stop() {
  if [ -n "$CLOCK" ]; then kill "$CLOCK" 2>/dev/null; wait "$CLOCK" 2>/dev/null; CLOCK=''; fi
  [ -n "$RECORDER" ] || return 0
  kill -INT "$RECORDER" 2>/dev/null; wait "$RECORDER" 2>/dev/null; RECORDER=''
}
# The recording's length against the clock until record_stop. A loaded machine feeds the recorder
# late, by as much as a second, never early: the least late sample within 3 s places a moment in
# the sound (not further off, as the recorder may also drop what it was fed too late to keep).
record_clock() { # recording
  python3 -c 'import os, sys, time
while True: size = os.path.getsize(sys.argv[1]); print(time.time(), size, flush=True); time.sleep(0.02)' \
    "$1" >"$1.clock" &
  CLOCK=$!
}
now() { echo "${EPOCHREALTIME/,/.}"; }
at_frames() { python3 - "$@" <<'PY'
import sys
clock = [(t, size / 4 / 44100 - t) for t, size in (map(float, line.split()) for line in open(sys.argv[1] + ".clock"))]
at = lambda t: round((t + max(ahead for s, ahead in clock if abs(s - t) <= 3)) * 44100)
print(*(at(float(t)) for t in sys.argv[2:]))
PY
}  # recording time...: the frame heard at each
# Peak absolute sample of a raw recording, or of its last SECONDS (0 for silence, -1 while the
# recording is shorter).
peak() { python3 -c "
import sys, array
data = open(sys.argv[1], 'rb').read()[: (1 << 30)]
tail = int(float(sys.argv[2]) * 44100) * 4 if len(sys.argv) > 2 else len(data) // 4 * 4
a = array.array('h', data[len(data) // 4 * 4 - tail: len(data) // 4 * 4] if tail <= len(data) else b'')
print(max(max(a), -min(a)) if a else -1 if tail > len(data) else 0)" "$@"; }
# Polled on a recording as it grows: sound has come, or the last SECONDS are silent.
heard() { [ "$(peak "$1")" -gt 1000 ]; }  # file
heard_for() { python3 -c "
import sys, array
data = open(sys.argv[1], 'rb').read()
a = array.array('h', data[: len(data) // 4 * 4])
first = next((i for i, v in enumerate(a) if abs(v) > 1000), len(a))
sys.exit((len(a) - first) < float(sys.argv[2]) * 88200)" "$1" "$2"; }  # file seconds
# The library's own rendering of a song of the disk in DIR, as WAV floats.
render_song() { (cd "$1" && wine "$MD_BIN/bin/orvelrender.exe" "$2" "$3" --seconds 30 --float >/dev/null); }  # dir song wav
# What sounds at the end of a recording is from somewhere in that song, not from another.
heard_song() { # dir song recording
  render_song "$1" "$(python3 "$DISKPY" get "$1" PlayList.ini "song$2" file)" "$MD_SESSION_DIR/heard.wav" &&
    python3 "$MD_SRC/tests/e2e/player/analyse.py" heard "$3" /dev/null "$MD_SESSION_DIR/heard.wav"
}
# A steady 500 Hz tone stepped between frames A and B and paused at C: the step in dB, the ms from B
# until it stands within 0.5 dB of where it settles (10 ms windows), and the ms from C to silence.
level_step() { python3 - "$@" <<'PY'
import array, math, sys
d = open(sys.argv[1], "rb").read(); p, (a, b, c) = array.array("h", d[: len(d) // 4 * 4]), map(int, sys.argv[2:])
db = lambda f: 10 * math.log10(sum(v * v for v in p[2 * f: 2 * f + 882: 2]) / 441 + 1e-9)
level = lambda r: sorted(db(f) for f in r)[len(r) // 2]
before, after = level(range(a - 44100, a - 441, 441)), level(range(b + 22050, b + 66150, 441))
ms = lambda x, fs, ok: next(((f - x) * 1000 // 44100 for f in fs if ok(f)), 9999)
print("%.2f %d %d" % (after - before, ms(b, range(a - 22050, c, 441), lambda f: all(abs(db(f + 441 * k) - after) < 0.5 for k in range(3))),
                      ms(c, range(c, len(p) // 2 - 441, 44), lambda f: not any(p[2 * f: 2 * f + 882]))))
PY
}  # file a b c
fell_silent() { [ "$(peak "$1" "$2")" -eq 0 ]; }  # file seconds

# Waits for the program to end and sets DISK_STATUS to its exit status (124 when it did not end
# in time).
disk_wait_exit() { # [seconds]
  e2e_poll "${1:-20}" eval '! kill -0 "$DISK_PID" 2>/dev/null' || { DISK_STATUS=124; return; }
  wait "$DISK_PID"; DISK_STATUS=$?
  DISK_PID=''
}
ends_with_status_0() { disk_wait_exit "$@"; [ "$DISK_STATUS" -eq 0 ]; }

# Every scenario begins so: a private session, a copy of the demo disk in $disk, scratch space in $S.
scenario_begin() {
  md_session_start || exit 1
  trap program_cleanup EXIT
  S=$MD_SESSION_DIR
  disk=$(disk_copy)
}

# Ends whatever the scenario left running, by PID.
program_cleanup() {
  record_stop
  if [ -n "$DISK_PID" ]; then kill "$DISK_PID" 2>/dev/null; wait "$DISK_PID" 2>/dev/null; fi
  md_session_stop
}

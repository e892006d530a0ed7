#!/usr/bin/env bash
# Disks with one fault each, as a real folder can hold them: every message box the program shows,
# read back as a person reads it (caption, text, icon), and what the program does after it. Through
# every fault it goes on answering, with no crash; a row ends with Esc where its steps say so.
source "$(dirname "$0")/lib.sh"
scenario_begin
set_ini() { python3 "$DISKPY" set "$d" "$@"; }

# The program runs, its window thread answers and no crash dialog stands, within SECONDS; the
# program's own boxes are answered meanwhile.
answers() { # [seconds]
  local end=$((SECONDS + ${1:-10}))
  until kill -0 "$DISK_PID" 2>/dev/null && ! wine "$MD_PROBE" boxes | grep -q $'^box\tProgram Error\t' &&
      wine "$MD_PROBE" answers >/dev/null; do
    [ $SECONDS -lt $end ] || { seen_now; return 1; }
    wine "$MD_PROBE" boxes | grep -q $'^box\tProgram Error\t' || wine "$MD_PROBE" ok >/dev/null 2>&1
    sleep 0.5
  done
}
# What a reader of a failure needs: whether the program lived, the boxes standing, whether its
# thread answered, and Wine's last words (a crash is told there).
seen_now() {
  echo "seen: alive $(kill -0 "$DISK_PID" 2>/dev/null && echo yes || echo no);" \
    "boxes [$(wine "$MD_PROBE" boxes | tr -d '\r' | paste -sd'|')];" \
    "$(wine "$MD_PROBE" answers 2>&1 | tr -d '\r' | paste -sd' ')"
  grep -v -e Underflow -e ':fixme:' "$S/wine.log" 2>/dev/null | tail -n 3 | sed 's/^/seen: wine: /'
}
lives() { # seconds: every box answered for that long, and the program still answers after
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt $end ]; do wine "$MD_PROBE" ok >/dev/null 2>&1; sleep 0.5; done
  answers
}
shown() { disk_window_line >/dev/null && disk_shown "$d"; }
clicked_heard() { # button
  shown || return 1
  record_start "$S/row.raw"; click_button "$d" "$1"; e2e_poll 10 heard "$S/row.raw"; local heard=$?
  record_stop; return $heard
}
tour() { # play, forward and info, answering all along
  shown && click_button "$d" ButtonPlayPause && lives 2 && click_button "$d" ButtonForward && lives 2 &&
    click_button "$d" ButtonInfo && lives 1
}

# NAME FAULT STEP...: a fresh copy of the demo disk in $d, FAULT run on it, the program started
# there, then each step checked in turn:
#   box TEXT     the next box reads TEXT (printf: caption\ttext\ticon), and OK closes it
#   lives N      answers every box for N seconds, and answers after
#   play         play is heard            forward   forward shows song 1 and is heard
#   tour         play, forward and info   rewind    a press of rewind
#   esc          Esc ends it with status 0               nobox     no box stands
fault() {
  local name=$1 step ended=''
  d=$(disk_copy); eval "$2" || { check "$name: the fault made" false; return; }
  shift 2
  disk_start "$d"
  while [ $# -gt 0 ]; do
    step=$1; shift
    case $step in
      box) check "$name: box $1" test "$(e2e_wait_box 20000)" = "$(printf "$1")"; shift ;;
      lives) check "$name: lives $1 s" lives "$1"; shift ;;
      play) check "$name: play is heard" clicked_heard ButtonPlayPause ;;
      forward) check "$name: forward is heard" clicked_heard ButtonForward
        check "$name: and shows song 1" e2e_poll 10 shows_now "$d" 1 TitlePic ;;
      tour) check "$name: play, forward and info" tour ;;
      rewind) click_button "$d" ButtonRewind; sleep 1 ;;
      nobox) check "$name: no box" test -z "$(wine "$MD_PROBE" boxes | tr -d '\r')" ;;
      esc) press_escape "$d"; check "$name: Esc ends it with status 0" ends_with_status_0; ended=1 ;;
      *) check "$name: a step named $step" false ;;
    esac
  done
  [ -n "$ended" ] && return
  check "$name: still answers, with no crash" answers
  kill "$DISK_PID" 2>/dev/null; wait "$DISK_PID" 2>/dev/null; DISK_PID=''
}

first=$(python3 "$DISKPY" get "$disk" skin.ini ButtonRewind pic0)
vfs_edit() { python3 - "$d/data.vfs" "$1" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
header = struct.unpack_from("<I", data, 4)[0]
if sys.argv[2] == "lying":
    struct.pack_into("<I", data, 4, 0x7FFFFFF0)  # a header that claims far more than the file holds
for i in range((header - 8) // 40 if sys.argv[2] == "not-png" else 0):
    if data[8 + 40 * i: 40 + 40 * i].split(b"\0")[0].lower() == b"pic.png":
        offset, size = struct.unpack_from("<II", data, 8 + 40 * i + 32)
        data[header + offset: header + offset + size] = bytes((7 * k) & 0xFF for k in range(size))
open(sys.argv[1], "wb").write(data)
PY
}
corrupt_song() { local song; song=$d/$(python3 "$DISKPY" get "$d" PlayList.ini song1 file)
  head -c 3000 "$song" >"$S/t"; head -c 20000 /dev/urandom >>"$S/t"; mv "$S/t" "$song"; }
long_values() { local long; long=$(printf 'x%.0s' $(seq 300))
  set_ini PlayList.ini Music Title "$long"; set_ini PlayList.ini Music NoInfo "$long"
  set_ini PlayList.ini song1 pic1 "$long"; set_ini skin.ini ButtonInfo pic1 "$long"; set_ini skin.ini Music song0 "$long"
  set_ini skin.ini Meter pic "$long"; }
not_loaded='Info\tSong not loaded\tinformation'

fault "no data.vfs" 'rm "$d/data.vfs"' box 'Error\tCannot open file: data.vfs \\nError code:2(2)\terror' \
  box "Shit\tCannot find file $first\terror"
fault "missing button picture" 'set_ini skin.ini ButtonStop pic1 no-such-button.png' \
  box 'Shit\tCannot find file no-such-button.png\terror' play
fault "missing song picture, said when the song starts" 'set_ini PlayList.ini song0 TitlePic no-such-title.png' \
  play box 'Shit!\tCannot find file no-such-title.png\terror'
fault "first song missing, said once" 'set_ini PlayList.ini song0 file no-such-song.xm' box "$not_loaded" forward
fault "truncated data.vfs" 'head -c 4000 "$d/data.vfs" >"$S/t" && mv "$S/t" "$d/data.vfs"' lives 4
fault "data.vfs with a lying headerSize" 'vfs_edit lying' lives 4
fault "pic.png that is not a PNG" 'vfs_edit not-png' lives 4
fault "a corrupt song" corrupt_song tour esc
fault "INI values of 300 characters" long_values lives 4 tour
fault "a broken meter and a clock over the edge" 'set_ini skin.ini Meter Bars 0; set_ini skin.ini Meter pic no.png
  set_ini skin.ini Clock X 490; set_ini skin.ini Clock Y 295' play nobox esc
fault "empty PlayList.ini" ': >"$d/PlayList.ini"' box "$not_loaded" tour rewind esc

# No sound server: the stream says so and throws a character string; the program then ends by
# itself with status 0.
no_device=$(printf 'Fatal error\tCould not create DirectSound object\terror')
PULSE_SERVER="unix:$S/no-such-server" wine "$MD_BIN/tests/e2e/audio/stream_driver.exe" construct >"$S/driver.out" 2>/dev/null &
driver=$!
check "the stream: no sound device" test "$(e2e_wait_box 20000)" = "$no_device"
wait "$driver"
check "  and its constructor threw a character string" test $? -eq 3 -a "$(tr -d '\r' <"$S/driver.out")" = thrown
d=$(disk_copy)
PULSE_SERVER="unix:$S/no-such-server" disk_start "$d"
check "the program: no sound device" test "$(e2e_wait_box 20000)" = "$no_device"
check "  then it ends with status 0" ends_with_status_0 20
e2e_finish

#!/usr/bin/env bash
# Disks with faults a real folder can hold: the program shows its box or carries on, and never
# crashes. Each ends with Esc or, where the window cannot take keys, by its PID after a check
# that it is still running.
source "$(dirname "$0")/lib.sh"
scenario_begin
set_ini() { python3 "$DISKPY" set "$@"; }

# Answers every box for SECONDS; fails if the program ended on its own.
survives() { # seconds
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt $end ]; do
    wine "$MD_PROBE" ok >/dev/null 2>&1
    kill -0 "$DISK_PID" 2>/dev/null || return 1
    sleep 0.5
  done
}
end_disk() { kill "$DISK_PID" 2>/dev/null; wait "$DISK_PID" 2>/dev/null; DISK_PID=''; }
play_for_a_while() { # disk
  disk_window_line >/dev/null || return 1
  click_button "$1" ButtonPlayPause; survives 2 && click_button "$1" ButtonForward && survives 2 \
    && click_button "$1" ButtonInfo && survives 1
}

# The three broken archives run side by side: nothing is clicked, each only has to live on.
disk=$(disk_copy); head -c 4000 "$disk/data.vfs" >"$S/t" && mv "$S/t" "$disk/data.vfs"
disk_start "$disk"; truncated=$DISK_PID

disk=$(disk_copy)
python3 - "$disk/data.vfs" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into("<I", data, 4, 0x7FFFFFF0)  # a header that claims far more than the file holds
open(sys.argv[1], "wb").write(data)
PY
disk_start "$disk"; lying=$DISK_PID

disk=$(disk_copy)
python3 - "$disk/data.vfs" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
header = struct.unpack_from("<I", data, 4)[0]
for i in range((header - 8) // 40):
    name = data[8 + 40 * i: 40 + 40 * i].split(b"\0")[0]
    if name.lower() == b"pic.png":
        offset, size = struct.unpack_from("<II", data, 8 + 40 * i + 32)
        start = header + offset
        data[start: start + size] = bytes((7 * k) & 0xFF for k in range(size))
open(sys.argv[1], "wb").write(data)
PY
disk_start "$disk"; not_png=$DISK_PID
survives 6 || true
check "truncated data.vfs" kill -0 "$truncated"
check "data.vfs with a lying headerSize" kill -0 "$lying"
check "pic.png that is not a PNG" kill -0 "$not_png"
for DISK_PID in "$truncated" "$lying" "$not_png"; do end_disk; done

disk=$(disk_copy); song=$(python3 "$DISKPY" get "$disk" PlayList.ini song1 file)
head -c 3000 "$disk/$song" >"$S/t"; head -c 20000 /dev/urandom >>"$S/t"; mv "$S/t" "$disk/$song"
disk_start "$disk"
check "a corrupt song" play_for_a_while "$disk"
press_escape "$disk"; check "  and Esc still ends it with status 0" ends_with_status_0

disk=$(disk_copy); long=$(printf 'x%.0s' $(seq 300))
set_ini "$disk" PlayList.ini Music Title "$long"
set_ini "$disk" PlayList.ini Music NoInfo "$long"
set_ini "$disk" PlayList.ini song1 pic1 "$long"
set_ini "$disk" skin.ini ButtonInfo pic1 "$long"
set_ini "$disk" skin.ini Music song0 "$long"
set_ini "$disk" skin.ini Meter pic "$long"
disk_start "$disk"
check "INI values of 300 characters" survives 4
check "  and the disk still plays" play_for_a_while "$disk"
end_disk

disk=$(disk_copy)
set_ini "$disk" skin.ini Meter Bars 0; set_ini "$disk" skin.ini Meter pic nothere.png
set_ini "$disk" skin.ini Clock X 490; set_ini "$disk" skin.ini Clock Y 295
disk_start "$disk" wait; click_button "$disk" ButtonPlayPause; sleep 4
check "a broken meter and a clock over the edge: it plays without a box" test -z "$(wine "$MD_PROBE" boxes | tr -d '\r')"
press_escape "$disk"; check "  and Esc ends it with status 0" ends_with_status_0

disk=$(disk_copy); : >"$disk/PlayList.ini"
disk_start "$disk"
check "empty PlayList.ini: the first song is not there" \
  test "$(e2e_wait_box 20000)" = "$(printf 'Info\tSong not loaded\tinformation')"
check "  and play, forward and rewind play nothing and crash nothing" play_for_a_while "$disk"
click_button "$disk" ButtonRewind; sleep 1
press_escape "$disk"; check "  and Esc ends it with status 0" ends_with_status_0
e2e_finish

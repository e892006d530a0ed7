#!/usr/bin/env bash
# Every message box of the program, read back as a person reads it (caption, text, icon), and
# what the program does after each.
source "$(dirname "$0")/lib.sh"
scenario_begin
set_ini() { python3 "$DISKPY" set "$@"; }
box() { e2e_wait_box 20000; }
stop_disk() { [ -n "$DISK_PID" ] && { kill "$DISK_PID"; wait "$DISK_PID" 2>/dev/null; DISK_PID=''; }; wineserver -w; }

# No data.vfs: the archive's box comes first, then every picture the skin names is missing.
disk=$(disk_copy); rm "$disk/data.vfs"
disk_start "$disk"
check "no data.vfs" test "$(box)" = "$(printf 'Error\tCannot open file: data.vfs \\nError code:2(2)\terror')"
first=$(python3 "$DISKPY" get "$disk" skin.ini ButtonRewind pic0)
check "then the missing button pictures" test "$(box)" = "$(printf 'Shit\tCannot find file %s\terror' "$first")"
stop_disk

# A button picture the archive does not hold; the program carries on and plays.
disk=$(disk_copy); set_ini "$disk" skin.ini ButtonStop pic1 no-such-button.png
disk_start "$disk"
check "missing button picture" test "$(box)" = "$(printf 'Shit\tCannot find file no-such-button.png\terror')"
disk_window_line >/dev/null; sleep 1
click_button "$disk" ButtonPlayPause; sleep 3.5
record_start "$S/a.raw"; sleep 1; record_stop
check "plays on after it" test "$(peak "$S/a.raw")" -gt 1000
stop_disk

# A song picture the archive does not hold: said when the song starts.
disk=$(disk_copy); set_ini "$disk" PlayList.ini song0 TitlePic no-such-title.png
disk_start "$disk" wait; sleep 1
click_button "$disk" ButtonPlayPause
check "missing song picture" test "$(box)" = "$(printf 'Shit!\tCannot find file no-such-title.png\terror')"
stop_disk

# The first song does not open: said once; forward still plays the next song.
disk=$(disk_copy); set_ini "$disk" PlayList.ini song0 file no-such-song.xm
disk_start "$disk"
check "first song missing" test "$(box)" = "$(printf 'Info\tSong not loaded\tinformation')"
disk_window_line >/dev/null; sleep 1
click_button "$disk" ButtonForward; sleep 1.5; shot "$S/next.png"
check "forward plays song 1" shows_song_picture "$disk" "$S/next.png" 1 TitlePic
sleep 2
record_start "$S/b.raw"; sleep 1; record_stop
check "and it is heard" test "$(peak "$S/b.raw")" -gt 1000
stop_disk

# No sound server: said, then the program ends by itself with status 0.
disk=$(disk_copy)
PULSE_SERVER="unix:$S/no-such-server" disk_start "$disk"
check "no sound device" test "$(box)" = "$(printf 'Fatal error\tCould not create DirectSound object\terror')"
check "then the program ends with status 0" ends_with_status_0 20
e2e_finish

#!/usr/bin/env bash
# Every message box of the program, read back as a person reads it (caption, text, icon), and
# what the program does after each.
source "$(dirname "$0")/lib.sh"
scenario_begin
set_ini() { python3 "$DISKPY" set "$@"; }
box() { e2e_wait_box 20000; }
stop_disk() { [ -n "$DISK_PID" ] && { kill "$DISK_PID"; wait "$DISK_PID" 2>/dev/null; DISK_PID=''; }; }

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
disk_window_line >/dev/null; disk_shown "$disk"
record_start "$S/a.raw"
click_button "$disk" ButtonPlayPause
check "plays on after it" e2e_poll 10 heard "$S/a.raw"
record_stop
stop_disk

# A song picture the archive does not hold: said when the song starts.
disk=$(disk_copy); set_ini "$disk" PlayList.ini song0 TitlePic no-such-title.png
disk_start "$disk" wait
click_button "$disk" ButtonPlayPause
check "missing song picture" test "$(box)" = "$(printf 'Shit!\tCannot find file no-such-title.png\terror')"
stop_disk

# The first song does not open: said once; forward still plays the next song.
disk=$(disk_copy); set_ini "$disk" PlayList.ini song0 file no-such-song.xm
disk_start "$disk"
check "first song missing" test "$(box)" = "$(printf 'Info\tSong not loaded\tinformation')"
disk_window_line >/dev/null; disk_shown "$disk"
record_start "$S/b.raw"
click_button "$disk" ButtonForward
check "forward plays song 1" e2e_poll 10 shows_now "$disk" 1 TitlePic
check "and it is heard" e2e_poll 10 heard "$S/b.raw"
record_stop
stop_disk

# No sound server: the stream says so and throws a character string; the program then ends by
# itself with status 0.
no_device=$(printf 'Fatal error\tCould not create DirectSound object\terror')
PULSE_SERVER="unix:$S/no-such-server" wine "$MD_BIN/tests/e2e/audio/stream_driver.exe" construct >"$S/driver.out" 2>/dev/null &
driver=$!
check "the stream: no sound device" test "$(box)" = "$no_device"
wait "$driver"
check "  and its constructor threw a character string" test $? -eq 3 -a "$(tr -d '\r' <"$S/driver.out")" = thrown
disk=$(disk_copy)
PULSE_SERVER="unix:$S/no-such-server" disk_start "$disk"
check "the program: no sound device" test "$(box)" = "$no_device"
check "  then it ends with status 0" ends_with_status_0 20
e2e_finish

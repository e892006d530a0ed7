#!/usr/bin/env bash
# The demo disk checks clean, and its release zip, unpacked into an empty folder, opens and plays.
source "$(dirname "$0")/lib.sh"
scenario_begin
check "vfspack check finds the demo disk clean (exit 0)" \
  "$(dirname "$MD_BIN")/native/tools/vfspack/vfspack" check "$MD_BIN/demo/disk"
check "the package is made" env MD_BUILD_ROOT="$(dirname "$MD_BIN")" \
  "$MD_SRC/scripts/package" "$MD_BIN/demo/disk" "$S/demo.zip"
mkdir "$S/unpacked" && (cd "$S/unpacked" && unzip -q "$S/demo.zip")
check "it holds the program, the library, the disk and a text" test -f "$S/unpacked/musicdisk.exe" -a \
  -f "$S/unpacked/OrvelPlayer.dll" -a -f "$S/unpacked/data.vfs" -a -f "$S/unpacked/README.txt" -a \
  -f "$S/unpacked/first-light.xm"
(cd "$S/unpacked" && exec wine ./musicdisk.exe) &
DISK_PID=$!
check "its window opens" disk_window_line
sleep 1
click_button "$S/unpacked" ButtonPlayPause
sleep 3
record_start "$S/p.raw"; sleep 1.5; record_stop
check "play is heard" test "$(peak "$S/p.raw")" -gt 1000
press_escape "$S/unpacked"
check "Esc ends it with status 0" ends_with_status_0
e2e_finish

#!/usr/bin/env bash
# The demo disk checks clean and packs into one folder. An author's disk whose songs Windows finds
# by another case and in a subfolder, and which names a song it lacks: the package stops and
# names that song; without it the zip, unpacked into an empty folder, opens and plays both songs.
source "$(dirname "$0")/lib.sh"
scenario_begin
package() { env MD_BUILD_ROOT="$(dirname "$MD_BIN")" "$MD_SRC/scripts/package" "$@"; }
check "vfspack check finds the demo disk clean (exit 0)" \
  "$(dirname "$MD_BIN")/native/tools/vfspack/vfspack" check "$MD_BIN/demo/disk"
check "the demo's package is made" package "$MD_BIN/demo/disk" "$S/demo.zip"
check "every entry lies in the folder musicdisk-demo" \
  test "$(unzip -Z1 "$S/demo.zip" | cut -d/ -f1 | sort -u)" = musicdisk-demo

author="$S/Sunday disk"
mv "$disk" "$author"
mv "$author/first-light.xm" "$author/Song.XM"
mkdir "$author/Music" && mv "$author/night-pulse.ogg" "$author/Music/a.ogg"
python3 "$DISKPY" set "$author" PlayList.ini song0 file song.xm
python3 "$DISKPY" set "$author" PlayList.ini song1 file 'music\a.ogg'
python3 "$DISKPY" set "$author" PlayList.ini song2 file gone.wav
package "$author" "$S/sunday.zip" >"$S/refused.log" 2>&1
check "a missing song stops the package" test $? -eq 2 -a ! -e "$S/sunday.zip"
check "which names it" grep -q 'PlayList.ini \[song2\] file: song "gone.wav" is not in' "$S/refused.log"
python3 "$DISKPY" set "$author" PlayList.ini song2 file ""
check "without it the package is made" package "$author" "$S/sunday.zip"

mkdir "$S/unpacked" && (cd "$S/unpacked" && unzip -q "$S/sunday.zip")
check "the zip unpacks into one folder named after the disk" test "$(ls -A "$S/unpacked")" = "Sunday disk"
u="$S/unpacked/Sunday disk"
check "it holds the program, the library, the disk, the songs in their folders and a text" \
  test -f "$u/musicdisk.exe" -a -f "$u/OrvelPlayer.dll" -a -f "$u/data.vfs" -a -f "$u/README.txt" -a \
  -f "$u/Song.XM" -a -f "$u/Music/a.ogg"
readme=$(tr -d '\r' <"$u/README.txt" | tr '\n' ' ')
check "the text says how to start it, where it runs and how to pass SmartScreen" eval \
  '[[ $readme == *"Extract All"*"open the folder \"Sunday disk\""* && $readme == *"64-bit Windows 7 or later"* &&
     $readme == *"More info"*"Run anyway"* ]]'
(cd "$u" && exec wine ./musicdisk.exe) &
DISK_PID=$!
check "its window opens" disk_window_line
disk_shown "$u"
record_start "$S/p.raw"
click_button "$u" ButtonPlayPause
check "play is heard" e2e_poll 10 heard "$S/p.raw"
record_stop
click_button "$u" ButtonForward
check "forward shows the song in the subfolder" e2e_poll 10 shows_now "$u" 1 TitlePic
record_start "$S/f.raw"
e2e_poll 10 heard_for "$S/f.raw" 2.5
record_stop
check "and plays it, not the first song" heard_song "$u" 1 "$S/f.raw"
check "with no message box" test -z "$(wine "$MD_PROBE" boxes 2>/dev/null | tr -d '\r')"
press_escape "$u"
check "Esc ends it with status 0" ends_with_status_0
e2e_finish

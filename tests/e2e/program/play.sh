#!/usr/bin/env bash
# The demo disk from start to Esc: the window as it opens, silence until play, then play, the
# song's own samples on the sound card, pause and resume, stop, forward and rewind with their
# wrap-around, the info toggle between pictures of different sizes, and a clean exit. The disk's
# folder is named outside the ANSI code page, as a user's folder may be:
#   play.sh           Дмитрий/音楽 disk, on a Western code page
#   play.sh russian   Zoë, on the Russian code page; up to the first song's sound
source "$(dirname "$0")/lib.sh"
if [ "${1:-}" = russian ]; then
  export LANG=ru_RU.UTF-8  # Wine's ANSI code page follows it
  folder="Zoë"
else
  folder="Дмитрий/音楽 disk"
fi
scenario_begin

# Song 1's second info picture two thirds the size of its first.
mkdir "$S/pictures"
wine "$MD_BIN/bin/vfspack.exe" extract "$disk/data.vfs" "$S/pictures" >/dev/null
read -r iw ih <<<"$(python3 "$DISKPY" entry "$disk" "$(python3 "$DISKPY" get "$disk" PlayList.ini song1 pic1)")"
sw=$((iw * 2 / 3)) sh=$((ih * 2 / 3))
convert "$S/pictures/$(python3 "$DISKPY" get "$disk" PlayList.ini song1 pic1)" -crop "${sw}x${sh}+0+0" +repage \
  -strip "PNG32:$S/pictures/small-about.png"
wine "$MD_BIN/bin/vfspack.exe" create "$disk/data.vfs" "$S/pictures" >/dev/null
python3 "$DISKPY" set "$disk" PlayList.ini song1 pic1 small-about.png
# Made at its first path: vfspack reads its arguments in the ANSI code page.
mkdir -p "$(dirname "$S/$folder")" && mv "$disk" "$S/$folder" && disk="$S/$folder"

disk_start "$disk" wait
check "no message box" test -z "$(wine "$MD_PROBE" boxes | tr -d '\r')"
read -r pw ph <<<"$(python3 "$DISKPY" entry "$disk" pic.png)"
check "window at (100, 100) with the size of pic.png" test "$(disk_rect)" = "100 100 $((100 + pw)) $((100 + ph))"
check "caption from Title" test "$(disk_caption)" = "$(python3 "$DISKPY" get "$disk" PlayList.ini Music Title)"
check "layered window" test $(( $(disk_exstyle) & 0x80000 )) -ne 0
shot "$S/start.png"
for b in ButtonRewind ButtonPlayPause ButtonStop ButtonForward ButtonEject ButtonInfo; do
  check "$b idle" shows_button "$disk" "$S/start.png" $b 0
done
record_start "$S/quiet.raw"; sleep 2; record_stop
check "nothing plays before a button is pressed" test "$(peak "$S/quiet.raw")" -eq 0

record_start "$S/song0.raw"
click_button "$disk" ButtonPlayPause
check "play/pause shows playing under the pointer" e2e_poll 10 screen_shows_button "$disk" ButtonPlayPause 3
check "title picture of song 0" e2e_poll 10 shows_now "$disk" 0 TitlePic
check "info picture of song 0" e2e_poll 10 shows_now "$disk" 0 pic0
song0=$(python3 "$DISKPY" get "$disk" PlayList.ini song0 file)
(cd "$disk" && wine "$MD_BIN/bin/orvelrender.exe" "$song0" "$S/reference.wav" --seconds 20 --float >/dev/null)
e2e_poll 15 heard_for "$S/song0.raw" 7.5
record_stop
check "song 0 as the library renders it, through the conversion, sample for sample" \
  python3 "$MD_SRC/tests/e2e/player/analyse.py" song "$S/song0.raw" /dev/null "$S/reference.wav"
if [ "${1:-}" = russian ]; then
  press_escape "$disk"
  check "Esc ends the program with status 0" ends_with_status_0
  e2e_finish; exit
fi

# Pause: silence after what was already in the buffer; play: the song goes on.
record_start "$S/paused.raw"
click_button "$disk" ButtonPlayPause
check "play/pause shows paused" e2e_poll 10 screen_shows_button "$disk" ButtonPlayPause 5
check "paused is silent" e2e_poll 10 fell_silent "$S/paused.raw" 1.5
record_stop
record_start "$S/resumed.raw"
click_button "$disk" ButtonPlayPause
check "play after pause sounds again" e2e_poll 10 heard "$S/resumed.raw"
record_stop

record_start "$S/stopped.raw"
click_button "$disk" ButtonStop
check "stop is silent" e2e_poll 10 fell_silent "$S/stopped.raw" 1
record_stop
check "play/pause shows stopped" e2e_poll 10 screen_shows_button "$disk" ButtonPlayPause 0

# Rewind from song 0 wraps to the last song; forward from there wraps to song 0 and goes on.
# A second between presses: one that comes while the song still changes may not be taken.
click_button "$disk" ButtonRewind
check "rewind wraps to song 2" e2e_poll 10 shows_now "$disk" 2 TitlePic
sleep 1; click_button "$disk" ButtonForward
check "forward wraps to song 0" e2e_poll 10 shows_now "$disk" 0 TitlePic
sleep 1; click_button "$disk" ButtonForward
check "forward plays song 1" e2e_poll 10 shows_now "$disk" 1 TitlePic
# Past the change's handshake nothing of song 0 is left to hear.
sleep 2
record_start "$S/song1.raw"
check "song 1 is heard" e2e_poll 10 heard "$S/song1.raw"
record_stop

# Info: the other row cross-fades in and stands there whole after the fade, smaller or larger.
click_button "$disk" ButtonInfo
check "info shows the other, smaller picture of song 1" e2e_poll 10 shows_now "$disk" 1 pic1
cp "$S/poll.png" "$S/info.png"
ix=$(python3 "$DISKPY" get "$disk" PlayList.ini Music InfoX) iy=$(python3 "$DISKPY" get "$disk" PlayList.ini Music InfoY)
python3 "$DISKPY" extract "$disk" pic.png "$S/pic.png"
convert "$S/pic.png" -crop "$((iw - sw))x${ih}+$((ix + sw))+${iy}" +repage -alpha off "$S/beside.png"
check "and the background where the larger one stood" test "$(differing_from "$S/info.png" "$S/beside.png" $((ix + sw)) "$iy")" -eq 0
click_button "$disk" ButtonInfo
check "info back to the larger picture, whole" e2e_poll 10 shows_now "$disk" 1 pic0

press_escape "$disk"
check "Esc ends the program with status 0" ends_with_status_0
e2e_finish

#!/usr/bin/env bash
# The window as a person handles it: hover, a press on a button that drags the window and still
# fires, the volume and width kept for the next start, drags that lose their capture or their
# button, minimise and restore, and the eject button that closes on its release.
#   window.sh            the layered window (default prefix)
#   window.sh classic    the plain popup repainted through WM_PAINT (win98 prefix)
source "$(dirname "$0")/lib.sh"
[ "${1:-}" = classic ] && export WINEPREFIX=$MD_WINEPREFIX_98
scenario_begin
sox -q -n -r 44100 -c 2 -b 16 "$disk/tone.wav" synth 60 sine 500 vol 0.5
python3 "$DISKPY" set "$disk" PlayList.ini song0 file tone.wav
kept="$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")/musicdisk/listener.ini"

disk_start "$disk" wait
shot "$S/start.png"
check "the skin is on screen" shows_button "$disk" "$S/start.png" ButtonStop 0

xdotool mousemove $(button_centre "$disk" ButtonForward)
check "hover lights the button" e2e_poll 10 screen_shows_button "$disk" ButtonForward 1
# A point of the body away from every button (the skin keeps one there).
body=$(at 340 200)
xdotool mousemove $body
check "moving off it puts it back" e2e_poll 10 screen_shows_button "$disk" ButtonForward 0

# Press on play, drag by (60, 40), release: the window moves and the song starts.
record_start "$S/dragged.raw"
read -r x y <<<"$(button_centre "$disk" ButtonPlayPause)"
xdotool mousemove "$x" "$y" mousedown 1
for i in 1 2 3 4; do xdotool mousemove $((x + 15 * i)) $((y + 10 * i)); sleep 0.1; done
xdotool mouseup 1
sleep 1
# Wine may serve the last move with the cursor of the one before: allow one step behind.
read -r left top right bottom <<<"$(disk_rect)"
check "the drag moved the window with the pointer" test "$left" -ge 145 -a "$left" -le 160 -a "$top" -ge 130 -a "$top" -le 140
check "the press still played" e2e_poll 10 heard "$S/dragged.raw"
record_stop

# Down four times: 80% on the cube law, 20 log10(0.8^3) = -5.8 dB, heard as soon as the device
# lets a pause be heard. The presses are placed in the sound by the recorder's clock. W narrows the width.
record_start "$S/volume.raw" && record_clock "$S/volume.raw"
xdotool mousemove $(at 340 200) sleep 1.5
a=$(now) && xdotool key Down Down Down Down && b=$(now) && sleep 2 && c=$(now) && xdotool key space sleep 1
record_stop
read -r step ms floor <<<"$(level_step "$S/volume.raw" $(at_frames "$S/volume.raw" "$a" "$b" "$c"))"
check "Down four times: ${step} dB, within 0.2 dB of -5.8, heard ${ms} ms after the last: within 100 ms of the ${floor} ms a pause takes" \
  awk -v s="$step" -v m="$ms" -v f="$floor" 'BEGIN { exit !(s > -6.01 && s < -5.61 && m <= f + 100) }'
xdotool key w

# Steps of 8 from a point of the body stay over the body.
moves() { # x y first last
  for i in $(seq "$3" "$4"); do xdotool mousemove $(($1 + 8 * i)) $(($2 + 8 * i)); sleep 0.1; done
  sleep 0.5
}
# Alt+Tab takes the capture away while the button is held; the pointer goes on over the window.
read -r x y <<<"$(at 340 200)"
xdotool mousemove "$x" "$y" mousedown 1
moves "$x" "$y" 1 2
wine "$MD_PROBE" cancel-mode
before=$(disk_rect)
check "the drag moved the window before" test "$before" != "$left $top $right $bottom"
moves "$x" "$y" 3 5
check "a drag that lost the capture leaves the window" test "$(disk_rect)" = "$before"
xdotool mouseup 1
# A press whose release went elsewhere: the pointer then moves with no button held.
wine "$MD_PROBE" left-down
sleep 0.5
read -r x y <<<"$(at 340 200)"
moves "$x" "$y" 1 3
check "a move without the left button leaves the window" test "$(disk_rect)" = "$before"

iconic_is() { [ "$(disk_iconic)" = "$1" ]; }
xdotool mousemove $(at 340 200) click 3
check "a right click minimises" e2e_poll 10 iconic_is 1
wine "$MD_PROBE" restore
check "restored" e2e_poll 10 iconic_is 0
check "the skin is presented again" e2e_poll 10 screen_shows_button "$disk" ButtonStop 0

click_button "$disk" ButtonEject
check "eject ends the program with status 0" ends_with_status_0
check "no process is left" test -z "$(e2e_session_pids 'bin/musicdisk.exe')"

value() { wine "$MD_PROBE" accessible | tr -d '\r' | head -n1 | cut -f3; }
disk_start "$disk" wait
check "the next start tells the volume and the width kept" test "$(value)" = "Song 1: tone.wav, stopped, volume 80%, width 50%"
press_escape "$disk" && disk_wait_exit
printf '[Listener]\r\nVolume=900\r\nWidth=33\r\n\x89PNG\x00\xff\r\n[' >"$kept"
disk_start "$disk" wait
check "a garbled listener.ini gives the defaults, and no box" eval \
  '[ "$(value)" = "Song 1: tone.wav, stopped, volume 100%" ] && [ -z "$(wine "$MD_PROBE" boxes | tr -d "\r")" ]'
press_escape "$disk"
e2e_finish

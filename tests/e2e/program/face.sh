#!/usr/bin/env bash
# The meter and the clock show what is heard: a song of a second of a low tone, a second of
# silence and a second of a high tone, three times over, photographed at polled times while it
# is recorded, paused in its second low tone and dragged by its clock, minimised and restored by
# its taskbar button and by another program, played on into its start again, then stopped. The
# clock's digits are see-through around their strokes, so the face must show between them.
#   face.sh            the layered window (default prefix)
#   face.sh classic    the plain popup repainted through WM_PAINT (win98 prefix)
source "$(dirname "$0")/lib.sh"
[ "${1:-}" = classic ] && export WINEPREFIX=$MD_WINEPREFIX_98
scenario_begin
sox -q -n -r 44100 -c 2 -b 16 "$S/low.wav" synth 1 sine 80 vol 0.5
sox -q -n -r 44100 -c 2 -b 16 "$S/quiet.wav" trim 0 1
sox -q -n -r 44100 -c 2 -b 16 "$S/high.wav" synth 1 sine 6000 vol 0.5
sox -q "$S"/{low,quiet,high}.wav "$S"/{low,quiet,high}.wav "$S"/{low,quiet,high}.wav "$disk/tone.wav"
python3 "$DISKPY" set "$disk" PlayList.ini song0 file tone.wav
python3 "$DISKPY" set "$disk" PlayList.ini song1 file ""
vfspack=$(dirname "$MD_BIN")/native/tools/vfspack/vfspack
"$vfspack" extract "$disk/data.vfs" "$S/pictures" >/dev/null
python3 - "$S/pictures" "$(python3 "$DISKPY" get "$disk" skin.ini Clock X)" "$(python3 "$DISKPY" get "$disk" skin.ini Clock Y)" <<'PY'
import sys
from PIL import Image
d, cx, cy = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
pic, strip = Image.open(d + "/pic.png").convert("RGBA"), Image.open(d + "/digits.png").convert("RGBA")
gw = strip.width // 11
for x in range(strip.width):
    for y in range(strip.height):
        face = pic.getpixel((cx + x % gw, cy + y))
        if max(abs(a - b) for a, b in zip(strip.getpixel((x, y))[:3], face[:3])) <= 24: strip.putpixel((x, y), (0, 0, 0, 0))
strip.save(d + "/digits.png")
PY
"$vfspack" create "$disk/data.vfs" "$S/pictures" >/dev/null
for name in pic.png meter.png digits.png; do cp "$S/pictures/$name" "$S/$name"; done

disk_start "$disk" wait
read -r left top _ <<<"$(disk_rect)"
frames() { echo $(( $(stat -c %s "$S/face.raw") / 4 )); }
# Each shot with the frames recorded just before and just after it, and what was last pressed.
n=0 phase=play
snap() { local a; a=$(frames); shot "$S/shot$n.png"; echo "$n $a $(frames) $phase $left $top" >>"$S/shots"; n=$((n + 1)); }
snap_for() { local end=$(($(date +%s%N) + $1 * 1000000)); while [ "$(date +%s%N)" -lt $end ]; do snap; done; }
record_start "$S/face.raw"
sleep 0.5
click_button "$disk" ButtonPlayPause
xdotool mousemove $(at 2 2)
end=$((SECONDS + 8))
until heard "$S/face.raw" || [ $SECONDS -gt $end ]; do snap; done
# The first frame from FROM on that sounds after at least QUIET quiet ones.
loud_after() { python3 -c "import array, sys; d = open(sys.argv[1], 'rb').read(); a = array.array('h', d[: len(d) // 4 * 4])
quiet = 0
for i in range(2 * int(sys.argv[2]), len(a), 2):
    if abs(a[i]) > 1000 and quiet >= int(sys.argv[3]): print(i // 2); break
    quiet = 0 if abs(a[i]) > 1000 else quiet + 1" "$S/face.raw" "$1" "$2"; }
onset=$(loud_after 0 0)
# The pause is pressed in the tones after the first quiet second, timed by the sound alone from the
# tone at 2 s: dropouts before it would put a count from the start too late. Where to press is asked
# of Wine beforehand, and no shot is begun in the last 0.6 s, for on a loaded machine either may
# take until the song's next quiet second.
read -r px py <<<"$(button_centre "$disk" ButtonPlayPause)"
until [ $(( $(frames) - onset )) -gt 110000 ] || [ $SECONDS -gt $((end + 6)) ]; do snap; done
until tone2=$(loud_after "$onset" 30000) && [ -n "$tone2" ] || [ $SECONDS -gt $((end + 6)) ]; do sleep 0.05; done
until [ $(( $(frames) - ${tone2:-$onset} )) -gt 50000 ] || [ $SECONDS -gt $((end + 6)) ]; do sleep 0.02; done
xdotool mousemove "$px" "$py" click 1 && phase=pause
snap_for 1200
# The press goes through the clock to the face: the window moves, and its meter and clock with it.
read -r x y <<<"$(at $(($(python3 "$DISKPY" get "$disk" skin.ini Clock X) + 3)) $(($(python3 "$DISKPY" get "$disk" skin.ini Clock Y) + 3)))"
xdotool mousemove "$x" "$y" mousedown 1
for i in 1 2 3; do xdotool mousemove $((x + 10 * i)) $((y + 8 * i)); sleep 0.1; done
xdotool mouseup 1
before="$left $top" && read -r left top _ <<<"$(disk_rect)"
check "a drag from the clock moves the window" test "$left $top" != "$before"
read -r x y <<<"$(at $(($(python3 "$DISKPY" get "$disk" skin.ini Clock X) + 3)) $(($(python3 "$DISKPY" get "$disk" skin.ini Clock Y) + 3)))"
snap_for 1300
click_button "$disk" ButtonPlayPause && phase=play
xdotool mousemove $(at 2 2)
snap_for 1000
# Minimised by a right click on the face, restored from the taskbar, then by another program.
iconic_is() { [ "$(disk_iconic)" = "$1" ]; }
for route in restore show-restore; do
  xdotool mousemove "$x" "$y" click 3
  e2e_poll 10 iconic_is 1 && sleep 0.5
  wine "$MD_PROBE" "$route"
  check "restored by probe $route" e2e_poll 10 iconic_is 0
  xdotool mousemove $(at 2 2)
  snap_for 700
done
check "one visible window while playing" test "$(wine "$MD_PROBE" windows | tr -d '\r' | cut -f2)" = 1
snap_for 6000
click_button "$disk" ButtonStop && phase=stop
snap_for 1200
record_stop
meter=$(for k in X Y Width Height Bars Gap; do python3 "$DISKPY" get "$disk" skin.ini Meter $k; done)
clock=$(for k in X Y; do python3 "$DISKPY" get "$disk" skin.ini Clock $k; done)
/usr/bin/python3 - "$(dirname "$0")" "$S" "$meter" "$clock" >"$S/face.txt" <<'PY'
import array, sys
import numpy as np
from PIL import Image
sys.path.insert(0, sys.argv.pop(1))
from seek_heard import dropouts
S, (mx, my, mw, mh, bars, gap), (cx, cy) = sys.argv[1], *(list(map(int, a.split())) for a in sys.argv[2:])
rate, bw = 44100, (mw - gap * (bars - 1)) // bars
data = open(S + "/face.raw", "rb").read()
pcm = array.array("h", data[: len(data) // 4 * 4])
loud = [max(abs(v) for v in pcm[i:i + 882]) > 1000 for i in range(0, len(pcm) - 882, 882)]  # 10 ms blocks
onset, last = loud.index(True) * 441, (len(loud) - loud[::-1].index(True)) * 441
# The pause: the one quiet stretch of more than 1.5 s between two sounds.
runs, start = [], None
for i, l in enumerate(loud + [True]):
    if not l and start is None: start = i
    if l and start is not None: runs.append((start * 441, i * 441)); start = None
g0, g1 = next(((a, b) for a, b in runs if b - a > 1.5 * rate and a > onset and b < len(loud) * 441), (1e12, 1e12))
# The change back to the song's start: its last frame heard, then the cleared buffer.
e0, e1 = next(((a, b) for a, b in runs if b - a > 1.5 * rate and a > g1 and b < len(loud) * 441), (1e12, 1e12))
# The song stood still through the sound path's dropouts too: digital silence on both sides. The
# song's quiet seconds are dithered, though a run that ends in one may still be a second longer:
# what is past the second there is taken as spread over the run.
dry = [(a, b, b - a if b - a < 0.9 * rate else max(0, b - a - rate))
       for a, b in dropouts(np.abs(np.frombuffer(data[: len(data) // 4 * 4], dtype="<i2").astype(int)).reshape(-1, 2).sum(1))
       if b - a >= 32 and onset <= a and b <= last and (b <= g0 or a >= g1) and (b <= e0 or a >= e1)]
# Paused in the quiet second all the same, the song's quiet and the pause are one run: the pause
# holds only as much of it as passed between its press and the next, taken as spread over the run.
phases = [(int(a), phase) for _, a, _, phase, *_ in map(str.split, open(S + "/shots"))]
pressed = next((a for a, phase in phases if phase == "pause"), 0)
paused = next((a for a, phase in phases if phase == "play" and a > pressed), 0) - pressed
hold = paused / (g1 - g0) if g1 - g0 - paused > 0.5 * rate else 1.0
def counted(f, fa, pa):  # the place pa heard at frame fa, counted on to frame f; the pause holds it
    still = max(0, min(f, g1) - max(fa, g0)) * hold + sum(max(0, min(f, b) - max(fa, a)) * d / (b - a) for a, b, d in dry)
    return pa + (f - fa - still) / rate
# A loaded machine may feed the recorder too late for it to keep everything: the place is set anew
# from the sound itself where a tone begins after a quiet second (not a dropout), as the song's do at
# 2, 5 and 8 s.
anchors = [(onset, 0.0)]
for i in range(70, len(loud)):
    if loud[i] and not any(loud[i - 70:i]) and onset < i * 441 < e0 and abs(i * 441 - g1) > 441:
        place = counted(i * 441, *anchors[-1])
        near = min((2, 5, 8), key=lambda q: abs(q - place))
        if abs(near - place) < 1.4:  # half their spacing: a whole lost second
            print("tone at %d s heard %+.2f s from the count" % (near, near - place))
            anchors.append((i * 441, float(near)))
def heard(f):  # the song's position heard at frame f of the recording, in seconds
    return counted(f, *max((a for a in anchors if a[0] <= f), default=anchors[0]))
pic, digits = Image.open(S + "/pic.png").convert("RGB"), Image.open(S + "/digits.png").convert("RGBA")
gw = digits.width // 11
def differs(a, b): return max(abs(p - q) for p, q in zip(a, b)) > 40
def meter(shot):
    lit = []
    for b in range(bars):
        x = mx + b * (bw + gap) + bw // 2
        lit.append(sum(differs(shot.getpixel((left + x, top + y)), pic.getpixel((x, y))) for y in range(my, my + mh)))
    return lit
def clock(shot):
    text = ""
    for i in range(9):
        cell = [shot.getpixel((left + cx + i * gw + x, top + cy + y)) for y in range(digits.height) for x in range(gw)]
        blank = [pic.getpixel((cx + i * gw + x, cy + y)) for y in range(digits.height) for x in range(gw)]
        score = lambda ref: sum(max(abs(p - q) for p, q in zip(a, b)) for a, b in zip(cell, ref))
        # Each glyph as it looks over the face: the face where the strip is see-through.
        glyphs = [[d[:3] if d[3] else f for d, f in zip((digits.getpixel((g * gw + x, y)) for y in range(digits.height)
                   for x in range(gw)), blank)] for g in range(11)]
        best = min(range(12), key=lambda g: score(glyphs[g] if g < 11 else blank))
        if best == 11: break
        text += "0123456789:"[best]
    parts = [int(p) for p in text.split(":")] if text else []
    return text, sum(v * 60 ** (len(parts) - 1 - i) for i, v in enumerate(parts)) if parts else None
fails = {"tone": [0, 0], "side": [0, 0], "early": [0, 0], "clock": [0, 0], "pause": [0, 0], "stop": [0, 0], "change": [0, 0]}
def count(kind, ok, what):
    fails[kind][0] += not ok; fails[kind][1] += 1
    if not ok: print("  off:", kind, what)
for line in open(S + "/shots"):
    n, a, b, phase, left, top = line.split()
    a, b, left, top = int(a), int(b), int(left), int(top)
    if b - a > 0.3 * rate: continue  # too slow to say when it was seen
    shot = Image.open("%s/shot%s.png" % (S, n)).convert("RGB")
    lit, (text, seconds) = meter(shot), clock(shot)
    pos = heard(b)  # the screen is grabbed late in the shot, and the recording lags the sound
    what = "shot %s %s at %.2f s: %s %r" % (n, phase, pos, lit, text)
    print(what)
    if phase == "stop":
        if a > last + 0.1 * rate: count("stop", sum(lit) == 0 and text == "", what)
        continue
    if g0 <= a and b < g1:
        # The pause is found in 10 ms blocks: a second's edge that close may go either way.
        count("pause", seconds is not None and seconds - 0.05 <= heard(g0) < seconds + 1.05 and (a - g0 < 0.7 * rate or sum(lit) == 0), what)
        continue
    if e0 - rate < a and b < e0 - 0.1 * rate: count("change", seconds == 8, what)
    if e0 + 0.1 * rate < a and b < e1 - 0.1 * rate: count("change", text == "0:00" and (a - e0 < 0.7 * rate or sum(lit) == 0), what)
    if pos > 8.9: continue  # the song ends at 9 s and starts again
    if -1.9 < pos < -0.1: count("early", sum(lit) == 0 and text == "0:00", what)
    # A shot begun before the onset saw the song at its start.
    if pos >= -0.1: count("clock", seconds is not None and seconds - 0.25 <= max(heard(a), 0) and heard(b) < seconds + 1.25, what)
    p = pos % 3
    if pos < 0: continue
    if 0.1 <= p <= 0.9 or 2.1 <= p <= 2.9:
        count("tone", sum(lit) > 0, what)
        count("side", (lit[0] + lit[1] > lit[-1] + lit[-2]) == (p < 1), what)
    elif 1.7 <= p <= 1.9:
        count("tone", sum(lit) == 0, what)
print("misses/shots:", fails, "dropouts: %.2f s" % (sum(d for _, _, d in dry) / rate))
ok = all(f[1] > 0 for f in fails.values()) and fails["tone"][0] <= 0.1 * fails["tone"][1] \
    and fails["side"][0] <= 0.1 * fails["side"][1] and fails["early"][0] == 0 and fails["clock"][0] == 0 \
    and fails["pause"][0] == 0 and fails["stop"][0] == 0 and fails["change"][0] == 0
sys.exit(0 if ok else 1)
PY
status=$?
[ $status -eq 0 ] || cat "$S/face.txt"
check "the meter and the clock follow what is heard ($(tail -1 "$S/face.txt"))" test $status -eq 0
press_escape "$disk"
check "Esc ends it with status 0" ends_with_status_0
e2e_finish

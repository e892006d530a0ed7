#!/usr/bin/env bash
# scripts/make-disk on the demo songs and a module such as trackers write (a title, a message,
# sample names): the song details it reads, a disk that checks clean, and that disk playing with
# each song's title strip and both info pictures on screen, until the last song's end wraps to the
# first. Run side by side in three parts:
#   made_disk.sh [pictures]   the song details, the pictures, the made disk browsed and wrapped
#   made_disk.sh levelled     a levelled disk played through, its loudness, width and pitch heard
#   made_disk.sh amiga        a module made with --resampler a500, heard sample for sample
source "$(dirname "$0")/lib.sh"
part=${1:-pictures}
scenario_begin
native="$(dirname "$MD_BIN")/native/tools"
if [ "$part" = pictures ]; then
python3 - "$S/greetings.it" <<'PY'
import math, struct, sys
names = ["  greetings fly out to", "the whole tracking scene", "", "and to you, listener", "hi-hat", "bass"]
message = "Written for the made-disk test.\rNo sample was harmed.\rsee you at the party"
rate, frames, rows = 8363, 4000, 32
data = bytes(int(60 * math.sin(2 * math.pi * i * 220 / rate)) & 0xFF for i in range(frames))
orders = bytes([0, 255])
packed = b"".join(b"\x81\x03" + bytes([48 + 12 * (r % 2), 1 + r % len(names)]) + b"\0" if r % 4 == 0 else b"\0"
                  for r in range(rows))
pattern = struct.pack("<HH4x", len(packed), rows) + packed
sample_at = 0xC0 + len(orders) + 4 * len(names) + 4
pattern_at = sample_at + 0x50 * len(names)
message_at = pattern_at + len(pattern)
data_at = message_at + len(message) + 1
out = bytearray(b"IMPM" + b"Made Disk Greetings".ljust(26, b"\0"))
out += struct.pack("<9H", 0x1004, len(orders), 0, len(names), 1, 0x0214, 0x0214, 1, 1)
out += bytes([128, 48, 6, 125, 128, 0]) + struct.pack("<HII", len(message) + 1, message_at, 0)
out += bytes([32] * 4 + [160] * 60) + bytes([64] * 64) + orders
out += b"".join(struct.pack("<I", sample_at + 0x50 * i) for i in range(len(names))) + struct.pack("<I", pattern_at)
for name in names:
    out += b"IMPS" + bytes(12) + bytes([0, 64, 1, 64]) + name.encode().ljust(26, b"\0")
    out += bytes([1, 0]) + struct.pack("<7I", frames, 0, 0, rate, 0, 0, data_at) + bytes(4)
open(sys.argv[1], "wb").write(out + pattern + message.encode() + b"\0" + data)
PY
"$native/orvelrender/orvelrender" --info "$S/greetings.it" >"$S/info.txt"
check "orvelrender --info reads the module's format, title, length, message and sample names" diff - "$S/info.txt" <<'TXT'
format: Impulse Tracker 2.14 (it)
title: Made Disk Greetings
tracker: Impulse Tracker 2.14
length: 3.84 s
message:
  Written for the made-disk test.
  No sample was harmed.
  see you at the party
samples:
    greetings fly out to
  the whole tracking scene
  
  and to you, listener
  hi-hat
  bass
TXT

sox "$disk/night-pulse.ogg" --comment "TITLE=Nachtpuls" "$S/titled.ogg"
python3 - "$disk/slow-drift.wav" "$S/titled.wav" <<'PY'
import struct, sys
items = b"INAM" + struct.pack("<I", 11) + b"Slow Drift\0\0"
out = open(sys.argv[1], "rb").read() + b"LIST" + struct.pack("<I", 4 + len(items)) + b"INFO" + items
open(sys.argv[2], "wb").write(out[:4] + struct.pack("<I", len(out) - 8) + out[8:])
PY
titles() { for f in "$@"; do "$native/orvelrender/orvelrender" --info "$f" | grep '^title: '; done; }
check "and the title of a WAV file (INAM) and of an Ogg file (TITLE)" \
  test "$(titles "$S/titled.wav" "$S/titled.ogg")" = "$(printf 'title: Slow Drift\ntitle: Nachtpuls')"

made="$S/made"
songs=("$disk/first-light.xm" "$disk/slow-drift.wav" "$disk/night-pulse.ogg" "$S/greetings.it")
MD_BUILD_ROOT="$(dirname "$MD_BIN")" "$MD_SRC/scripts/make-disk" --title "Made disk of greetings" "${songs[@]}" -o "$made" \
  >"$S/made.log" 2>&1
check "make-disk makes a disk that vfspack check finds clean" eval \
  "[ $? -eq 0 ] && grep -qx '.*: 0 errors, 0 warnings' '$S/made.log'"
check "its names come from the songs, else from their files, with the library's lengths" grep -qz \
  'First Light (0:33).*slow-drift (0:37).*night-pulse (0:30).*Made Disk Greetings (0:04)' "$S/made.log"
# Info and title pictures each of one size, every picture but pic.png opaque (the program puts
# their alpha on screen), none with colour chunks; with a shape, its button state is that shape
# laid over pic.png.
pictures_sound() { # disk songs [shape x y]
  /usr/bin/python3 - "$MD_SRC/scripts/lib" "$@" <<'PY'
import io, struct, sys
from PIL import Image
sys.path.insert(0, sys.argv[1])
import disk, profile_ini
found, ini = disk.entries(sys.argv[2]), profile_ini.read(sys.argv[2] + "/PlayList.ini")
picture = lambda name: Image.open(io.BytesIO(found[name.lower()])).convert("RGBA")
def chunks(png):
    at = 8
    while at + 8 <= len(png):
        size, kind = struct.unpack_from(">I4s", png, at)
        yield kind
        at += 12 + size
sections = ["song%d" % n for n in range(int(sys.argv[3]))]
info = {disk.png_size(found[profile_ini.get(ini, s, k).lower()]) for s in sections for k in ("pic0", "pic1")}
info.add(disk.png_size(found[profile_ini.get(ini, "Music", "NoInfo").lower()]))
titles = {disk.png_size(found[profile_ini.get(ini, s, "TitlePic").lower()]) for s in sections}
colour = [n for n, png in found.items() if {b"sRGB", b"gAMA", b"iCCP", b"cHRM"} & set(chunks(png))]
see_through = [n for n in found if n != "pic.png" and picture(n).getextrema()[3][0] < 255]
flat = True
if len(sys.argv) > 4:
    shape, x, y = Image.open(sys.argv[4]).convert("RGBA"), int(sys.argv[5]), int(sys.argv[6])
    expected = picture("pic.png").crop((x, y, x + shape.width, y + shape.height))
    expected.alpha_composite(shape)
    flat = picture(profile_ini.get(profile_ini.read(sys.argv[2] + "/skin.ini"), "ButtonRewind", "pic0")).tobytes() \
        == expected.tobytes()
sys.exit(not (len(info) == len(titles) == 1 and not colour and not see_through and flat and
              profile_ini.get(ini, "song%d" % len(sections), "file") == ""))
PY
}
check "its pictures: one size of each kind, opaque, without colour chunks" pictures_sound "$made" 4
# The disk's title in the places the skin's [Layout] names (on the face and in the idle title
# strip, where the demo's name stands in its own pic.png): pic.png differs from the skin's only
# there, and the title ends inside each place. An author's skin names no place and stays as drawn.
title_drawn() { # disk skin [demo]
  /usr/bin/python3 - "$MD_SRC/scripts/lib" "$@" <<'PY'
import io, sys
from PIL import Image, ImageChops
sys.path.insert(0, sys.argv[1])
import disk_format as fmt, profile_ini
background = lambda disk: Image.open(io.BytesIO(fmt.entries(disk)[fmt.BACKGROUND])).convert("RGB")
made, skin = background(sys.argv[2]), Image.open(sys.argv[3] + "/" + fmt.BACKGROUND).convert("RGB")
layout = profile_ini.read(sys.argv[3] + "/" + fmt.SKIN)
places = [[int(v) for v in profile_ini.get(layout, "Layout", k).split(",")] for k in ("Name", "IdleName")
          if profile_ini.get(layout, "Layout", k)]
changed, ok = ImageChops.difference(made, skin), len(places) == (2 if len(sys.argv) > 4 else 0)
for x, y, w, h in places:
    box = (x, y, x + w, y + h)
    drawn = changed.crop(box).getbbox()
    ok &= drawn is not None and drawn[1] > 0 and drawn[2] < w and drawn[3] < h
    ok &= ImageChops.difference(skin.crop(box), background(sys.argv[4]).crop(box)).getbbox() is not None
    changed.paste((0, 0, 0), box)
sys.exit(not (ok and changed.getbbox() is None))
PY
}
check "its title on the face and in the idle title strip, fitted, where the demo's name was" \
  title_drawn "$made" "$(dirname "$MD_BIN")/win/demo/disk-work/skin" "$MD_BIN/demo/disk"

# An author's skin: the demo's background, every button state one translucent shape; and a cover.
skin="$S/skin"
mkdir "$skin" && cp "$(dirname "$MD_BIN")/win/demo/disk-work/skin/pic.png" "$skin/"
convert -size 40x40 xc:none -fill '#ff302080' -draw 'circle 20,20 20,4' "$skin/shape.png"
convert -size 300x200 gradient:orange-navy "$S/cover.jpg"
x=40
for b in Rewind PlayPause Stop Forward Eject Info; do
  printf '[Button%s]\nX=%d\nY=240\n' $b $x
  for n in 0 1 2 3 $([ $b = PlayPause ] && echo 4 5); do printf 'pic%d=shape.png\n' $n; done
  x=$((x + 62))
done >"$skin/skin.ini"
printf '[Layout]\nTitle=28,72,266,28\nInfo=28,104,266,116\n' >>"$skin/skin.ini"
MD_BUILD_ROOT="$(dirname "$MD_BIN")" "$MD_SRC/scripts/make-disk" --skin "$skin" --cover "$S/cover.jpg" --no-level \
  "$S/greetings.it" -o "$S/own" >"$S/own.log" 2>&1
check "with an author's skin, a cover and no levelling it checks clean too, without a Gain" eval \
  "[ $? -eq 0 ] && grep -qx '.*: 0 errors, 0 warnings' '$S/own.log' && ! grep -q Gain= '$S/own/PlayList.ini'"
check "and each button state is its shape laid over pic.png" pictures_sound "$S/own" 1 "$skin/shape.png" 40 240
check "and its pic.png is the author's, as drawn" title_drawn "$S/own" "$skin"

disk_start "$made" wait
record_start "$S/play.raw"
click_button "$made" ButtonPlayPause
for song in 0 1 2 3; do
  row=$((song % 2))
  check "song $song: its title strip" e2e_poll 10 shows_now "$made" $song TitlePic
  # The last song lasts under four seconds: paused, its end cannot change the pictures under test.
  [ $song -lt 3 ] || click_button "$made" ButtonPlayPause
  check "song $song: its info picture pic$row" e2e_poll 10 shows_now "$made" $song pic$row
  [ $song -gt 0 ] || { check "song 0 is heard" e2e_poll 10 heard "$S/play.raw"; record_stop; }
  click_button "$made" ButtonInfo
  check "song $song: its other info picture pic$((1 - row))" e2e_poll 10 shows_now "$made" $song pic$((1 - row))
  [ $song -eq 3 ] || click_button "$made" ButtonForward
done
# Played on, the last song's end wraps to the first by itself, and its title follows.
click_button "$made" ButtonPlayPause
check "the end of the last song starts song 0, with its title" e2e_poll 15 shows_now "$made" 0 TitlePic
press_escape "$made"
check "Esc ends it with status 0" ends_with_status_0
fi

if [ "$part" = levelled ]; then
# Levelled: the demo's songs beside a quiet one and a loud one that clips, named in Russian and in
# French, and a tone panned hard left whose pitch rises each second, under a Russian title. Each
# song is cut to seconds, as many as its loudness needs: the module to its first pattern.
mkdir "$S/cut"
python3 - "$disk/first-light.xm" "$S/cut/first-light.xm" <<'PY'
import struct, sys
xm = bytearray(open(sys.argv[1], "rb").read())
struct.pack_into("<H", xm, 64, 1)
open(sys.argv[2], "wb").write(xm)
PY
sox "$disk/slow-drift.wav" "$S/cut/slow-drift.wav" trim 0 8
sox "$disk/night-pulse.ogg" "$S/cut/night-pulse.ogg" trim 0 8
sox "$disk/slow-drift.wav" "$S/Тихая ночь.wav" trim 0 8 vol 0.05
sox "$disk/night-pulse.ogg" "$S/Forté.wav" trim 0 8 gain 14 2>/dev/null
python3 - "$S/pan.wav" <<'PY'
import math, struct, sys
tone = [int(9000 * math.sin(2 * math.pi * (200 + 50 * (i // 44100)) * i / 44100 + 0.5)) for i in range(26 * 44100)]
data = b"".join(struct.pack("<hh", v, 0) for v in tone)
open(sys.argv[1], "wb").write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack(
    "<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data" + struct.pack("<I", len(data)) + data)
PY
even="$S/even" levelled=("$S/cut/first-light.xm" "$S/cut/slow-drift.wav" "$S/cut/night-pulse.ogg" "$S/Тихая ночь.wav" "$S/Forté.wav")
MD_BUILD_ROOT="$(dirname "$MD_BIN")" "$MD_SRC/scripts/make-disk" --title "Ночной диск" "${levelled[@]}" "$S/pan.wav" -o "$even" \
  >"$S/even.log" 2>&1
check "songs named in any language make a disk that checks clean, under ASCII names, with each song's gain" eval \
  "[ $? -eq 0 ] && grep -qx '.*: 0 errors, 0 warnings' '$S/even.log' && [ -f '$even/04-Tikhaya noch.wav' ] &&
   [ -f '$even/05-Forte.wav' ] && [ \$(grep -c '^make-disk: .* LUFS, peak .* dBFS, Gain=' '$S/even.log') -eq 6 ]"
check "a song too quiet to reach -18 LUFS below a -1 dBFS peak is raised as far as that allows, and told so" \
  /usr/bin/python3 -c "import sys; sys.path.insert(0, '$MD_SRC/scripts/lib'); import disk_maker as m
g, said = m.level((-40.0, -3.0)); sys.exit(not (g == 2.0 and 'too quiet' in said))"
sed -i 's/^\[song5\]\r$/&\nSeparation=50\r/' "$even/PlayList.ini"
disk_start "$even" wait
check "its caption is the title transliterated" test "$(disk_caption)" = "Nochnoy disk"
record_start "$S/even.raw"
presses=()
click_button "$even" ButtonPlayPause
check "it plays every song through to the last" e2e_poll 240 shows_now "$even" 5 TitlePic
# The keys go to the window under the pointer, put there first: finding the button asks Wine,
# which on a loaded machine takes longer than the change it would be timing.
xdotool mousemove $(button_centre "$even" ButtonStop)
record_clock "$S/even.raw"
sleep 5
for _ in 1 2 3; do
  presses+=("$(now)")
  xdotool key w
  sleep 5
done
sleep 2
record_stop
presses=($(at_frames "$S/even.raw" "${presses[@]}"))
press_escape "$even"
check "and ends with status 0" ends_with_status_0
# Songs are parted by the silence of the cleared buffer. Loudness by the native orvelrender, on
# the recording and on the songs as rendered; the tone's balance and pitch a tenth of a second at a time.
/usr/bin/python3 - "$S/even.raw" "$native/orvelrender/orvelrender" "${presses[@]}" "${levelled[@]}" \
  >"$S/even.txt" <<'PY'
import array, math, os, struct, subprocess, sys
raw, tool, presses, songs = sys.argv[1], sys.argv[2], [int(f) for f in sys.argv[3:6]], sys.argv[6:]
a = array.array("h", open(raw, "rb").read()[: os.path.getsize(raw) // 4 * 4])
frames = len(a) // 2
lufs = lambda path: float(subprocess.run([tool, "--loudness", path], capture_output=True, text=True).stdout.split()[1])
pieces, begin, quiet = [], None, 0
for f in range(frames):
    if a[2 * f] or a[2 * f + 1]:
        if begin is not None and quiet >= 40000:
            pieces.append((begin, f - quiet))
        begin, quiet = f if begin is None or quiet >= 40000 else begin, 0
    else:
        quiet += 1
pieces.append((begin, frames - quiet))
heard = []
for n, (b, e) in enumerate(pieces[:5]):
    data, path = a[2 * b: 2 * e].tobytes(), "%s.%d.wav" % (raw, n)
    open(path, "wb").write(b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack(
        "<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data" + struct.pack("<I", len(data)) + data)
    heard.append(lufs(path))
rendered = [lufs(s) for s in songs]
print("pieces", len(pieces), "heard", *heard)
print("spread %.2f" % (max(heard) - min(heard)))
print("unlevelled %.2f" % (max(rendered) - min(rendered)))
print("loudest", max(abs(v) for v in a))
b, e = pieces[-1]
rows, window = [], 4410
rms = lambda s: math.sqrt(sum(v * v for v in s) / len(s)) or 1e-9
balance = lambda begin, end: 20 * math.log10(rms(a[2 * begin: 2 * end: 2]) / rms(a[2 * begin + 1: 2 * end: 2]))
for at in range(b + 4410, e - window, window):
    left = a[2 * at: 2 * (at + window): 2]
    # Over the frames heard, joined across the silence Wine's mixer puts in when it runs dry: the
    # song stood still through it, and its edges are no crossings of the song's.
    sounding = [v for v in left if v]
    if len(sounding) < window // 2: continue  # mostly dropout: neither a balance nor a pitch
    crossings = sum(1 for x, y in zip(sounding, sounding[1:]) if (x < 0) != (y < 0))
    rows.append((at + window, balance(at, at + window), crossings * 22050 // max(1, len(sounding))))
def delay(frame, expected):
    """Seconds from FRAME until two windows in a row hold the balance EXPECTED, from the hundredth of a
    second where it began: the tone's channels differ only in scale, so a short window shows it."""
    end = next((end for (end, db, _), (_, after, _) in zip(rows, rows[1:])
                if end > frame and abs(db - expected) < 0.5 and abs(after - expected) < 0.5), None)
    if end is None: return 99
    at, step = end - window, window // 10
    while at - step > frame and abs(balance(at - step, at) - expected) < 0.5: at -= step
    return (at - frame) / 44100
print("separation %.2f" % rows[1][1])
print("mono %.3f" % min(abs(db) for _, db, _ in rows))
print("delays", *("%.2f" % delay(int(p), x) for p, x in zip(presses, (4.44, 0.0, 9.54))))
pitches = [r[2] for r in rows]
breaks = ["%.1f s: %d to %d" % ((rows[i][0] - b) / 44100, x, y) for i, (x, y) in enumerate(zip(pitches, pitches[1:]))
          if not -25 <= y - x <= 75]
print("pitch", "broken at " + ", ".join(breaks[:3]) if breaks else "on")
PY
field() { awk -v k="$1" '$1 == k { print $2 }' "$S/even.txt"; }
check "played and recorded, the levelled songs spread at most 1 LU (8 or more as rendered)" \
  awk -v n="$(field pieces)" -v s="$(field spread)" -v u="$(field unlevelled)" 'BEGIN { exit !(n == 6 && s <= 1 && u >= 8) }'
check "and no recorded sample is at full scale" test "$(field loudest)" -lt 32767
check "the tone at Separation=50 is 9.54 dB louder on the left, as mid/side predicts, within 0.5 dB" \
  awk -v d="$(field separation)" 'BEGIN { exit !(d != "" && d > 9.04 && d < 10.04) }'
check "and at 0 its channels are equal" awk -v d="$(field mono)" 'BEGIN { exit !(d != "" && d < 0.05) }'
check "W narrows it to 25% (4.44 dB), to mono, and back to 50%, each heard within 2.5 s ($(awk '$1 == "delays"' "$S/even.txt"))" \
  awk '$1 == "delays" { ok = $2 <= 2.5 && $3 <= 2.5 && $4 <= 2.5 } END { exit !ok }' "$S/even.txt"
check "while the song goes on: its pitch only ever rises, one step a second ($(awk '$1 == "pitch"' "$S/even.txt"))" \
  test "$(field pitch)" = on
fi

if [ "$part" = amiga ]; then
# A ProTracker module (a held saw, square notes, the LED filter on) on a disk made with --resampler a500.
python3 - "$S/amiga.mod" <<'PY'
import struct, sys
saw, square = bytes((i * 3 - 96) & 255 for i in range(64)), bytes(60 if i % 32 < 16 else 196 for i in range(2000))
cell = lambda s, p, e=0, q=0: bytes([s & 0xF0 | p >> 8, p & 255, (s & 15) << 4 | e, q])
heads = [bytes(22) + struct.pack(">HBBHH", n, 0, 64, 0, loop) for n, loop in [(32, 32), (1000, 1)] + [(0, 1)] * 29]
rows = [cell(r == 0, 428 * (r == 0)) + cell(2 * (r % 4 == 0), (428, 360, 320, 285)[r // 4 % 4] * (r % 4 == 0)) +
        cell(0, 0, 15 * (r == 0), 3 * (r == 0)) + cell(0, 0, 14 * (r == 0)) for r in range(64)]
open(sys.argv[1], "wb").write(bytes(20) + b"".join(heads) + bytes([3, 127, 0, 1, 2]) + bytes(125) + b"M.K." +
                              b"".join(rows) + bytes(2048) + saw + square)
PY
MD_BUILD_ROOT="$(dirname "$MD_BIN")" "$MD_SRC/scripts/make-disk" --no-level --resampler a500 "$S/amiga.mod" \
  -o "$S/amiga" >"$S/amiga.log" 2>&1
disk_start "$S/amiga" wait
record_start "$S/amiga.raw"
click_button "$S/amiga" ButtonPlayPause
(cd "$S/amiga" && wine "$MD_BIN/bin/orvelrender.exe" 01-amiga.mod "$S/a500.wav" --float --resampler a500 >/dev/null)
e2e_poll 20 heard_for "$S/amiga.raw" 7.5
record_stop
press_escape "$S/amiga"
check "a MOD made with --resampler a500 is heard as orvelrender --resampler a500 renders it, sample for sample" eval \
  "grep -q '^Resampler=a500' '$S/amiga/PlayList.ini' && ends_with_status_0 &&
   python3 '$MD_SRC/tests/e2e/player/analyse.py' --wine-log '$S/wine.log' song '$S/amiga.raw' /dev/null '$S/a500.wav'"
fi
e2e_finish

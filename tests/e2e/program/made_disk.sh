#!/usr/bin/env bash
# scripts/make-disk on the demo songs and a module such as trackers write (a title, a message,
# sample names): the song details it reads, a disk that checks clean, and that disk playing with
# each song's title strip and both info pictures on screen.
source "$(dirname "$0")/lib.sh"
scenario_begin
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
native="$(dirname "$MD_BIN")/native/tools"
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

made="$S/made"
songs=("$disk/first-light.xm" "$disk/slow-drift.wav" "$disk/night-pulse.ogg" "$S/greetings.it")
MD_BUILD_ROOT="$(dirname "$MD_BIN")" "$MD_SRC/scripts/make-disk" --title "Made disk" "${songs[@]}" -o "$made" \
  >"$S/made.log" 2>&1
check "make-disk makes a disk that vfspack check finds clean" eval \
  "[ $? -eq 0 ] && grep -qx '.*: 0 errors, 0 warnings' '$S/made.log'"
check "its names come from the songs, else from their files, with the library's lengths" grep -qz \
  'First Light (0:33).*slow-drift (0:37).*night-pulse (0:30).*Made Disk Greetings (0:04)' "$S/made.log"
check "its pictures: info and title pictures each of one size, no colour chunks" \
  python3 - "$MD_SRC/scripts/lib" "$made" <<'PY'
import struct, sys
sys.path.insert(0, sys.argv[1])
import disk, profile_ini
found, ini = disk.entries(sys.argv[2]), profile_ini.read(sys.argv[2] + "/PlayList.ini")
def chunks(png):
    at = 8
    while at + 8 <= len(png):
        size, kind = struct.unpack_from(">I4s", png, at)
        yield kind
        at += 12 + size
sections = ["song%d" % n for n in range(4)]
info = {disk.png_size(found[profile_ini.get(ini, s, k).lower()]) for s in sections for k in ("pic0", "pic1")}
info.add(disk.png_size(found[profile_ini.get(ini, "Music", "NoInfo").lower()]))
titles = {disk.png_size(found[profile_ini.get(ini, s, "TitlePic").lower()]) for s in sections}
colour = [n for n, png in found.items() if {b"sRGB", b"gAMA", b"iCCP", b"cHRM"} & set(chunks(png))]
sys.exit(not (len(info) == 1 and len(titles) == 1 and not colour and profile_ini.get(ini, "song4", "file") == ""))
PY

disk_start "$made" wait
record_start "$S/play.raw"
click_button "$made" ButtonPlayPause
for song in 0 1 2 3; do
  row=$((song % 2))
  sleep 2; shot "$S/song$song.png"
  check "song $song: its title strip" shows_song_picture "$made" "$S/song$song.png" $song TitlePic
  check "song $song: its info picture pic$row" shows_song_picture "$made" "$S/song$song.png" $song pic$row
  [ $song -gt 0 ] || { record_stop; check "song 0 is heard" test "$(peak "$S/play.raw")" -gt 1000; }
  click_button "$made" ButtonInfo
  sleep 1.5; shot "$S/info$song.png"
  check "song $song: its other info picture pic$((1 - row))" shows_song_picture "$made" "$S/info$song.png" $song pic$((1 - row))
  click_button "$made" ButtonForward
done
press_escape "$made"
check "Esc ends it with status 0" ends_with_status_0
e2e_finish

#!/usr/bin/env python3
"""vfspack check: a clean disk passes with only its summary line; each broken disk, with one
fault, gets the matching report and exit status. Usage: disk_check_test.py TOOL... (the tool, or
wine and the tool)."""
import os
import re
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "e2e", "skin"))
from test_skin import archive  # noqa: E402
import test_skin  # noqa: E402

TOOL = [os.path.abspath(a) if os.path.isfile(a) else a for a in sys.argv[1:]]


def png(w, h, alpha=True, hole=None, chunks=(), pixels=True, rows_made=None):
    """An RGBA (or RGB) PNG; `hole(x, y)` says which pixels are fully transparent; `chunks` go
    ahead of the pixels, without `pixels` only the header is there, and `rows_made` rows only."""
    def colour(x, y):
        return (x * 4 % 256, y * 8 % 256, 90) + ((0 if hole and hole(x, y) else 255,) if alpha else ())
    return test_skin.png(w, h, colour, chunks, min(h, rows_made or h) if pixels else 0)


def wav(frames=800, rate=8000):
    data = b"".join(struct.pack("<h", (i * 1200) % 20000 - 10000) for i in range(frames))
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt "
            + struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16) + b"data"
            + struct.pack("<I", len(data)) + data)


def jpeg(w, h):
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "p.jpg")
        subprocess.run(["convert", "-size", "%dx%d" % (w, h), "xc:#336699", path], check=True)
        return open(path, "rb").read()


def with_idat_claiming(picture, length):
    at = picture.index(b"IDAT") - 4
    return picture[:at] + struct.pack(">I", length) + picture[at + 4:]


def with_hostile_huffman_table(picture):
    """A JPEG whose first Huffman table declares 16 x 255 codes, where 256 is the most."""
    at = picture.index(b"\xff\xc4") + 5
    return picture[:at] + b"\xff" * 16 + picture[at + 16:]


JPEG = jpeg(16, 16)
BUTTONS = ["ButtonRewind", "ButtonPlayPause", "ButtonStop", "ButtonForward", "ButtonEject", "ButtonInfo"]


def clean_disk():
    corners = lambda x, y: (x in (0, 63)) and (y in (0, 31))
    entries = [("pic.png", png(64, 32, hole=corners))]
    entries += [("btn%d.png" % i, png(8, 8)) for i in range(6)]
    entries += [("info0.png", png(16, 16)), ("info1.png", png(16, 16)), ("title.png", png(16, 8)),
                ("noinfo.png", png(16, 16)), ("wide.png", png(10, 8)), ("bad.png", b"not a picture"),
                ("info1.jpg", JPEG), ("meter.png", png(20, 10)), ("digits.png", png(22, 8))]
    skin = {}
    for i, name in enumerate(BUTTONS):
        pics = 6 if name == "ButtonPlayPause" else 4
        skin[name] = {"X": str(4 + 10 * i), "Y": "4", **{"pic%d" % p: "btn%d.png" % p for p in range(pics)}}
    skin["Meter"] = {"X": "4", "Y": "16", "Width": "20", "Height": "10", "Bars": "5", "Gap": "1", "pic": "meter.png"}
    skin["Clock"] = {"X": "26", "Y": "22", "pic": "digits.png"}
    skin["Seek"] = {"X": "24", "Y": "13", "Width": "16", "Height": "8", "pic": "title.png"}
    skin["Volume"] = {"X": "56", "Y": "13", "Width": "8", "Height": "8", "pic": "btn0.png"}
    playlist = {
        "Music": {"InfoX": "40", "InfoY": "4", "TitleX": "40", "TitleY": "22", "NoInfo": "noinfo.png",
                  "Title": "Test disk"},
        # A Windows path and another case than the file's: the program finds both.
        "song0": {"file": "music\\song.wav", "pic1": "info1.jpg", "pic0": "info0.png", "TitlePic": "title.png"},
        "song1": {"file": "SONG.WAV", "pic1": "info1.png", "TitlePic": "title.png", "Resampler": "A500"},
    }
    return {"entries": entries, "extra_records": [], "skin": skin, "playlist": playlist,
            "files": {"music/song.wav": wav(), "song.wav": wav(), "junk.xm": b"this is no song\n" * 20}}


def ini_text(sections):
    return "".join("[%s]\r\n" % s + "".join("%s=%s\r\n" % kv for kv in keys.items()) + "\r\n"
                   for s, keys in sections.items())


def write_disk(folder, disk):
    os.makedirs(os.path.join(folder, "music"))
    for name, content in disk["files"].items():
        open(os.path.join(folder, name), "wb").write(content)
    if disk.get("archive", True) is not None:
        image = disk.get("archive_bytes") or archive(disk["entries"], disk["extra_records"])
        open(os.path.join(folder, "data.vfs"), "wb").write(image)
    open(os.path.join(folder, "skin.ini"), "w").write(ini_text(disk["skin"]))
    open(os.path.join(folder, "PlayList.ini"), "wb").write(
        (b"\xef\xbb\xbf" if disk.get("bom") else b"") + ini_text(disk["playlist"]).encode())


def drop_entry(name):
    return lambda d: d.update(entries=[e for e in d["entries"] if e[0] != name])


def replace_entry(name, content):
    return lambda d: d.update(entries=[(n, content if n == name else c) for n, c in d["entries"]])


def truncated(d):
    d["archive_bytes"] = archive(d["entries"])[:100]


# (what, fault, exit status, a pattern some report line must match)
CASES = [
    ("data.vfs missing", lambda d: d.update(archive=None), 2, r'^error: data\.vfs: missing: .*"Cannot open file"'),
    ("directory past the end", truncated, 2, r"^error: data\.vfs: the directory \(header size 648\) runs past"),
    ("entry outside the file", lambda d: d["extra_records"].append(("extra.png", 0, 1 << 20)), 2,
     r'^error: data\.vfs entry 16 "extra\.png": lies outside the file'),
    ("names equal but for case", lambda d: d["entries"].append(("PIC.PNG", png(2, 2))), 1,
     r'^warning: data\.vfs entry 16 "PIC\.PNG": never found: entry 0 "pic\.png" has the same name but for case'),
    ("pic.png missing", drop_entry("pic.png"), 2, r"^error: data\.vfs pic\.png: missing: the window"),
    ("pic.png does not decode", replace_entry("pic.png", png(64, 32)[:60]), 2,
     r"^error: data\.vfs pic\.png: is a damaged PNG .*: the window has no size"),
    ("an IDAT claiming a gigabyte", replace_entry("pic.png", with_idat_claiming(png(64, 32), 1 << 30)), 2,
     r"^error: data\.vfs pic\.png: is a damaged PNG \(a chunk runs past the end of the file\)"),
    ("pic.png without alpha", replace_entry("pic.png", png(64, 32, alpha=False)), 1,
     r"^warning: data\.vfs pic\.png: has no alpha channel"),
    ("button section missing", lambda d: d["skin"].pop("ButtonStop"), 2,
     r"^error: skin\.ini \[ButtonStop\]: missing: the button has no pictures"),
    ("button picture not in the archive", lambda d: d["skin"]["ButtonInfo"].update(pic2="nothere.png"), 2,
     r'^error: skin\.ini \[ButtonInfo\] pic2: "nothere\.png" is not in data\.vfs: a "Cannot find file" box'),
    ("button picture does not decode", lambda d: d["skin"]["ButtonInfo"].update(pic1="bad.png"), 2,
     r'^error: skin\.ini \[ButtonInfo\] pic1: "bad\.png" is not a picture'),
    ("too few state pictures", lambda d: [d["skin"]["ButtonPlayPause"].pop(k) for k in ("pic4", "pic5")], 1,
     r"^warning: skin\.ini \[ButtonPlayPause\]: the button gets 4 state pictures but has 6 states"),
    ("pictures of one button differ in size", lambda d: d["skin"]["ButtonRewind"].update(pic1="wide.png"), 1,
     r'^warning: skin\.ini \[ButtonRewind\] pic1: "wide\.png" is 10x8 but pic0 "btn0\.png" is 8x8'),
    ("button outside pic.png", lambda d: d["skin"]["ButtonEject"].update(X="60"), 1,
     r"^warning: skin\.ini \[ButtonEject\] X/Y: the button at \(60, 4\), 8x8, reaches outside pic\.png \(64x32\)"),
    ("button over transparent pixels", lambda d: d["skin"]["ButtonRewind"].update(X="0", Y="0"), 1,
     r"^warning: skin\.ini \[ButtonRewind\] X/Y: .* lies over 1 fully transparent pixel of pic\.png, the first at \(0, 0\)"),
    ("gap in the picture numbers", lambda d: d["skin"]["ButtonStop"].pop("pic2"), 1,
     r"^warning: skin\.ini \[ButtonStop\] pic3: never read: the list stops at pic2, which is missing"),
    ("meter picture of another size", replace_entry("meter.png", png(24, 10)), 1,
     r'^warning: skin\.ini \[Meter\] pic: "meter\.png" is 24x10 but the meter is 20x10'),
    ("meter with zero bars", lambda d: d["skin"]["Meter"].update(Bars="0"), 1,
     r"^warning: skin\.ini \[Meter\] Bars: 0 bars: the meter is not shown"),
    ("meter bars narrower than a pixel", lambda d: d["skin"]["Meter"].update(Bars="12"), 1,
     r"^warning: skin\.ini \[Meter\] Bars/Gap: 12 bars 1 pixels apart in 20 pixels are narrower than a pixel"),
    ("meter outside the window", lambda d: d["skin"]["Meter"].update(X="50"), 1,
     r"^warning: skin\.ini \[Meter\] X/Y: the meter at \(50, 16\), 20x10, reaches outside pic\.png \(64x32\)"),
    ("meter without a key", lambda d: d["skin"]["Meter"].pop("Height"), 1,
     r"^warning: skin\.ini \[Meter\] Height: missing: the meter is not shown"),
    ("seek bar without a key", lambda d: d["skin"]["Seek"].pop("Width"), 1,
     r"^warning: skin\.ini \[Seek\] Width: missing: the seek bar is not shown"),
    ("volume bar of no height", lambda d: d["skin"]["Volume"].update(Height="0"), 1,
     r"^warning: skin\.ini \[Volume\] Width/Height: the volume bar is 8x0: the volume bar is not shown"),
    ("volume picture does not decode", lambda d: d["skin"]["Volume"].update(pic="bad.png"), 1,
     r'^warning: skin\.ini \[Volume\] pic: "bad\.png" is not a picture.*: the volume bar is not shown'),
    ("volume picture of another size", lambda d: d["skin"]["Volume"].update(pic="wide.png"), 1,
     r'^warning: skin\.ini \[Volume\] pic: "wide\.png" is 10x8 but the volume bar is 8x8: the bar lights'),
    ("seek bar wholly outside the window", lambda d: d["skin"]["Seek"].update(Y="-8"), 1,
     r"^warning: skin\.ini \[Seek\] X/Y: the seek bar at \(24, -8\), 16x8, reaches outside .*: the seek bar is not"),
    ("digit strip not eleven glyphs wide", replace_entry("digits.png", png(23, 8)), 1,
     r'^warning: skin\.ini \[Clock\] pic: "digits\.png" is 23 wide, not a multiple of 11'),
    ("clock outside the window", lambda d: d["skin"]["Clock"].update(Y="30"), 1,
     r"^warning: skin\.ini \[Clock\] X/Y: the clock at \(26, 30\), 8x8, reaches outside pic\.png"),
    ("clock picture does not decode", lambda d: d["skin"]["Clock"].update(pic="bad.png"), 1,
     r'^warning: skin\.ini \[Clock\] pic: "bad\.png" is not a picture.*: the clock is not shown'),
    ("extra song missing", lambda d: d["skin"].update(Music={"song0": "gone.wav"}), 2,
     r'^error: skin\.ini \[Music\] song0: "gone\.wav" does not exist \(the disk starts with a "Song not loaded" box\)'),
    ("song does not load", lambda d: d["playlist"]["song1"].update(file="junk.xm"), 2,
     r'^error: PlayList\.ini \[song1\] file: "junk\.xm" does not load'),
    ("song picture not in the archive", lambda d: d["playlist"]["song0"].update(TitlePic="notitle.png"), 2,
     r'^error: PlayList\.ini \[song0\] TitlePic: "notitle\.png" is not in data\.vfs'),
    ("JPEG with an oversized Huffman table", replace_entry("info1.jpg", with_hostile_huffman_table(JPEG)), 2,
     r'^error: PlayList\.ini \[song0\] pic1: "info1\.jpg" is a damaged JPEG \(a Huffman table holds more than 256'),
    ("JPEG scan with an undefined Huffman table", replace_entry("info1.jpg", JPEG.replace(b"\xff\xc4", b"\xff\xfe")),
     2, r'^error: PlayList\.ini \[song0\] pic1: "info1\.jpg" is a damaged JPEG \(a scan uses a Huffman table that'),
    ("NoInfo picture missing", drop_entry("noinfo.png"), 2,
     r'^error: PlayList\.ini \[Music\] NoInfo: "noinfo\.png" is not in data\.vfs: .*\(\[song1\] pic0\)'),
    ("gap in the song numbers", lambda d: d["playlist"].update(song2=d["playlist"].pop("song1")), 1,
     r"^warning: PlayList\.ini \[song2\]: never read: the list stops at \[song1\] file, which is missing"),
    ("PlayList.ini with a byte-order mark", lambda d: d.update(bom=True), 2,
     r"^error: PlayList\.ini: starts with a UTF-8 byte-order mark: .* the first section \[Music\]"),
    ("a value beyond ASCII", lambda d: d["playlist"]["Music"].update(Title="Caf\u00e9 disk"), 1,
     r"^warning: PlayList\.ini \[Music\] Title \(line \d+\): the value holds bytes beyond ASCII"),
    ("PNG with a colour chunk", replace_entry("info0.png", png(16, 16, chunks=[(b"gAMA", struct.pack(">I", 45455))])),
     1, r'^warning: data\.vfs "info0\.png": a PNG with colour chunks \(gAMA\): GDI\+ on Windows colour-corrects'),
    ("info pictures of different sizes", replace_entry("noinfo.png", png(12, 12)), 1,
     r'^warning: PlayList\.ini \[Music\] NoInfo: "noinfo\.png" is 12x12 but \[song0\] pic1 "info1\.jpg" is 16x16, both shown at InfoX/InfoY'),
    ("dithered pic.png", replace_entry("pic.png", png(200, 160, hole=lambda x, y: y >= 40 and (x + y) % 2)), 1,
     r"^warning: data\.vfs pic\.png: its outline is cut from 12000 runs of transparent pixels"),
    ("picture far larger than the window", replace_entry("info0.png", png(12000, 12000, rows_made=9)), 1,
     r'^warning: PlayList\.ini \[song0\] pic0: "info0\.png" is 12000x12000, far larger than the 64x32 window .* about 2\.9 GB'),
    ("a GIF header and no picture", replace_entry("pic.png", b"GIF89a this is not a picture" * 40), 2,
     r"^error: data\.vfs pic\.png: is a damaged GIF \(a block of no known kind comes before its first image\)"),
    ("a large PNG with no pixel data", replace_entry("title.png", png(12000, 12000, pixels=False)), 2,
     r'^error: PlayList\.ini \[song0\] TitlePic: "title\.png" is a damaged PNG \(no pixel data follows its header\)'),
    ("missing TitlePic stops the list", lambda d: d["playlist"]["song0"].pop("TitlePic"), 1,
     r"^warning: PlayList\.ini \[song1\]: never read: the list stops at \[song0\] TitlePic, which is missing"),
    ("gain not a number", lambda d: d["playlist"]["song1"].update(Gain="-3,5"), 1,
     r'^warning: PlayList\.ini \[song1\] Gain: "-3,5" is not a number from -30 to 30 \(dB\): the song plays as'),
    ("separation beyond 200", lambda d: d["playlist"]["song0"].update(Gain="-30", Separation="250"), 1,
     r'^warning: PlayList\.ini \[song0\] Separation: "250" is not a number from 0 to 200 \(percent\)'),
    ("resampler unknown", lambda d: d["playlist"]["song1"].update(Resampler="amiga 500"), 1,
     r'^warning: PlayList\.ini \[song1\] Resampler: "amiga 500" is none of amiga, a500, .*, sinc: the song plays as'),
    ("song name beyond ASCII", lambda d: (d["playlist"]["song1"].update(file="caf\u00e9.wav"),
                                          d["files"].update({"caf\u00e9.wav": wav()})), 1,
     r'^warning: PlayList\.ini \[song1\] file: "caf.*\.wav" holds letters beyond ASCII'),
]

# The song list as `vfspack songs` gives it, where the list's stop rule decides it: what check reads.
SONGS = {"gap in the song numbers": ["music/song.wav"], "missing TitlePic stops the list": ["music/song.wav"]}

# Under wine only what reaches code of the Windows build's own runs again: finding files in any
# case and by a backslash path, the code page, the profile rules on a byte-order mark, the library
# as a DLL. The rest is the same portable code the native run checks.
UNDER_WINE = {"data.vfs missing", "extra song missing", "song does not load", "PlayList.ini with a byte-order mark",
              "a value beyond ASCII"}


def run_check(folder, by_argument=False):
    args = TOOL + ["check"] + ([folder] if by_argument else [])
    result = subprocess.run(args, cwd=None if by_argument else folder, capture_output=True, timeout=120)
    lines = result.stdout.decode(errors="replace").replace("\r", "").splitlines()
    return result.returncode, lines


def main():
    failures = 0
    def check(what, ok, lines):
        nonlocal failures
        print(("ok: " if ok else "FAIL: ") + what)
        if not ok:
            failures += 1
            print("\n".join("    " + l for l in lines))

    with tempfile.TemporaryDirectory() as work:
        clean = os.path.join(work, "clean")
        write_disk(clean, clean_disk())
        status, lines = run_check(clean, by_argument=True)
        check("clean disk: exit 0 and only the summary",
              status == 0 and len(lines) == 1 and lines[0].endswith(": 0 errors, 0 warnings"), lines)
        for n, (what, fault, expected, pattern) in enumerate(CASES):
            if TOOL[:1] == ["wine"] and what not in UNDER_WINE:
                continue
            disk = clean_disk()
            fault(disk)
            folder = os.path.join(work, "case%d" % n)
            write_disk(folder, disk)
            status, lines = run_check(folder)
            matched = any(re.search(pattern, l) for l in lines)
            check("%s: exit %d and the report" % (what, expected), status == expected and matched,
                  ["exit %d" % status] + lines)
            if what in SONGS:
                songs = subprocess.run(TOOL + ["songs", folder], capture_output=True).stdout.decode().split()
                check("%s: songs lists the same songs" % what, songs == SONGS[what], songs)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

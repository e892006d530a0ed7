"""A disk folder as the program reads it, for the scripts: its files, the sections and keys of its
INI files, the six buttons and how numbered lists are read (the twin of format/DiskFormat.h), the
one way to write its INI files, and its archive read through vfspack."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import profile_ini  # noqa: E402

ARCHIVE, SKIN, PLAYLIST = "data.vfs", "skin.ini", "PlayList.ini"
BACKGROUND = "pic.png"

MUSIC = "Music"
SONG_KEY_PREFIX = "song"
INFO_X, INFO_Y, TITLE_X, TITLE_Y, NO_INFO, TITLE = "InfoX", "InfoY", "TitleX", "TitleY", "NoInfo", "Title"

# PlayList.ini's song sections: keys in reading order, the picture row each goes to (None: the song
# file), and whether NoInfo stands in for it. The first empty value ends the whole list.
SONG_SECTION_PREFIX = "song"
SONG_KEYS = (("file", None, False), ("pic1", 1, True), ("pic0", 0, True), ("TitlePic", 2, False))
SONG_FILE = SONG_KEYS[0][0]
# Optional, read after them: the song's gain in dB, its stereo width in percent, and how its
# tracker module is resampled (one of RESAMPLERS, in any case).
GAIN, SEPARATION, RESAMPLER = "Gain", "Separation", "Resampler"
RESAMPLERS = ("amiga", "a500", "a1200", "unfiltered", "none", "linear", "cubic", "sinc")

# skin.ini's six button sections in slot order, with the states each button draws.
BUTTON_X, BUTTON_Y, PICTURE_KEY_PREFIX = "X", "Y", "pic"
BUTTONS = (("ButtonRewind", 4), ("ButtonPlayPause", 6), ("ButtonStop", 4), ("ButtonForward", 4),
           ("ButtonEject", 4), ("ButtonInfo", 4))


# skin.ini's optional level meter, clock, and seek and volume bars (the twin of format/DiskFormat.h).
METER, CLOCK, SEEK, VOLUME = "Meter", "Clock", "Seek", "Volume"
FACE_X, FACE_Y, FACE_WIDTH, FACE_HEIGHT, FACE_PICTURE = "X", "Y", "Width", "Height", "pic"
METER_BARS, METER_GAP = "Bars", "Gap"
CLOCK_GLYPHS = "0123456789:"

def numbered_name(prefix, n):
    return "%s%d" % (prefix, n)


def numbered(ini, section, prefix):
    """prefix0, prefix1, ... of a section up to the first missing or empty one."""
    values = []
    while profile_ini.get(ini, section, numbered_name(prefix, len(values))):
        values.append(profile_ini.get(ini, section, numbered_name(prefix, len(values))))
    return values


def playlist_songs(ini):
    """The songs PlayList.ini adds, in order: {"file": ..., "pic1": ..., ...}, a song's pictures
    as far as they were read before the list stopped."""
    songs, no_info = [], profile_ini.get(ini, MUSIC, NO_INFO)
    while True:
        section, song = numbered_name(SONG_SECTION_PREFIX, len(songs)), {}
        for key, _, falls_back in SONG_KEYS:
            value = profile_ini.get(ini, section, key, no_info if falls_back else "")
            if not value:
                return songs + ([song] if song else [])
            song[key] = value
        songs.append(song)


def write_ini(path, sections):
    """[(section, [(key, value), ...]), ...] in the ANSI code page (Western, 1252) with CRLF lines,
    as the profile functions read it; a character outside it becomes "?"."""
    lines = []
    for section, keys in sections:
        lines += ["[%s]" % section] + ["%s=%s" % kv for kv in keys] + [""]
    with open(path, "w", encoding="cp1252", errors="replace", newline="\r\n") as f:
        f.write("\n".join(lines))


# ---- the archive, through vfspack ----

def find_vfspack():
    """MD_VFSPACK, else a vfspack of the build that MD_BIN or MD_BUILD_ROOT names, else of build/."""
    if os.environ.get("MD_VFSPACK"):
        return os.environ["MD_VFSPACK"]
    roots = [os.path.dirname(os.environ["MD_BIN"])] if os.environ.get("MD_BIN") else []
    here = os.path.dirname(os.path.abspath(__file__))
    roots += [os.environ.get("MD_BUILD_ROOT") or os.path.join(here, "..", "..", "build")]
    for root in roots:
        # The native tool, or the host build that packs the demo disk beside the Windows build.
        for tool in ("native/tools/vfspack/vfspack", "win/demo/disk-work/vfspack"):
            if os.access(os.path.join(root, tool), os.X_OK):
                return os.path.join(root, tool)
    sys.exit("disk_format: no vfspack built (set MD_VFSPACK)")


def entries(disk, vfspack=None):
    """{entry name in lower case: bytes} of the disk's data.vfs, the first of a name winning."""
    work = tempfile.mkdtemp()
    try:
        subprocess.run([vfspack or find_vfspack(), "extract", os.path.join(disk, ARCHIVE), work], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        found = {}
        for name in os.listdir(work):
            with open(os.path.join(work, name), "rb") as f:
                found[name.lower()] = f.read()
        return found
    finally:
        shutil.rmtree(work)


def entry_names(disk, vfspack=None):
    listed = subprocess.run([vfspack or find_vfspack(), "list", os.path.join(disk, ARCHIVE)], check=True,
                            stdout=subprocess.PIPE, text=True).stdout
    return [line.split("\t")[0] for line in listed.splitlines()]


def png_size(content):
    if content[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("not a PNG")
    return struct.unpack(">II", content[16:24])

#!/usr/bin/env python3
"""Reads a disk folder the way a person placing the pointer would need it.
   disk.py button DISK SECTION [STATE]   prints "x y w h" of the button's picture (window coordinates)
   disk.py entry DISK NAME               prints "w h" of a PNG entry of data.vfs
   disk.py extract DISK NAME FILE        writes the entry's bytes to FILE
   disk.py get DISK FILE SECTION KEY     prints an INI value (empty when missing)
   disk.py placed DISK SECTION KEY FILE  writes the picture that a button state (SECTION pic0..2) or a
                                         song (songN pic0, pic1, TitlePic) shows to FILE, and prints
                                         "x y" where it is drawn (window coordinates)
   disk.py set DISK FILE SECTION KEY VALUE   changes (or adds) one INI value in place
The INI files are read as the program reads them, data.vfs through vfspack (see disk_format.py);
`vfspack songs DISK` lists a disk's songs."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import profile_ini  # noqa: E402
from disk_format import (BUTTON_X, BUTTON_Y, PICTURE_KEY_PREFIX, SKIN, entries,  # noqa: E402,F401
                         numbered_name, png_size)


def set_value(path, section, key, value):
    lines = open(path, encoding="latin-1").read().splitlines()
    current, done = None, False
    for i, line in enumerate(lines):
        stripped = line.strip()
        if stripped.startswith("["):
            if current == section.lower() and not done:
                lines.insert(i, f"{key}={value}")
                done = True
                break
            current = stripped.strip("[]").lower()
        elif current == section.lower() and stripped.split("=")[0].strip().lower() == key.lower():
            lines[i] = f"{key}={value}"
            done = True
            break
    if not done:
        if current != section.lower():
            lines.append(f"[{section}]")
        lines.append(f"{key}={value}")
    open(path, "w", encoding="latin-1").write("\r\n".join(lines) + "\r\n")


def main():
    verb, disk = sys.argv[1], sys.argv[2]
    if verb == "entry":
        print(*png_size(entries(disk)[sys.argv[3].lower()]))
    elif verb == "extract":
        with open(sys.argv[4], "wb") as f:
            f.write(entries(disk)[sys.argv[3].lower()])
    elif verb == "get":
        print(profile_ini.get(profile_ini.read(f"{disk}/{sys.argv[3]}"), sys.argv[4], sys.argv[5]))
    elif verb == "set":
        set_value(f"{disk}/{sys.argv[3]}", *sys.argv[4:7])
    elif verb == "placed":
        section, key = sys.argv[3], sys.argv[4]
        if section.lower().startswith("song"):
            ini = profile_ini.read(os.path.join(disk, "PlayList.ini"))
            place = "Title" if key.lower() == "titlepic" else "Info"
            x, y = (profile_ini.get_int(ini, "Music", place + axis) for axis in "XY")
        else:
            ini = profile_ini.read(os.path.join(disk, SKIN))
            x, y = profile_ini.get_int(ini, section, BUTTON_X), profile_ini.get_int(ini, section, BUTTON_Y)
        with open(sys.argv[5], "wb") as f:
            f.write(entries(disk)[profile_ini.get(ini, section, key).lower()])
        print(x, y)
    elif verb == "button":
        ini = profile_ini.read(os.path.join(disk, SKIN))
        section = sys.argv[3]
        state = int(sys.argv[4]) if len(sys.argv) > 4 else 0
        w, h = png_size(entries(disk)[profile_ini.get(ini, section, numbered_name(PICTURE_KEY_PREFIX, state)).lower()])
        print(profile_ini.get_int(ini, section, BUTTON_X), profile_ini.get_int(ini, section, BUTTON_Y), w, h)
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main()

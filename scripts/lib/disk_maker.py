"""Makes a disk folder from songs: every picture drawn here, the INI files written, data.vfs packed.
   disk_maker.py --vfspack VFSPACK --orvelrender ORVELRENDER --skin SKIN_DIR
                 [--title TITLE] [--cover PICTURE] SONG... -o DISK_DIR

A skin folder holds pic.png, the button states as PNG shapes with alpha (each is laid over the part
of pic.png beneath it) and skin.ini: the six button sections of a disk's skin.ini, whose pic0, pic1,
... name those files, and a section [Layout] with Title=X,Y,W,H and Info=X,Y,W,H, the rectangles of
the title strip and the info pictures, both inside the opaque part of pic.png. The demo's skin also
names Name=X,Y,W,H and IdleName=X,Y,W,H, where the disk's title is written into pic.png (on the
face, and in the title strip before play); a skin without them is left as drawn. A skin's [Meter],
[Clock], [Seek] and [Volume] sections go to the disk as they are, with the pictures they name."""
import argparse
import hashlib
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unicodedata

from PIL import Image, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import disk_format as fmt  # noqa: E402
import profile_ini  # noqa: E402

FONTS = "/usr/share/fonts/truetype/dejavu/"
INK, DIM, FAINT = (233, 228, 255), (150, 140, 196), (96, 86, 140)
# How the disk's title is written where the skin's [Layout] asks for it: font, largest and
# smallest size, colour and anchor (centred on the face, from the left in the idle strip).
NAME_STYLES = {"Name": ("DejaVuSans-Bold.ttf", 19, 10, INK, "mm"),
               "IdleName": ("DejaVuSans-Bold.ttf", 12, 9, (74, 65, 117), "lm")}
PANEL_TOP, PANEL_BOTTOM = (28, 23, 56), (16, 12, 36)


def font(name, size):
    return ImageFont.truetype(FONTS + name, size)


def save_png(picture, path):
    """Without colour chunks: GDI+ on Windows would colour-correct the picture away from its background."""
    clean = Image.new("RGBA", picture.size)
    clean.paste(picture.convert("RGBA"))
    clean.save(path, optimize=True)


# ---- what a song says of itself ----

def song_info(orvelrender, path):
    out = subprocess.run([orvelrender, "--info", path], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if out.returncode != 0:
        sys.exit("make-disk: %s" % (out.stderr.decode(errors="replace").strip() or path + " cannot be read"))
    info, block = {"blocks": {}}, None
    for line in out.stdout.decode("utf-8", "replace").splitlines():
        if line.startswith("  ") and block is not None:
            info["blocks"][block].append(line[2:])
        elif line.endswith(":"):
            block = line[:-1]
            info["blocks"][block] = []
        else:
            key, _, value = line.partition(": ")
            info[key], block = value, None
    seconds = float(info.get("length", "0 s").split()[0])
    info["seconds"] = seconds
    info["name"] = info.get("title", "").strip() or os.path.splitext(os.path.basename(path))[0]
    return info


def clock(seconds):
    seconds = max(0, int(round(seconds)))
    return "%d:%02d" % (seconds // 60, seconds % 60)


# ---- the skin ----

def parse_rect(text, what):
    try:
        x, y, w, h = (int(v) for v in text.split(","))
    except ValueError:
        sys.exit("make-disk: the skin's [Layout] %s must read X,Y,W,H, not %r" % (what, text))
    return x, y, w, h


class Skin:
    def __init__(self, folder):
        self.background = Image.open(os.path.join(folder, fmt.BACKGROUND)).convert("RGBA")
        ini = profile_ini.read(os.path.join(folder, fmt.SKIN))
        self.title = parse_rect(profile_ini.get(ini, "Layout", "Title"), "Title")
        self.info = parse_rect(profile_ini.get(ini, "Layout", "Info"), "Info")
        self.name_places = [(parse_rect(profile_ini.get(ini, "Layout", key), key), NAME_STYLES[key])
                            for key in NAME_STYLES if profile_ini.get(ini, "Layout", key)]
        self.buttons = []
        for section, _ in fmt.BUTTONS:
            x, y = profile_ini.get_int(ini, section, fmt.BUTTON_X), profile_ini.get_int(ini, section, fmt.BUTTON_Y)
            states = []
            for name in fmt.numbered(ini, section, fmt.PICTURE_KEY_PREFIX):
                shape = Image.open(os.path.join(folder, name))
                states.append(self.behind(x, y, *shape.size).copy())
                states[-1].alpha_composite(shape.convert("RGBA"))
            self.buttons.append((section, x, y, states))
        # The meter, the clock and the bars, kept as the skin has them: their pictures already hold the face.
        rect = (fmt.FACE_X, fmt.FACE_Y, fmt.FACE_WIDTH, fmt.FACE_HEIGHT, fmt.FACE_PICTURE)
        keys = {fmt.METER: rect + (fmt.METER_BARS, fmt.METER_GAP), fmt.CLOCK: (fmt.FACE_X, fmt.FACE_Y, fmt.FACE_PICTURE),
                fmt.SEEK: rect, fmt.VOLUME: rect}
        self.face = [(section, [(k, profile_ini.get(ini, section, k)) for k in names if profile_ini.get(ini, section, k)],
                      os.path.join(folder, profile_ini.get(ini, section, fmt.FACE_PICTURE)))
                     for section, names in keys.items() if profile_ini.get(ini, section, fmt.FACE_PICTURE)]

    def behind(self, x, y, w, h):
        return self.background.crop((x, y, x + w, y + h))


# ---- pictures ----

def rounded_panel(skin, rect, fill, radius=9):
    """A picture of RECT: a rounded panel over the part of pic.png behind it. Everything is laid over
    opaque pixels, since the program puts the picture's alpha on screen as it is."""
    x, y, w, h = rect
    picture = skin.behind(x, y, w, h)
    body = Image.new("RGBA", (w, h), PANEL_BOTTOM + (255,))
    body.alpha_composite(fill)
    scale = 4  # drawn large and shrunk, for smooth corners
    mask = Image.new("L", (w * scale, h * scale))
    ImageDraw.Draw(mask).rounded_rectangle((0, 0, w * scale - 1, h * scale - 1), radius * scale, fill=255)
    picture.paste(body, (0, 0), mask.resize((w, h), Image.LANCZOS))
    edge = Image.new("RGBA", (w, h))
    ImageDraw.Draw(edge).rounded_rectangle((0, 0, w - 1, h - 1), radius, outline=(216, 204, 255, 56))
    picture.alpha_composite(edge)
    return picture


def vertical_gradient(size, top, bottom):
    w, h = size
    strip = Image.new("RGBA", (1, h))
    for y in range(h):
        t = y / max(1, h - 1)
        strip.putpixel((0, y), tuple(int(a + (b - a) * t) for a, b in zip(top, bottom)) + (255,))
    return strip.resize(size)


def fitted(text, face, width):
    if face.getlength(text) <= width:
        return text
    while text and face.getlength(text + "\u2026") > width:
        text = text[:-1]
    return text + "\u2026"


def named_background(skin, title):
    """pic.png with the disk's title, at the largest size that fits each place, else cut short."""
    picture = skin.background.copy()
    draw = ImageDraw.Draw(picture)
    for (x, y, w, h), (face_file, largest, smallest, colour, anchor) in skin.name_places:
        size = min(largest, h - 4)
        while size > smallest and font(face_file, size).getlength(title) > w:
            size -= 1
        face = font(face_file, size)
        at = (x + w / 2 if anchor == "mm" else x, y + h / 2)
        draw.text(at, fitted(title, face, w), font=face, fill=colour, anchor=anchor)
    return picture


def accent(name):
    hue = hashlib.sha1(name.encode()).digest()[0] / 255
    r, g, b = (0.5 + 0.5 * math.cos(2 * math.pi * (hue + k / 3)) for k in range(3))
    return tuple(int(110 + 145 * c) for c in (r, g, b))


def title_strip(skin, number, info):
    x, y, w, h = skin.title
    picture = rounded_panel(skin, skin.title, vertical_gradient((w, h), (26, 21, 54), (18, 14, 40)), radius=7)
    draw = ImageDraw.Draw(picture)
    size = max(8, min(14, h - 12))
    plain, bold = font("DejaVuSans.ttf", size), font("DejaVuSans-Bold.ttf", size)
    middle = h // 2
    length = clock(info["seconds"])
    number_text = "%02d" % number
    draw.text((10, middle), number_text, font=bold, fill=accent(info["name"]), anchor="lm")
    draw.text((w - 10, middle), length, font=plain, fill=DIM, anchor="rm")
    left = 10 + bold.getlength(number_text) + 8
    room = w - 10 - plain.getlength(length) - 10 - left
    draw.text((left, middle), fitted(info["name"], bold, room), font=bold, fill=INK, anchor="lm")
    return picture


def artwork(skin, info, cover):
    x, y, w, h = skin.info
    if cover is not None:
        scale = max(w / cover.width, h / cover.height)
        scaled = cover.resize((max(w, round(cover.width * scale)), max(h, round(cover.height * scale))),
                              Image.LANCZOS)
        left, top = (scaled.width - w) // 2, (scaled.height - h) // 2
        fill = Image.new("RGBA", (w, h), PANEL_BOTTOM + (255,))
        fill.alpha_composite(scaled.crop((left, top, left + w, top + h)))
        return rounded_panel(skin, skin.info, fill)
    # Rings like a record's grooves, in the song's own colour, around its initial.
    colour = accent(info["name"])
    fill = vertical_gradient((w, h), tuple(c // 5 for c in colour), PANEL_BOTTOM)
    draw = ImageDraw.Draw(fill)
    seed = hashlib.sha1(info["name"].encode()).digest()
    cx, cy = w * (0.3 + 0.4 * seed[1] / 255), h * (0.3 + 0.4 * seed[2] / 255)
    for k in range(18, 0, -1):
        r = k * max(w, h) / 18
        shade = tuple(int(c * (0.15 + 0.5 * ((k + seed[3]) % 3 == 0))) for c in colour)
        draw.ellipse((cx - r, cy - r, cx + r, cy + r), outline=shade, width=max(1, int(r / 12)))
    face = font("DejaVuSans-Bold.ttf", max(10, int(h * 0.6)))
    initial = next((c for c in info["name"] if c.isalnum()), "?").upper()
    draw.text((cx, cy), initial, font=face, fill=colour + (220,), anchor="mm")
    return rounded_panel(skin, skin.info, fill)


def song_words(info):
    """The song's own words as blocks of lines: the module message, the sample and instrument names
    (laid out in columns), the comments."""
    blocks = info["blocks"]
    samples = blocks.get("samples", [])
    instruments = blocks.get("instruments", [])
    # An XM's instruments mostly repeat its samples' names.
    names = samples if instruments in ([], samples) else samples + ([""] if samples else []) + instruments
    found = [(lines, columned) for lines, columned in ((blocks.get("message", []), False), (names, True),
                                                      (blocks.get("comments", []), False)) if lines]
    return found or [(["(the song says nothing of itself)"], False)]


def text_panel(skin, number, info):
    x, y, w, h = skin.info
    picture = rounded_panel(skin, skin.info, vertical_gradient((w, h), PANEL_TOP, PANEL_BOTTOM))
    draw = ImageDraw.Draw(picture)
    head, small, mono = font("DejaVuSans-Bold.ttf", 10), font("DejaVuSans.ttf", 9), font("DejaVuSansMono.ttf", 8)
    pad, line_height, gap = 8, 9, 10
    colour = accent(info["name"])
    draw.rectangle((pad, pad, pad + 2, pad + 11), fill=colour)
    name = fitted(info["name"], head, (w - 2 * pad - 8) * 0.6)
    draw.text((pad + 7, pad - 1), name, font=head, fill=INK)
    left = pad + 7 + head.getlength(name)
    about = "  \u00b7  %s  \u00b7  %s" % (clock(info["seconds"]), info.get("format", ""))
    draw.text((left, pad + 1), fitted(about, small, w - pad - left), font=small, fill=colour)
    # Block after block, names in as many columns as their longest allows, each line clipped to
    # its column; what does not fit is counted on the last line.
    top, width = pad + 18, w - 2 * pad
    rows = max(1, (h - top - pad + 2) // line_height)
    cells = []
    for lines, columned in song_words(info):
        widest = max(mono.getlength(line) for line in lines) or 1
        columns = max(1, min(4, int((width + gap) // (widest + gap)))) if columned else 1
        per_column = -(-len(lines) // columns)
        row0 = (cells[-1][1] + 2) if cells else 0
        column_width = (width - gap * (columns - 1)) / columns
        for i, line in enumerate(lines):
            column, row = divmod(i, per_column)
            cells.append((pad + column * (column_width + gap), row0 + row, column_width, line))
        cells.sort(key=lambda cell: cell[1])
    shown = [cell for cell in cells if cell[1] < rows]
    if len(shown) < len(cells):
        shown = [cell for cell in shown if cell[1] < rows - 1]
        hidden = sum(1 for cell in cells if cell[3] and cell not in shown)
        shown.append((pad, rows - 1, width, "\u2026 %d lines more" % hidden))
    for left, row, column_width, line in shown:
        draw.text((left, top + row * line_height), fitted(line, mono, column_width), font=mono,
                  fill=DIM if row == rows - 1 and line.startswith("\u2026") else INK)
    return picture


def noinfo_panel(skin):
    x, y, w, h = skin.info
    picture = rounded_panel(skin, skin.info, vertical_gradient((w, h), PANEL_TOP, PANEL_BOTTOM))
    ImageDraw.Draw(picture).text((w // 2, h // 2), "no pictures for this song", font=font("DejaVuSans.ttf", 10),
                                 fill=FAINT, anchor="mm")
    return picture


# ---- the disk ----

# Letters that Windows' Western code page cannot spell, in Latin letters.
CYRILLIC = dict(zip("абвгдеёжзийклмнопрстуфхцчшщъыьэюяіїєґў",
                    "a b v g d e yo zh z i y k l m n o p r s t u f kh ts ch sh shch - y - e yu ya i yi ye g u"
                    .split(" ")))
LATIN = {"ß": "ss", "æ": "ae", "œ": "oe", "ø": "o", "ł": "l", "đ": "d", "ð": "d", "þ": "th", "ı": "i"}
SAFE = set("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,_-()+&!'")


def transliterated(text, keep=lambda c: c in SAFE):
    """TEXT with every letter that `keep` refuses spelt in plain Latin letters, or left out."""
    out = ""
    for c in text:
        if keep(c):
            out += c
            continue
        lower = c.lower()
        spelt = CYRILLIC.get(lower, LATIN.get(lower))
        if spelt is None:
            spelt = "".join(k for k in unicodedata.normalize("NFKD", lower) if k in SAFE)
        spelt = spelt.replace("-", "")
        out += spelt.capitalize() if c != lower else spelt
    return out


def in_cp1252(c):
    try:
        c.encode("cp1252")
        return True
    except UnicodeEncodeError:
        return False


def song_file_names(songs):
    """Each song's name in the disk folder, which the program opens through the ANSI functions and
    so only plain ASCII reaches on every Windows: its number, then its own name spelt in ASCII."""
    names = []
    for i, song in enumerate(songs):
        stem, ext = os.path.splitext(os.path.basename(song))
        stem = " ".join(transliterated(stem).split()).strip(" .'")[:60]
        names.append("%02d%s%s" % (i + 1, "-" + stem if stem else "", transliterated(ext)))
    return names


# ---- levelling ----

TARGET_LUFS, PEAK_LIMIT_DBFS = -18.0, -1.0


def loudness(orvelrender, path, separation, resampler):
    """As the disk plays it: narrowing a hard-panned module makes it quieter, an Amiga filter too."""
    out = subprocess.run([orvelrender, "--loudness", path] + (["--separation", separation] if separation else []) +
                         (["--resampler", resampler] if resampler else []),
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if out.returncode != 0:
        sys.exit("make-disk: %s" % (out.stderr.decode(errors="replace").strip() or path + " cannot be measured"))
    found = dict(line.split(": ", 1) for line in out.stdout.decode().splitlines())
    return float(found["loudness"].split()[0]), float(found["peak"].split()[0])


def level(measured):
    """The Gain that brings the song to the target, kept so that its peak stays under the limit,
    and what to say of it."""
    lufs, peak = measured
    if math.isinf(lufs):
        return None, "silent, left as it is"
    about = "%.1f LUFS, peak %.1f dBFS, " % (lufs, peak)
    wanted = TARGET_LUFS - lufs
    gain = min(wanted, PEAK_LIMIT_DBFS - peak, 30.0)
    gain = max(-30.0, math.floor(gain * 100) / 100)
    said = about + "Gain=%.2f" % gain
    if gain < wanted - 0.05:
        said += ", too quiet to reach %.0f LUFS: raised only as far as its peak allows (to %.1f LUFS)" % (
            TARGET_LUFS, lufs + gain)
    return gain, said


def make(args):
    skin = Skin(args.skin)
    cover = Image.open(args.cover).convert("RGBA") if args.cover else None
    infos = [song_info(args.orvelrender, song) for song in args.songs]
    separations = [args.separation if args.separation is not None and is_module(info) else None for info in infos]
    resamplers = [args.resampler if is_module(info) else None for info in infos]
    levels = [level(loudness(args.orvelrender, song, separation, resampler)) if args.level else None
              for song, separation, resampler in zip(args.songs, separations, resamplers)]
    os.makedirs(args.out, exist_ok=True)
    pictures = tempfile.mkdtemp()
    try:
        title = args.title or os.path.basename(os.path.abspath(args.out))
        save_png(named_background(skin, title), os.path.join(pictures, fmt.BACKGROUND))
        caption = transliterated(title, in_cp1252)
        if caption != title:
            print("make-disk: the caption reads \"%s\": Windows' Western code page cannot spell \"%s\", "
                  "which the face shows as written" % (caption, title))
        skin_sections = []
        for section, x, y, states in skin.buttons:
            prefix = section[len("Button"):].lower()
            for n, state in enumerate(states):
                save_png(state, os.path.join(pictures, "%s%d.png" % (prefix, n)))
            skin_sections.append((section, [(fmt.BUTTON_X, x), (fmt.BUTTON_Y, y)] +
                                  [(fmt.numbered_name(fmt.PICTURE_KEY_PREFIX, n), "%s%d.png" % (prefix, n))
                                   for n in range(len(states))]))
        for section, keys, picture in skin.face:
            shutil.copyfile(picture, os.path.join(pictures, dict(keys)[fmt.FACE_PICTURE]))
            skin_sections.append((section, keys))
        save_png(noinfo_panel(skin), os.path.join(pictures, "noinfo.png"))
        play_sections = [(fmt.MUSIC, [(fmt.TITLE, caption), (fmt.INFO_X, skin.info[0]), (fmt.INFO_Y, skin.info[1]),
                                      (fmt.TITLE_X, skin.title[0]), (fmt.TITLE_Y, skin.title[1]),
                                      (fmt.NO_INFO, "noinfo.png")])]
        for i, (song, name, info) in enumerate(zip(args.songs, song_file_names(args.songs), infos)):
            entry = "song%02d-%%s.png" % (i + 1)
            save_png(title_strip(skin, i + 1, info), os.path.join(pictures, entry % "title"))
            save_png(artwork(skin, info, cover), os.path.join(pictures, entry % "art"))
            save_png(text_panel(skin, i + 1, info), os.path.join(pictures, entry % "words"))
            shutil.copyfile(song, os.path.join(args.out, name))
            by_row = {None: name, 0: entry % "art", 1: entry % "words", 2: entry % "title"}
            keys = [(key, by_row[row]) for key, row, _ in fmt.SONG_KEYS]
            if levels[i] and levels[i][0] is not None:
                keys.append((fmt.GAIN, "%.2f" % levels[i][0]))
            if separations[i] is not None:
                keys.append((fmt.SEPARATION, separations[i]))
            if resamplers[i]:
                keys.append((fmt.RESAMPLER, resamplers[i]))
            play_sections.append((fmt.numbered_name(fmt.SONG_SECTION_PREFIX, i), keys))
        fmt.write_ini(os.path.join(args.out, fmt.SKIN), skin_sections)
        fmt.write_ini(os.path.join(args.out, fmt.PLAYLIST), play_sections)
        subprocess.run([args.vfspack, "create", os.path.join(args.out, fmt.ARCHIVE), pictures], check=True)
    finally:
        shutil.rmtree(pictures)
    for info, measured in zip(infos, levels):
        print("make-disk: %s (%s)%s" % (info["name"], clock(info["seconds"]), ": " + measured[1] if measured else ""))


def is_module(info):
    return not info.get("format", "").startswith(("WAV", "Ogg"))


def separation(text):
    if not text.isdigit() or int(text) > 200:
        raise argparse.ArgumentTypeError("the stereo width is a whole percent from 0 to 200, not %r" % text)
    return str(int(text))


def main(argv):
    parser = argparse.ArgumentParser(prog="make-disk")
    parser.add_argument("--vfspack", required=True)
    parser.add_argument("--orvelrender", required=True)
    parser.add_argument("--skin", required=True)
    parser.add_argument("--title")
    parser.add_argument("--cover")
    parser.add_argument("--no-level", dest="level", action="store_false")
    parser.add_argument("--separation", type=separation)
    parser.add_argument("--resampler", type=str.lower, choices=fmt.RESAMPLERS)
    parser.add_argument("-o", dest="out", required=True)
    parser.add_argument("songs", nargs="+")
    try:
        make(parser.parse_args(argv))
    except (OSError, Image.UnidentifiedImageError) as e:
        sys.exit("make-disk: %s" % e)


if __name__ == "__main__":
    main(sys.argv[1:])

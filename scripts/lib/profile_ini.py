"""A disk's INI file read as the program's profile functions read it (tools/vfspack/ProfileIni.h):
names without regard to case, the first section and the first key of a name win, no comments,
a line without '=' is no value, and a value loses one pair of matching quotes."""

BLANKS = "\t\n\v\f\r\x1a "


def decode(data):
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", "replace")
    if data[:2] in (b"\xff\xfe", b"\xfe\xff"):
        return data.decode("utf-16", "replace")
    return data.decode("cp1252", "replace")


def parse(text):
    """{section: {key: value or None}}, names in lower case; "" is the part above any section."""
    sections = {"": {}}
    current = sections[""]
    for line in text.replace("\r", "\n").split("\n"):
        line = line.strip(BLANKS)
        if not line:
            continue
        if line.startswith("[") and "]" in line:
            name = line[1:line.rindex("]")].lower()
            # A repeated section is read past, never looked up.
            current = {} if name in sections else sections.setdefault(name, {})
            continue
        name, eq, value = line.partition("=")
        value = value.strip(BLANKS).split("\0")[0] if eq else None
        current.setdefault(name.strip(BLANKS).lower(), value)
    return sections


def read(path):
    try:
        with open(path, "rb") as f:
            return parse(decode(f.read()))
    except FileNotFoundError:
        return {"": {}}


def unquote(value):
    if len(value) > 1 and value[0] in "'\"" and value[-1] == value[0]:
        value = value[1:-1]
    return value[:259]


def get(ini, section, key, default=""):
    value = ini.get(section.lower(), {}).get(key.lower())
    return default if value is None else unquote(value)


def get_int(ini, section, key):
    """The number the value starts with (decimal, or 0x/0o/0b), wrapping at 32 bits, as
    GetPrivateProfileIntA gives it."""
    text = get(ini, section, key).lstrip()
    sign = -1 if text[:1] == "-" else 1
    text = text[1:] if text[:1] in "+-" and text else text
    base = {"0b": 2, "0o": 8, "0x": 16}.get(text[:2], 10) if len(text) > 1 else 10
    total = 0
    for c in text[2:] if base != 10 else text:
        digit = int(c, 36) if c.isascii() and c.isalnum() else 99
        if digit >= base:
            break
        total = (total * base + digit) & 0xFFFFFFFF
    total = (sign * total) & 0xFFFFFFFF
    return total - (1 << 32) if total >= 1 << 31 else total

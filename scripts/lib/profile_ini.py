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
            # A repeated section is still read past, but never looked up.
            current = sections.setdefault(name, {}) if name not in sections else {}
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
    """The number the value starts with, as GetPrivateProfileIntA gives it (decimal only here)."""
    digits = get(ini, section, key).lstrip()
    sign = -1 if digits[:1] == "-" else 1
    digits = digits.lstrip("+-")
    n = len(digits) - len(digits.lstrip("0123456789"))
    return sign * int(digits[:n]) if n else 0

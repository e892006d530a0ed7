"""Small synthesiser, arranger and writers (WAV, XM) for the demo disk's songs.

A song is a list of tracks; each track is monophonic, like a tracker channel: a note sounds until
the next note of its track starts or its instrument's sound dies away. The same events become an
XM module (instrument samples rendered here) or are mixed straight to a WAV file.
"""
import math
import random
import struct
from operator import add

NOTE_NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8,
              "A": 9, "A#": 10, "B": 11}


def midi(name):
    """'A4' -> 69, 'C#5' -> 73."""
    return NOTE_NAMES[name[:-1]] + 12 * (int(name[-1]) + 1)


def freq(note):
    return 440.0 * 2 ** ((note - 69) / 12)


# ---- instruments: (rate, frequency) -> list of floats, one-shot sounds that die away ----

def _env(i, rate, attack, decay):
    t = i / rate
    a = min(1.0, t / attack) if attack > 0 else 1.0
    return a * math.exp(-t / decay)


def _harmonics(rate, f, seconds, partials, attack, decay, vibrato=0.0):
    n = int(rate * seconds)
    out = [0.0] * n
    phase = 0.0
    nyquist = rate / 2
    usable = [(k, amp) for k, amp in partials if k * f < nyquist * 0.9]
    for i in range(n):
        t = i / rate
        wobble = 1.0 + vibrato * math.sin(2 * math.pi * 5.5 * t) * min(1.0, t * 4)
        phase += 2 * math.pi * f * wobble / rate
        s = 0.0
        for k, amp in usable:
            s += amp * math.sin(k * phase)
        out[i] = s * _env(i, rate, attack, decay)
    return _fade_tail(out, rate)


def _fade_tail(out, rate, seconds=0.01):
    n = min(len(out), int(rate * seconds))
    for j in range(n):
        out[len(out) - 1 - j] *= j / n
    return out


def bass(rate, f):
    return _harmonics(rate, f, 1.2, [(k, 0.55 / k) for k in range(1, 9)], 0.004, 0.45)


def lead(rate, f):
    return _harmonics(rate, f, 1.4, [(k, 0.42 / k) for k in range(1, 12, 2)], 0.01, 0.9, vibrato=0.004)


def pluck(rate, f):
    return _harmonics(rate, f, 0.6, [(1, 0.4), (2, 0.22), (3, 0.12), (4, 0.07), (5, 0.04)], 0.002, 0.16)


def pad(rate, f):
    n = int(rate * 2.4)
    out = [0.0] * n
    detune = (0.997, 1.0, 1.004)
    for i in range(n):
        t = i / rate
        s = 0.0
        for d in detune:
            p = 2 * math.pi * f * d * t
            s += math.sin(p) + 0.3 * math.sin(2 * p) + 0.12 * math.sin(3 * p)
        out[i] = 0.11 * s * min(1.0, t / 0.35) * math.exp(-t / 1.6)
    return _fade_tail(out, rate, 0.05)


def bell(rate, f):
    n = int(rate * 1.6)
    out = [0.0] * n
    for i in range(n):
        t = i / rate
        index = 2.2 * math.exp(-t / 0.25)
        out[i] = 0.38 * math.sin(2 * math.pi * f * t + index * math.sin(2 * math.pi * 3.5 * f * t)) * \
            _env(i, rate, 0.003, 0.6)
    return _fade_tail(out, rate)


def kick(rate, f=None):
    n = int(rate * 0.35)
    out = [0.0] * n
    phase = 0.0
    for i in range(n):
        t = i / rate
        phase += 2 * math.pi * (45 + 110 * math.exp(-t / 0.04)) / rate
        out[i] = 0.95 * math.sin(phase) * math.exp(-t / 0.12)
    return _fade_tail(out, rate)


def snare(rate, f=None):
    rng = random.Random(7)
    n = int(rate * 0.25)
    return _fade_tail([0.5 * rng.uniform(-1, 1) * math.exp(-i / rate / 0.06) +
                       0.35 * math.sin(2 * math.pi * 190 * i / rate) * math.exp(-i / rate / 0.05)
                       for i in range(n)], rate)


def hat(rate, f=None):
    rng = random.Random(11)
    n = int(rate * 0.08)
    prev = 0.0
    out = []
    for i in range(n):
        x = rng.uniform(-1, 1)
        out.append(0.3 * (x - prev) * math.exp(-i / rate / 0.018))
        prev = x
    return _fade_tail(out, rate, 0.005)


PITCHED = {"bass", "lead", "pluck", "pad", "bell"}
INSTRUMENTS = {"bass": bass, "lead": lead, "pluck": pluck, "pad": pad, "bell": bell,
               "kick": kick, "snare": snare, "hat": hat}


# ---- arranging: tracks of (row, note, volume) ----

class Track:
    def __init__(self, name, instrument, pan=0.0):
        self.name, self.instrument, self.pan = name, instrument, pan
        self.events = []  # (row, midi note or None for drums, volume 0..1)

    def add(self, row, note, volume=1.0):
        self.events.append((row, note, volume))


class Song:
    def __init__(self, title, bpm, rows_per_bar=16):
        self.title, self.bpm, self.rows_per_bar = title, bpm, rows_per_bar
        self.tracks = []

    @property
    def row_seconds(self):
        return 15.0 / self.bpm  # a sixteenth note

    def track(self, name, instrument, pan=0.0):
        t = Track(name, instrument, pan)
        self.tracks.append(t)
        return t

    def rows(self):
        last = max(r for t in self.tracks for r, _, _ in t.events)
        return (last // self.rows_per_bar + 1) * self.rows_per_bar


def add_melody(track, start_row, phrase, volume=0.9):
    """phrase: 'E5:4 C5:2 r:2 ...', durations in rows."""
    row = start_row
    for item in phrase.split():
        name, length = item.split(":")
        if name != "r":
            track.add(row, midi(name), volume)
        row += int(length)
    return row


def add_pattern(track, start_row, steps, note=None, volume=1.0):
    """steps: 'x...x...' one character per row; x loud, o soft."""
    for i, c in enumerate(steps):
        if c in "xo":
            track.add(start_row + i, note, volume if c == "x" else volume * 0.55)


CHORDS = {"": (0, 4, 7), "m": (0, 3, 7)}


def chord_notes(symbol, octave=4):
    """'Am' -> [A, C, E] in the given octave (root first)."""
    root = symbol[0] + ("#" if len(symbol) > 1 and symbol[1] == "#" else "")
    quality = symbol[len(root):]
    base = midi(root + str(octave))
    return [base + i for i in CHORDS[quality]]


# ---- rendering to audio ----

def render(song, rate):
    """Stereo float lists (left, right) with the tracker semantics described above."""
    total = int((song.rows() * song.row_seconds + 2.5) * rate)
    left, right = [0.0] * total, [0.0] * total
    cache = {}
    for track in song.tracks:
        events = sorted(track.events)
        gl = math.cos((track.pan + 1) * math.pi / 4)
        gr = math.sin((track.pan + 1) * math.pi / 4)
        for k, (row, note, volume) in enumerate(events):
            key = (track.instrument, note)
            if key not in cache:
                cache[key] = INSTRUMENTS[track.instrument](rate, freq(note) if note is not None else None)
            sound = cache[key]
            start = int(row * song.row_seconds * rate)
            end = start + len(sound)
            if k + 1 < len(events):
                end = min(end, int(events[k + 1][0] * song.row_seconds * rate))
            end = min(end, total)
            length = end - start
            fade = min(length, int(rate * 0.004))
            part = sound[:length]
            if fade and length < len(sound):
                part[length - fade:] = [v * (j / fade) for j, v in zip(range(fade, 0, -1), part[length - fade:])]
            left[start:end] = list(map(add, left[start:end], [v * volume * gl for v in part]))
            right[start:end] = list(map(add, right[start:end], [v * volume * gr for v in part]))
    # trim the silent tail, keep a short release
    last = max(i for i in range(total) if abs(left[i]) > 1e-4 or abs(right[i]) > 1e-4)
    return left[:last + 1], right[:last + 1]


def write_wav16(path, rate, left, right):
    peak = max(max(map(abs, left)), max(map(abs, right)), 1e-9)
    gain = min(1.0, 0.89 / peak)
    frames = bytearray()
    for l, r in zip(left, right):
        frames += struct.pack("<hh", int(round(l * gain * 32767)), int(round(r * gain * 32767)))
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(frames)) + b"WAVE")
        f.write(b"fmt " + struct.pack("<IHHIIHH", 16, 1, 2, rate, rate * 4, 4, 16))
        f.write(b"data" + struct.pack("<I", len(frames)) + frames)


# ---- XM module ----

XM_SAMPLE_RATE = 33452  # 8363 * 4: relative note +24 plays it back at this rate for C-4
XM_BASE_NOTE = 60       # MIDI note the pitched samples are rendered at; sounds at XM note C-4


def _xm_note(note):
    return note - XM_BASE_NOTE + 49  # XM note 49 is C-4


def _pack_cell(note, instrument, volume):
    return bytes([0x80 | 0x01 | 0x02 | 0x04, note, instrument, 0x10 + volume])


def write_xm(path, song):
    names = [t.instrument for t in song.tracks]
    instruments = list(dict.fromkeys(names))
    rows = song.rows()
    pattern_rows = 64
    patterns = (rows + pattern_rows - 1) // pattern_rows
    channels = len(song.tracks) + (len(song.tracks) & 1)
    grid = [[None] * channels for _ in range(patterns * pattern_rows)]
    for c, track in enumerate(song.tracks):
        for row, note, volume in track.events:
            xm = _xm_note(note) if note is not None else 49
            grid[row][c] = (xm, instruments.index(track.instrument) + 1, max(0, min(64, round(volume * 64))))

    speed = 6
    out = bytearray()
    out += b"Extended Module: " + song.title.encode()[:20].ljust(20, b"\0") + b"\x1a"
    out += b"songlib.py".ljust(20, b"\0") + struct.pack("<H", 0x0104)
    header = struct.pack("<HHHHHHHH", patterns, 0, channels, patterns, len(instruments), 1, speed, song.bpm)
    header += bytes(range(patterns)).ljust(256, b"\0")
    out += struct.pack("<I", 4 + len(header)) + header

    for p in range(patterns):
        data = bytearray()
        length = min(pattern_rows, rows - p * pattern_rows)  # the last one ends with the song
        for r in range(length):
            for cell in grid[p * pattern_rows + r]:
                data += _pack_cell(*cell) if cell else b"\x80"
        out += struct.pack("<IBHH", 9, 0, length, len(data)) + data

    for name in instruments:
        sound = INSTRUMENTS[name](XM_SAMPLE_RATE, freq(XM_BASE_NOTE) if name in PITCHED else None)
        peak = max(max(map(abs, sound)), 1e-9)
        pcm = [int(round(v / peak * 32000)) for v in sound]
        deltas = bytearray()
        prev = 0
        for v in pcm:
            deltas += struct.pack("<h", ((v - prev + 32768) & 0xFFFF) - 32768)
            prev = v
        volume = max(1, min(64, round(peak * 64)))
        pan = next(t.pan for t in song.tracks if t.instrument == name)
        relative = 24  # drums are triggered at XM note C-4 too, so they play at their own rate
        inst = bytearray()
        inst += name.encode().ljust(22, b"\0") + b"\0" + struct.pack("<H", 1)
        inst += struct.pack("<I", 40) + bytes(96)          # sample header size, keymap
        inst += bytes(48 + 48) + bytes(2) + bytes(6) + bytes(2) + bytes(4)  # envelopes off, no vibrato
        inst += struct.pack("<H", 0) + bytes(22)           # fadeout, reserved
        out += struct.pack("<I", 4 + len(inst)) + inst
        sample = struct.pack("<III", len(deltas), 0, 0)
        sample += struct.pack("<BbBBbB", volume, 0, 0x10, int(128 + pan * 100), relative, 0)
        sample += name.encode().ljust(22, b"\0")
        out += sample + deltas
    with open(path, "wb") as f:
        f.write(out)

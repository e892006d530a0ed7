#!/usr/bin/python3
"""Where a recording of the disk jumped within a song, read from the sound alone.

    seek_heard.py RECORDING.raw REFERENCE.wav A B [A B ...]

RECORDING: 16-bit stereo at 44,100 Hz; REFERENCE: the song rendered whole (orvelrender --float).
Before recording frame A the old place sounds, after B the new. A = B but for a seek while paused,
where A is before the pause and B before the play: the places are those of the silence between.
One line a jump: "jump BEFORE AFTER LATENCY STEP SONG_STEP DROPOUTS STEP_AT SKIPPED": the song's
places in seconds heard at A and at B, found in the reference by correlation; the seconds from B
until the new place is heard more than the old, and stays so for 20 ms; the steepest sample step in
the 0.3 s from B, and the song's own steepest; the dropouts in those 0.3 s; the seconds from B to
that step (the latency, where the splice made it); and the frames the song skipped at that step, if
the same place sounds on both sides of it, a little further on after it (else 0).
A dropout is a run of three or more samples of digital silence: the sound path running dry, which a
splice does not make (a song crosses zero in one or two). Its edges are not the splice's step, and
the song stood still through it. A skip is the sound path losing frames on the way (Wine drops what
the sound server was too slow to take, and tells nothing): a splice goes from one place to another.
"""
import struct
import sys

import numpy as np

RATE = 44100
WINDOW = RATE // 5


def reference(path):
    data = open(path, "rb").read()
    at = 12
    while data[at:at + 4] != b"data":
        at += 8 + struct.unpack("<I", data[at + 4:at + 8])[0]
    size = struct.unpack("<I", data[at + 4:at + 8])[0]
    return np.frombuffer(data[at + 8:at + 8 + size], dtype="<f4")[0::2].astype(np.float64) * 32768


def locate(window, song):
    """The frame of the song where the window fits best."""
    size = 1 << (len(song) + len(window)).bit_length()
    fit = np.fft.irfft(np.fft.rfft(song, size) * np.conj(np.fft.rfft(window, size)), size)[:len(song) - len(window)]
    energy = np.cumsum(song ** 2)
    sliding = energy[len(window) - 1:len(window) - 1 + len(fit)] - np.concatenate(([0.0], energy[:len(fit) - 1]))
    return int(np.argmax(fit / np.sqrt(sliding + 1.0)))


def dropouts(heard):
    """The runs of digital silence in the sound, as (start, end) frames."""
    edges = np.flatnonzero(np.diff(np.concatenate(([0], (heard == 0).astype(np.int8), [0]))))
    return [(a, b) for a, b in zip(edges[0::2], edges[1::2]) if b - a >= 3]


def splice_step(heard):
    """The steepest sample step outside the edges of dropouts, and the seconds where it lies."""
    steps = np.abs(np.diff(heard))
    for a, b in dropouts(heard):
        steps[max(a - 1, 0):b] = 0  # the step into the silence, through it, and out of it
    return (int(steps.max()), int(steps.argmax()) / RATE) if len(steps) else (0, 0.0)


def place_near(piece, song, guess):
    """The frame of the song within 50 ms of guess where piece sounds, or None where none does."""
    reach = RATE // 20
    lo = max(guess - reach, 0)
    near = song[lo:guess + reach + len(piece)]
    if len(near) < len(piece) or not len(piece):
        return None
    misfit = np.abs(np.lib.stride_tricks.sliding_window_view(near, len(piece)) - piece).mean(axis=1)
    best = int(misfit.argmin())
    return lo + best if misfit[best] < 0.02 * np.abs(piece).mean() + 20 else None


def skipped(heard, at, song, places):
    """Frames the song moved on by at the step after heard[at], if one place sounds on both sides."""
    piece = RATE * 3 // 1000
    for place in places:  # where the song would be at heard[0], for the old place and the new
        before = place_near(heard[at + 1 - piece:at + 1], song, place + at + 1 - piece)
        after = place_near(heard[at + 1:at + 1 + piece], song, place + at + 1)
        if before is not None and after is not None and after - before != piece:
            return after - before - piece
    return 0


def silent(heard):
    """The frames of dropouts, which the song did not move on through."""
    return sum(b - a for a, b in dropouts(heard))


def main():
    heard = np.frombuffer(open(sys.argv[1], "rb").read(), dtype="<i2")
    heard = heard[: len(heard) // 2 * 2][0::2].astype(np.float64)
    song = reference(sys.argv[2])
    song_step = np.abs(np.diff(song)).max()
    presses = list(map(int, sys.argv[3:]))
    for a, b in zip(presses[0::2], presses[1::2]):
        lead = int(0.3 * RATE)
        if a != b:  # paused: from the last sound before the pause to the first after it
            before_pause, after_play = np.flatnonzero(np.abs(heard[a:b]) > 1000), np.flatnonzero(np.abs(heard[b:]) > 1000)
            a, b = a + (int(before_pause[-1]) + 1 if len(before_pause) else 0), b + (int(after_play[0]) if len(after_play) else 0)
        before = locate(heard[a - lead - WINDOW:a - lead], song) + WINDOW + lead - silent(heard[a - lead:a])
        after = locate(heard[b + lead:b + lead + WINDOW], song) - lead + silent(heard[b:b + lead])
        # Held for ten pieces in a row: a quiet moment can sound like either place for one.
        chunk, held = RATE // 500, 10
        closer = []
        for f in range(b, b + lead + held * chunk, chunk):
            got = heard[f:f + chunk]
            old = song[before + f - a:before + f - a + len(got)]
            new = song[after + f - b:after + f - b + len(got)]
            closer.append(len(old) == len(new) == len(got) and np.abs(got - new).sum() < np.abs(got - old).sum())
        latency = next((i * chunk / RATE for i in range(lead // chunk) if all(closer[i:i + held])), None)
        step, step_at = splice_step(heard[b:b + lead])
        skip = skipped(heard, b + round(step_at * RATE), song, (before - a, after - b))
        print("jump %.3f %.3f %s %d %d %d %.3f %d" % (before / RATE, after / RATE, "%.3f" % latency if latency is not None else "none",
                                                     step, song_step, len(dropouts(heard[b:b + lead])), step_at, skip))


if __name__ == "__main__":
    main()

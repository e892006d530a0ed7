#!/usr/bin/env python3
"""Checks the folder of one scripts/soak run:  soak.py FOLDER SHORTEST_SONG_SECONDS SONGS
   actions.log   "<unix ms> <recording bytes at that moment> <action>", one a line
   counters.log  the program's "counters <unix ms> gdi <n> handles <n> private <b> workingset <b> song <i>"
   boxes.log     message boxes the poller saw
   sound.raw     the null sink's monitor, s16le stereo at 44,100 Hz
   wine.log      the program's Wine lines, stamped with the raw monotonic clock's seconds
Prints the figures and one ok/FAIL line per check; exits 1 when a check fails."""
import array
import os
import re
import statistics
import sys
import time

BYTES_PER_SECOND = 44100 * 4
NEAR_MS = 20000
BLOCK = 441 * 2                # samples in 10 ms
SHORTEST_GAP = 0.1             # silences shorter than this are not gaps
SLACK = 0.25                   # where an action lands in the recording, give or take
SOUND_BACK = 3.5               # the handshake (up to 1 s), the cleared buffer (2 s)
# A song's own end: what is left of the half that holds its last frame (under a second), then the
# cleared buffer of the next song.
END_GAP = 3.5
# Play after a pause goes on with what was rendered and not yet heard; if the pause came inside a
# silence, the rest of that silence comes first.
RESUME_BACK = 0.5
# What the output still held at a stop is heard when it starts again: silences with less than this
# between them are one.
BLIP = 0.4
CLEARED = 2.0                  # the silence of a cleared buffer after every start
# Wine tells of its sound server running dry (an underflow) about when the silence begins.
DRY_NEAR = 1.0
STARTS, STOPS = {"play", "forward", "rewind"}, {"pause", "stop"}
# After the first minute the counters may rise this much at most, each song against itself. Measured
# over 30 minutes: private bytes between 23.7 and 33.2 MiB by the song loaded (the demo's WAV song
# holds 8 MiB more than the others) and up to 4 MiB more while a picture is decoded, handles 58 to
# 60, GDI objects 53 with up to 4 more while a picture is drawn.
LIMITS = {"private": 10 << 20, "handles": 8, "gdi": 8}


def silences(path):
    """(start, end) in seconds of every stretch of at least SHORTEST_GAP with nothing beyond the
    dither in it."""
    found, since, index = [], None, 0
    with open(path, "rb") as f:
        while chunk := f.read(BLOCK * 2 * 100):
            samples = array.array("h", chunk[: len(chunk) // 2 * 2])
            for at in range(0, len(samples), BLOCK):
                block = samples[at: at + BLOCK]
                if max(block) <= 1 and min(block) >= -1:
                    since = index if since is None else since
                elif since is not None:
                    found.append((since / 100, index / 100))
                    since = None
                index += 1
    if since is not None:
        found.append((since / 100, index / 100))
    return [(s, e) for s, e in found if e - s >= SHORTEST_GAP]


def read_actions(path):
    """Each action placed in the sound. A loaded machine feeds the recorder late, never early, so the
    least late of the actions near one, by the wall clock, places it."""
    rows = [(int(ms), int(offset), what.split()[0]) for ms, offset, what in (line.split(maxsplit=2) for line in open(path))]
    ahead = lambda at: max(offset / BYTES_PER_SECOND - ms / 1000 for ms, offset, _ in rows if abs(ms - at) <= NEAR_MS)
    return [(ms / 1000 + ahead(ms), what, ms) for ms, _, what in rows]


def expected_quiet(actions):
    """Stretches where silence needs no explaining: from a pause or stop (or the start) until the
    sound is due after the next start, and from each change until its sound is due."""
    stretches, quiet_since = [], 0.0
    for t, what, _ in actions:
        if what in STARTS:
            stretches.append((t - SLACK if quiet_since is None else quiet_since, t + SOUND_BACK))
            quiet_since = None
        elif what in STOPS and quiet_since is None:
            quiet_since = t - SLACK
        elif what == "end" and quiet_since is not None:
            stretches.append((quiet_since, t))
    merged = []
    for s, e in sorted(stretches):
        if merged and s <= merged[-1][1]:
            merged[-1] = (merged[-1][0], max(merged[-1][1], e))
        else:
            merged.append((s, e))
    return merged


def outside(s, e, quiet):
    """The part of [s, e] that no expected quiet stretch covers, in seconds."""
    covered = sum(max(0.0, min(e, qe) - max(s, qs)) for qs, qe in quiet)
    return e - s - covered


def wine_ran_dry(path, actions):
    """Where, in the sound, Wine told of its sound server running dry. A loaded machine starves
    Wine's own sound threads; the server then plays silence, whatever the program gave them."""
    raw_to_wall = time.time() - time.clock_gettime(time.CLOCK_MONOTONIC_RAW)
    placed = []
    for line in open(path, errors="replace"):
        stamp = re.match(r"(\d+\.\d+):.*Underflow", line)
        if stamp:
            wall = float(stamp[1]) + raw_to_wall
            t, _, ms = min(actions, key=lambda action: abs(action[2] / 1000 - wall))
            placed.append(wall + t - ms / 1000)
    return placed


def read_counters(folder):
    """(unix seconds, {name: value}) once a second."""
    samples = []
    for line in open(f"{folder}/counters.log", errors="replace"):
        words = line.split()
        if len(words) >= 10 and len(words) % 2 == 0 and words[0] == "counters":
            samples.append((int(words[1]) / 1000, dict(zip(words[2::2], map(int, words[3::2])))))
    return samples


def extra_changes(songs_at, since, until, step, songs):
    """Song changes between two wall-clock times beyond the press's own step: the songs' own ends."""
    before = [song for t, song in songs_at if t < since]
    after = [song for t, song in songs_at if t >= until]
    if not before or not after:
        return 0
    return (after[0] - before[-1] - step) % songs


def check_sound(folder, shortest, songs, report):
    actions = read_actions(f"{folder}/actions.log")
    songs_at = [(t, c["song"]) for t, c in read_counters(folder) if "song" in c]
    end = next(t for t, what, _ in actions if what == "end")
    gaps = []
    for s, e in silences(f"{folder}/sound.raw"):
        if s >= end:
            break
        if gaps and s - gaps[-1][1] < BLIP:
            s = gaps.pop()[0]
        gaps.append((s, min(e, end)))
    quiet = expected_quiet(actions)
    transport = [(t, what, ms) for t, what, ms in actions if what in STARTS | STOPS]

    # From a press to its effect on the recording: the logging, the output's latency. Measured by
    # the silence after each pause and stop, taken off the times below.
    delays = [next((s - t for s, _ in gaps if t - SLACK <= s <= t + 1), None) for t, what, _ in transport
              if what in STOPS]
    delays = [d for d in delays if d is not None]
    latency = min(max(statistics.median(delays), 0.0), SLACK) if delays else 0.0

    # The sound after each start, unless another press came before it was due.
    back = {"play": [], "resume": [], "change": []}
    late, met_an_end = [], 0
    for i, (t, what, ms) in enumerate(transport):
        if what not in STARTS:
            continue
        resumed = what == "play" and i > 0 and transport[i - 1][1] == "pause"
        limit = SOUND_BACK
        if resumed:
            # Paused inside a silence (the cleared buffer of a start, or a song's own end): the rest
            # of it comes first. It began at the latest start, or where the song ended.
            paused_at = transport[i - 1][0] + latency
            silent_since = next((s for s, e in gaps if s <= paused_at < e), paused_at)
            silent_since = max([silent_since] + [s for s, w, _ in transport[:i - 1] if w in STARTS])
            limit = RESUME_BACK + max(0.0, SOUND_BACK - (paused_at - silent_since))
        if i + 1 < len(transport) and transport[i + 1][0] <= t + limit:
            continue
        following = [(s, e) for s, e in gaps if e > t]
        seconds = 0.0
        if following and following[0][0] <= t + limit:
            until = following[0][1]
            # Still silent at the next press: all that is known is that it came no sooner.
            if i + 1 < len(transport):
                until = min(until, transport[i + 1][0])
            seconds = until - t - latency
            if seconds > limit:
                # A song that ended by itself meanwhile: its change of song brings the sound back.
                step = 0 if what == "play" else 1 if what == "forward" else -1
                extra = extra_changes(songs_at, ms / 1000, ms / 1000 + until - t, step, songs)
                met_an_end += extra > 0
                if extra:
                    limit = max(limit, SOUND_BACK)
        back["resume" if resumed else "play" if what == "play" else "change"].append(seconds)
        if seconds > limit:
            late.append(f"{what} at {t:.1f} s: {seconds:.2f} s")

    # Silences that no press explains. A song's own end lasts at least the cleared buffer, unless a
    # press cuts it short; anything shorter is a gap in the sound.
    ends, dropouts, too_long, too_many = [], [], [], []
    for s, e in gaps:
        unexplained = outside(s, e, quiet)
        if unexplained < SHORTEST_GAP or e >= end:  # cut short by the end of the run: unknown
            continue
        # Silences are found in 10 ms blocks: a cleared buffer may measure a block short.
        if e - s > CLEARED - 0.015 or any(s < qs < e for qs, _ in quiet):
            ends.append((s, unexplained))
            if unexplained > END_GAP:
                too_long.append(f"{unexplained:.1f} s from {s:.1f} s")
        else:
            dropouts.append((s, e - s))
    dry = wine_ran_dry(f"{folder}/wine.log", actions) if os.path.exists(f"{folder}/wine.log") else []
    wine_dry = [(s, d) for s, d in dropouts if any(abs(s - at) <= DRY_NEAR for at in dry)]
    dropouts = [gap for gap in dropouts if gap not in wine_dry]
    playing = [(t, transport[i + 1][0] if i + 1 < len(transport) else end)
               for i, (t, what, _) in enumerate(transport) if what in STARTS]
    for since, until in playing:
        count = sum(1 for s, _ in ends if since <= s < until)
        if count > 1 + int((until - since) / shortest):
            too_many.append(f"{count} ends in {until - since:.1f} s from {since:.1f} s")

    kinds = [what for _, what, _ in actions]
    print(f"run: {end / 60:.1f} min of sound; "
          + ", ".join(f"{k} {kinds.count(k)}" for k in ("forward", "rewind", "play", "pause", "stop", "info", "quiet")))
    print(f"from a press to the recording: {latency * 1000:.0f} ms (median over {len(delays)} pauses and stops)")
    print(f"starts that met a song's own end: {met_an_end}")
    for name, values in back.items():
        if values:
            print(f"sound back after {name}: {len(values)} timed, median {statistics.median(values):.2f} s, "
                  f"max {max(values):.2f} s")
    lengths = [length for _, length in ends]
    print(f"songs that ended by themselves: {len(ends)}"
          + (f", silent {min(lengths):.2f}..{max(lengths):.2f} s before the next sound or press" if ends else ""))
    print(f"gaps while playing: {len(dropouts)}" + (f", the largest {max(d for _, d in dropouts):.2f} s" if dropouts else "")
          + f"; Wine told of its sound server running dry {len(dry)} times, gaps there: "
          + (", ".join(f"{d:.2f} s at {s:.1f} s" for s, d in wine_dry) or "none"))
    report(f"sound back within {SOUND_BACK} s of every change, {RESUME_BACK} s of every resume", not late,
           "; ".join(late[:10]))
    report(f"no gap of {SHORTEST_GAP} s or more while playing", not dropouts,
           "; ".join(f"{d:.2f} s at {s:.1f} s" for s, d in dropouts[:10]))
    report(f"song ends silent at most {END_GAP} s", not too_long, "; ".join(too_long[:10]))
    report("no more song ends than the songs' lengths allow", not too_many, "; ".join(too_many[:10]))


def check_counters(folder, report):
    samples = read_counters(folder)
    end = next(ms for _, what, ms in read_actions(f"{folder}/actions.log") if what == "end") / 1000
    report("counters until the end of the run", samples and samples[-1][0] >= end - 5,
           f"the last {end - samples[-1][0]:.0f} s before the end" if samples else "none")
    if not samples or samples[-1][0] - samples[0][0] < 90:
        return
    first = samples[0][0]
    length = samples[-1][0] - first
    mark = min(samples, key=lambda s: abs(s[0] - first - 60))[1]
    tail_from = max(60, length - max(30, length / 4))
    last_part = [c for t, c in samples if t - first >= tail_from]
    around_mark = [c for t, c in samples if 30 <= t - first < min(90, tail_from)]
    songs = {c.get("song") for c in last_part} & {c.get("song") for c in around_mark}
    print(f"counters: {len(samples)} samples over {length / 60:.1f} min; at 1 min / at the end / "
          f"highest in the last {(length - tail_from) / 60:.1f} min")
    for key in ("private", "workingset", "handles", "gdi"):
        scale, unit = (1 << 20, " MiB") if key in ("private", "workingset") else (1, "")
        high = max(c[key] for c in last_part)
        print(f"  {key}: {mark[key] / scale:.1f}{unit} / {samples[-1][1][key] / scale:.1f}{unit} / "
              f"{high / scale:.1f}{unit}")
        if key in LIMITS:
            # Song by song where both parts hold one: the songs differ by megabytes. Around the
            # mark, the middle value: a picture being decoded adds some for a moment.
            rise = max((max(c[key] for c in last_part if c.get("song") == song)
                        - statistics.median(c[key] for c in around_mark if c.get("song") == song) for song in songs),
                       default=high - mark[key])
            report(f"{key} flat after the first minute (rise at most {LIMITS[key] / scale:g}{unit})",
                   rise <= LIMITS[key], f"rose {rise / scale:.1f}{unit}")


def main():
    folder, shortest, songs = sys.argv[1], float(sys.argv[2]), int(sys.argv[3])
    failures = []

    def report(what, ok, detail=""):
        print(f"{'ok' if ok else 'FAIL'}: {what}" + ("" if ok or not detail else f" ({detail})"))
        if not ok:
            failures.append(what)

    boxes = [line.strip() for line in open(f"{folder}/boxes.log") if "\tbox\t" in line or " box\t" in line]
    report("no message box", not boxes, "; ".join(boxes[:3]))
    check_counters(folder, report)
    check_sound(folder, shortest, songs, report)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes the demo disk's three songs into OUTDIR: first-light.xm, slow-drift.wav, night-pulse.ogg.

Usage: make_songs.py OUTDIR   (the Ogg file needs sox with Vorbis support)
"""
import os
import subprocess
import sys
import tempfile

from songlib import Song, add_melody, add_pattern, chord_notes, midi, render, write_wav16, write_xm

BAR = 16


def bass_line(track, row, symbol, steps, octave=2, volume=0.85):
    root = chord_notes(symbol, octave)[0]
    for i, interval in enumerate(steps):
        if interval is not None:
            track.add(row + i * 2, root + interval, volume)


def arpeggio(track, row, symbol, order, octave=4, volume=0.45, step=1):
    notes = chord_notes(symbol, octave)
    notes.append(notes[0] + 12)
    for i, index in enumerate(order):
        track.add(row + i * step, notes[index], volume)


def walk(sections, progression, intro_bars=None):
    """Yields (section, bar, chord, phrase, row) for every bar; a None phrase is an intro."""
    row = 0
    for section, phrase in enumerate(sections):
        chords = progression[:intro_bars] if phrase is None and intro_bars else progression
        for bar, symbol in enumerate(chords):
            yield section, bar, symbol, phrase, row
            row += BAR


def end_row(sections, progression, intro_bars=None):
    return BAR * sum(1 for _ in walk(sections, progression, intro_bars))


def first_light():
    """Tracker module, A minor, 125 BPM."""
    song = Song("First Light", 125)
    lead = song.track("lead", "lead", 0.1)
    arp = song.track("arp", "pluck", -0.45)
    bass = song.track("bass", "bass", 0.0)
    kick = song.track("kick", "kick", 0.0)
    snare = song.track("snare", "snare", 0.15)
    hat = song.track("hat", "hat", 0.4)
    progression = ["Am", "F", "C", "G"]
    phrase_a = ["E5:4 C5:2 D5:2 E5:4 G5:2 E5:2", "F5:6 E5:2 C5:4 A4:4",
                "G4:4 C5:2 E5:2 G5:6 F5:2", "E5:4 D5:4 B4:4 D5:4"]
    phrase_b = ["A5:6 G5:2 E5:4 C5:4", "F5:4 A5:4 G5:2 F5:2 E5:4",
                "E5:2 G5:2 C6:4 B5:2 G5:2 E5:4", "D5:6 E5:2 B4:8"]
    sections = [None, phrase_a, phrase_b, phrase_a]
    for section, bar, symbol, phrase, row in walk(sections, progression):
        bass_line(bass, row, symbol, [0, 0, 12, 0, 0, 7, 12, 7])
        arpeggio(arp, row, symbol, [0, 1, 2, 3, 2, 1, 0, 1, 2, 3, 2, 1, 0, 2, 3, 2],
                 volume=0.5 if phrase is None else 0.38)
        add_pattern(kick, row, "x.....x.x.......")
        add_pattern(hat, row, "x.o.x.o.x.o.x.oo", volume=0.7)
        if phrase:
            add_pattern(snare, row, "....x.......x..o" if bar == 3 else "....x.......x...", volume=0.8)
            add_melody(lead, row, phrase[bar])
    row = end_row(sections, progression)
    # ending: the home chord rings out
    bass.add(row, chord_notes("Am", 2)[0], 0.9)
    arp.add(row, chord_notes("Am", 4)[2], 0.4)
    lead.add(row, midi("A5"), 0.9)
    kick.add(row, None, 1.0)
    hat.add(row + 15, None, 0.01)
    return song


def slow_drift():
    """WAV, D minor, 96 BPM, pads and a bell."""
    song = Song("Slow Drift", 96)
    bell = song.track("bell", "bell", 0.2)
    pads = [song.track("pad%d" % i, "pad", p) for i, p in enumerate((-0.5, 0.0, 0.5))]
    bass = song.track("bass", "bass", 0.0)
    kick = song.track("kick", "kick", 0.0)
    snare = song.track("snare", "snare", -0.1)
    hat = song.track("hat", "hat", 0.5)
    progression = ["Dm", "A#", "F", "C"]
    melody = [["A5:6 F5:2 D5:4 E5:4", "F5:6 D5:2 A#4:8", "C5:4 F5:4 A5:4 G5:4", "E5:8 C5:4 r:4"],
              ["D6:4 C6:4 A5:8", "A#5:4 A5:4 F5:8", "A5:4 G5:4 F5:4 C5:4", "E5:6 D5:2 C5:8"]]
    sections = [None, melody[0], melody[1], melody[0]]
    for section, bar, symbol, phrase, row in walk(sections, progression, intro_bars=2):
        for voice, note in zip(pads, chord_notes(symbol, 4)):
            voice.add(row, note, 0.8)
        bass_line(bass, row, symbol, [0, None, None, 0, None, 7, 12, None])
        if phrase:
            add_pattern(kick, row, "x.........x.....", volume=0.8)
            add_pattern(snare, row, "........x.......", volume=0.6)
            add_pattern(hat, row, "..x...x...x...xo", volume=0.6)
            add_melody(bell, row, phrase[bar], volume=0.8)
    row = end_row(sections, progression, intro_bars=2)
    for voice, note in zip(pads, chord_notes("Dm", 4)):
        voice.add(row, note, 0.9)
    bass.add(row, chord_notes("Dm", 2)[0], 0.9)
    bell.add(row, midi("D5"), 0.7)
    return song


def night_pulse():
    """Ogg Vorbis, E minor, 132 BPM, driving."""
    song = Song("Night Pulse", 132)
    lead = song.track("lead", "lead", -0.1)
    arp = song.track("arp", "pluck", 0.4)
    bass = song.track("bass", "bass", 0.0)
    kick = song.track("kick", "kick", 0.0)
    snare = song.track("snare", "snare", -0.2)
    hat = song.track("hat", "hat", -0.4)
    progression = ["Em", "C", "G", "D"]
    phrase_a = ["B5:4 G5:2 E5:2 B4:4 E5:4", "G5:6 E5:2 C5:8", "D5:4 G5:4 B5:4 D6:4", "A5:8 F#5:4 D5:4"]
    phrase_b = ["E6:2 r:2 B5:2 r:2 G5:4 E5:4", "C6:4 B5:4 G5:4 E5:4",
                "D6:2 r:2 B5:2 r:2 G5:4 D5:4", "F#5:4 A5:4 D6:8"]
    sections = [None, phrase_a, phrase_b, phrase_a]
    for section, bar, symbol, phrase, row in walk(sections, progression):
        bass_line(bass, row, symbol, [None, 0, None, 0, None, 0, 12, 0], volume=0.8)
        arpeggio(arp, row, symbol, [0, 2, 3, 2] * 4, octave=5, volume=0.32)
        add_pattern(kick, row, "x...x...x...x...", volume=0.9)
        add_pattern(hat, row, "..x...x...x...x.", volume=0.8)
        if phrase:
            add_pattern(snare, row, "....x.......x...", volume=0.75)
            add_melody(lead, row, phrase[bar], volume=0.8)
    row = end_row(sections, progression)
    bass.add(row, chord_notes("Em", 2)[0], 0.9)
    lead.add(row, midi("E5"), 0.8)
    kick.add(row, None, 1.0)
    return song


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_xm(os.path.join(out, "first-light.xm"), first_light())

    rate = 32000
    left, right = render(slow_drift(), rate)
    write_wav16(os.path.join(out, "slow-drift.wav"), rate, left, right)

    rate = 44100
    left, right = render(night_pulse(), rate)
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "night-pulse.wav")
        write_wav16(wav, rate, left, right)
        subprocess.run(["sox", wav, "-C", "5", os.path.join(out, "night-pulse.ogg")], check=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Checks a raw s16le stereo 44.1 kHz recording of the null sink against what the player must
play: the library's own rendering of each song (orvelrender --float) run through the conversion
from dither state 1, sample for sample.

  analyse.py song  REC DRIVER_LOG SONG.wav            silence, then the song from its start
  analyse.py pause REC DRIVER_LOG SONG.wav            the song, the silence of the pause and of
                                                      the cleared buffer, the song again from
                                                      where the library stopped
  analyse.py chain REC DRIVER_LOG FIRST.wav SECOND.wav  the first song, the second, the first
                                                      again, each started by the end of the other

Wine's mixer now and then drops frames, or puts in silence when it runs dry under load: each place
is followed over (up to MAX_JUMP frames dropped, MAX_GAP frames of silence put in), counted and
reported; any other frame that differs from what was expected fails the check.
Prints "key value" lines; the exit code says whether the check held.
"""
import array
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'audio'))
from recording import Verdict, load  # noqa: E402

RATE = 44100
REFILL = RATE            # frames rendered per refill
MAX_JUMP = 4410          # frames Wine may drop in one place
MAX_GAP = 11025          # frames of silence Wine may put in at one place
MAX_DROP_RATIO = 0.02    # of the frames heard, dropped altogether
MAX_PUT_IN_RATIO = 0.2   # of the frames heard, silence put in altogether (the mixer ran dry)
SEGMENT_GAP = RATE // 2  # a longer silence parts two pieces of the recording
MATCH = 16               # frames that must agree to take a place as found


def read_float_wav(path):
    with open(path, 'rb') as f:
        data = f.read()
    assert data[:4] == b'RIFF' and data[8:12] == b'WAVE', path
    at = 12
    while at + 8 <= len(data):
        kind, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        if kind == b'data':
            samples = array.array('f')
            samples.frombytes(data[at + 8:at + 8 + size])
            if sys.byteorder != 'little':
                samples.byteswap()
            return samples
        at += 8 + size + (size & 1)
    raise ValueError('no data chunk in ' + path)


def read_recording(path):
    samples = load(path)
    return [(samples[i], samples[i + 1]) for i in range(0, len(samples) - 1, 2)]


def convert(floats, first_frame, frames, state):
    """Frames first_frame.. of the song (silence past its end) as the player converts them, the
    generator at state before the first; returns (frames as pairs, state after)."""
    out = []
    pair = []
    for i in range(2 * first_frame, 2 * (first_frame + frames)):
        state = (state * 214013 + 2531011) & 0xFFFFFFFF
        r = ((state >> 16) & 0x7FFF) >> 7
        x = floats[i] if i < len(floats) else 0.0
        if x != x:
            s = 0
        elif x > 1.0:
            s = 32767
        elif x < -1.0:
            s = -32768
        else:
            s = int(r + x * 8388480.0 - 128.0) >> 8
        pair.append(s)
        if len(pair) == 2:
            out.append(tuple(pair))
            pair = []
    return out, state


def segments(frames):
    """Pieces of sound parted by more than SEGMENT_GAP frames of silence: [(start, end)]."""
    found = []
    start = None
    silent = 0
    for i, frame in enumerate(frames):
        if frame == (0, 0):
            silent += 1
            continue
        if start is None or silent > SEGMENT_GAP:
            if start is not None:
                found.append((start, last + 1))
            start = i
        silent = 0
        last = i
    if start is not None:
        found.append((start, last + 1))
    return found


class Follow:
    """Walks a piece of the recording along the expected frames from a place where both agree."""

    def __init__(self, rec, p, end, expected, q):
        self.start_expected = q
        self.matched = self.dropped = self.put_in = self.places = 0
        self.mismatch = None
        while p < end and q < len(expected):
            if rec[p] == expected[q]:
                p += 1
                q += 1
                self.matched += 1
                continue
            z = p
            while z < end and rec[z] == (0, 0) and z - p <= MAX_GAP:
                z += 1
            if z >= end:
                self.put_in += z - p
                p = z
                break
            jump = next((j for j in range(MAX_JUMP + 1)
                         if expected[q + j:q + j + MATCH] == rec[z:z + MATCH]), None)
            if jump is None or (jump == 0 and z == p):
                self.mismatch = (p, q, rec[p], expected[q] if q < len(expected) else None)
                break
            self.places += 1
            self.put_in += z - p
            self.dropped += jump
            p, q = z, q + jump
        self.end_expected = q
        self.end_recording = p

    def report(self, name):
        print('%s_frames_matched %d' % (name, self.matched))
        print('%s_expected_frames %d-%d' % (name, self.start_expected, self.end_expected))
        print('%s_frames_dropped %d' % (name, self.dropped))
        print('%s_silent_frames_put_in %d' % (name, self.put_in))
        print('%s_slip_places %d' % (name, self.places))
        if self.mismatch:
            print('%s_mismatch recording %d expected %d: %s instead of %s' % ((name,) + self.mismatch))


def find_start(rec, p, expected, limit):
    """Where in expected[:limit] the recording's frames from p are found."""
    probe = rec[p:p + MATCH]
    return next((q for q in range(min(limit, len(expected))) if expected[q:q + MATCH] == probe), None)


def driver_events(path):
    events = []
    with open(path) as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[1].isdigit():
                events.append((parts[0], int(parts[1]), parts[2:]))
    return events


def check_follow(verdict, follow, name):
    follow.report(name)
    verdict.expect(follow.mismatch is None, '%s: a frame that is not what the player must play' % name)
    heard = max(follow.matched, 1)
    verdict.expect(follow.dropped <= MAX_DROP_RATIO * heard, '%s: too many frames dropped' % name)
    verdict.expect(follow.put_in <= MAX_PUT_IN_RATIO * heard, '%s: too much silence put in' % name)


def check_song(rec, events, songs, verdict):
    floats = songs[0]
    pieces = segments(rec)
    print('pieces', ' '.join('%d+%d' % (a, b - a) for a, b in pieces))
    if not verdict.expect(len(pieces) == 1, 'one piece of sound expected'):
        return
    start, end = pieces[0]
    expected, _ = convert(floats, 0, (end - start) // REFILL * REFILL + 2 * REFILL, 1)
    first_sound = next(i for i, frame in enumerate(expected) if frame != (0, 0))
    q = find_start(rec, start, expected, first_sound + MAX_JUMP + 1)
    if not verdict.expect(q is not None, 'the start of the song was not found'):
        return
    print('song_starts_at_frame', q, 'first_sound_at', first_sound)
    verdict.expect(q - first_sound <= MAX_JUMP, 'the beginning of the song is missing')
    follow = Follow(rec, start, end, expected, q)
    check_follow(verdict, follow, 'song')
    verdict.expect(follow.end_recording >= end - MAX_GAP, 'the song stops before the recording does')
    verdict.expect(follow.matched >= 6 * RATE, 'less than six seconds of the song heard')


def check_pause(rec, events, songs, verdict):
    floats = songs[0]
    commands = [ms for kind, ms, _ in events if kind == 'command']
    started = [ms for kind, ms, _ in events if kind == 'started']
    if not verdict.expect(len(commands) == 3 and len(started) == 2, 'play, pause and play expected'):
        return
    play, pause, resume = commands
    refills_before_pause = (pause - started[0]) // 1000
    print('refills_before_pause', refills_before_pause)
    pieces = segments(rec)
    print('pieces', ' '.join('%d+%d' % (a, b - a) for a, b in pieces))
    if not verdict.expect(len(pieces) == 2, 'two pieces of sound expected'):
        return
    total = (pieces[1][1] - pieces[0][0]) // REFILL + 2 * refills_before_pause + 4
    expected, _ = convert(floats, 0, total * REFILL, 1)
    first_sound = next(i for i, frame in enumerate(expected) if frame != (0, 0))
    q = find_start(rec, pieces[0][0], expected, first_sound + MAX_JUMP + 1)
    if not verdict.expect(q is not None, 'the start of the song was not found'):
        return
    before = Follow(rec, pieces[0][0], pieces[0][1], expected, q)
    check_follow(verdict, before, 'before')
    resumed = find_start(rec, pieces[1][0], expected, len(expected))
    print('resumed_at_frame', resumed)
    if not verdict.expect(resumed is not None, 'what plays after the pause is not the song'):
        return
    # The library goes on from what it had rendered: the last refill before the pause. What was
    # rendered but not heard is dropped with the cleared buffer.
    verdict.expect(resumed == refills_before_pause * REFILL,
                   'the song does not resume where the library stopped (frame %d)'
                   % (refills_before_pause * REFILL))
    verdict.expect(before.end_expected <= resumed, 'the resumed song steps back')
    after = Follow(rec, pieces[1][0], pieces[1][1], expected, resumed)
    check_follow(verdict, after, 'after')
    silence = pieces[1][0] - pieces[0][1]
    wanted = (resume - pause) * RATE // 1000 + 2 * RATE
    print('pause_silence_frames', silence, 'expected_about', wanted)
    verdict.expect(abs(silence - wanted) <= RATE // 4, 'the silence is not the pause and two seconds')
    verdict.expect(after.end_recording >= pieces[1][1] - MAX_GAP, 'the song stops before the recording does')


def check_chain(rec, events, songs, verdict):
    posted = [args[0] for kind, _, args in events if kind == 'post']
    forwards = [ms for kind, ms, args in events if kind == 'command' and args == ['5']]
    print('posted', ' '.join(posted))
    print('forwards_from_the_library', len(forwards))
    verdict.expect(posted == ['play', 'quit'], 'only play and quit come from the script')
    verdict.expect(len(forwards) >= 2, 'two ends of songs expected')
    pieces = segments(rec)
    print('pieces', ' '.join('%d+%d' % (a, b - a) for a, b in pieces))
    if not verdict.expect(len(pieces) >= 3, 'three pieces of sound expected'):
        return
    # Every refill while playing converts a second and moves the generator on; a song is rendered
    # to the end of the refill it ends in, and the worker's stop comes before that refill is heard.
    refills = [(len(floats) // 2 + REFILL - 1) // REFILL for floats in songs]
    state = 1
    for n, (start, end) in enumerate(pieces[:3]):
        which = n % 2
        floats = songs[which]
        expected, after = convert(floats, 0, refills[which] * REFILL, state)
        q = find_start(rec, start, expected, MAX_JUMP + 1)
        name = 'piece%d_song%d' % (n, which)
        if not verdict.expect(q is not None, '%s: not the song expected, or not from its start' % name):
            return
        follow = Follow(rec, start, end, expected, q)
        check_follow(verdict, follow, name)
        heard = (refills[which] - 1) * REFILL
        verdict.expect(abs(follow.end_expected - heard) <= MAX_JUMP,
                       '%s: %d frames heard, %d expected' % (name, follow.end_expected, heard))
        state = after


def main(argv):
    mode, rec_path, log_path, song_paths = argv[1], argv[2], argv[3], argv[4:]
    checks = {'song': check_song, 'pause': check_pause, 'chain': check_chain}
    if mode not in checks:
        print('unknown mode', mode)
        return 2
    rec = read_recording(rec_path)
    print('recorded_frames', len(rec))
    verdict = Verdict()
    checks[mode](rec, driver_events(log_path), [read_float_wav(p) for p in song_paths], verdict)
    print('result', 'ok' if verdict.ok else 'FAIL')
    return 0 if verdict.ok else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Checks a raw s16le stereo 44.1 kHz recording of the null sink against what the player must
play: the library's own rendering of each song (orvelrender --float) run through the conversion
from dither state 1, sample for sample.

  analyse.py song  REC DRIVER_LOG SONG.wav            silence, then the song from its start
  analyse.py pause REC DRIVER_LOG SONG.wav            the song, the silence of the pause, and the
                                                      song again from the frame after the last one
                                                      heard, within half a second of the press
  analyse.py heard REC DRIVER_LOG SONG.wav           what sounds at the end of the recording is
                                                      from somewhere in the song (another song
                                                      still playing is not)
  analyse.py chain REC DRIVER_LOG A.wav B.wav C.wav   A, B, C and A again, each heard to its last
                                                      frame and started by the end of the one
                                                      before; the forward pressed in A's last
                                                      half-second moves on only to B
  analyse.py outage REC DRIVER_LOG AFTER_RELOAD AFTER_RESTART AFTER_PRESS END AFTER_FOLLOW BACK END
                                                      every press answered within 1.5 s; after
                                                      each outage the forward press is heard; the
                                                      play press after a stopped outage within
                                                      3 s; after one while playing the song goes
                                                      on within 5 s with no press

Wine's mixer now and then drops frames, or puts in silence when it runs dry under load: each place
is followed over (up to MAX_JUMP frames dropped, MAX_GAP frames of silence put in), counted and
reported; a place that loses more than one mixer period passes only when Wine's own log (--wine-log
FILE, written with WINEDEBUG=warn+pulse) tells of an underflow for it; any other frame that differs from what was expected fails the check.
Prints "key value" lines; the exit code says whether the check held.
"""
import array
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'audio'))
from recording import Verdict, load, wine_underflows  # noqa: E402

RATE = 44100
REFILL = RATE            # frames rendered per refill
PERIOD = 441            # frames of Wine's mixer period: a slip within one needs no evidence
MAX_JUMP = 4410          # frames Wine may drop in one place
MAX_GAP = 11025          # frames of silence Wine may put in at one place
MAX_DROP_RATIO = 0.02    # of the frames heard, dropped altogether
MAX_PUT_IN_RATIO = 0.2   # of the frames heard, silence put in altogether (the mixer ran dry)
SEGMENT_GAP = RATE // 2  # a longer silence parts two pieces of the recording
MATCH = 16               # frames that must agree to take a place as found
UNDERFLOWS = []          # Wine's own lines that tell of its sound server running dry


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
        self.matched = self.dropped = self.put_in = self.places = self.large = 0
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
            self.large += max(z - p, jump) > PERIOD
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
        print('%s_slip_places %d larger_than_a_period %d' % (name, self.places, self.large))
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
    verdict.expect(follow.large <= len(UNDERFLOWS), '%s: more than a period lost in %d places, and Wine told of %d '
                   'underflows' % (name, follow.large, len(UNDERFLOWS)))
    heard = max(follow.matched, 1)
    verdict.expect(follow.dropped <= MAX_DROP_RATIO * heard, '%s: too many frames dropped' % name)
    verdict.expect(follow.put_in <= MAX_PUT_IN_RATIO * heard, '%s: too much silence put in' % name)


def pieces_of(rec):
    found = segments(rec)
    print('pieces', ' '.join('%d+%d' % (a, b - a) for a, b in found))
    return found


def song_start(rec, p, floats, frames, verdict):
    """The first frames of the song as converted from dither state 1, and where in them the piece
    of the recording from p starts (None when nowhere)."""
    expected, _ = convert(floats, 0, frames, 1)
    first_sound = next(i for i, frame in enumerate(expected) if frame != (0, 0))
    q = find_start(rec, p, expected, len(expected))
    if not verdict.expect(q is not None, 'the start of the song was not found'):
        return expected, None
    print('song_starts_at_frame', q, 'first_sound_at', first_sound)
    verdict.expect(q - first_sound <= MAX_JUMP, 'the beginning of the song is missing')
    return expected, q


def check_song(rec, events, songs, verdict):
    pieces = pieces_of(rec)
    if not verdict.expect(len(pieces) == 1, 'one piece of sound expected'):
        return
    start, end = pieces[0]
    expected, q = song_start(rec, start, songs[0], (end - start) // REFILL * REFILL + 2 * REFILL, verdict)
    if q is None:
        return
    follow = Follow(rec, start, end, expected, q)
    check_follow(verdict, follow, 'song')
    verdict.expect(follow.end_recording >= end - MAX_GAP, 'the song stops before the recording does')
    verdict.expect(follow.matched >= 6 * RATE, 'less than six seconds of the song heard')


def check_heard(rec, events, songs, verdict):
    left, right = ([min(32767.0, max(-32768.0, x * 32767.5)) for x in songs[0][c::2]] for c in (0, 1))
    loud = [i for i in range(max(0, len(rec) - 4 * RATE), len(rec) - 64) if abs(rec[i][0]) > 1000][::RATE // 2]
    places = []
    for p in loud[:3]:  # a few places, as Wine may have slipped in one
        probe = rec[p:p + 64]
        places.append(next((q for q in range(len(left) - 64) if abs(left[q] - probe[0][0]) <= 1.5
                            and all(abs(left[q + i] - l) <= 1.5 and abs(right[q + i] - r) <= 1.5
                                    for i, (l, r) in enumerate(probe))), None))
    print('heard_at_song_frames', places)
    verdict.expect(any(q is not None for q in places), 'what is heard is not from the song')


def check_pause(rec, events, songs, verdict):
    floats = songs[0]
    commands = [ms for kind, ms, _ in events if kind == 'command']
    started = [ms for kind, ms, _ in events if kind == 'started']
    if not verdict.expect(len(commands) == 3 and len(started) == 2, 'play, pause and play expected'):
        return
    play, pause, resume = commands
    pieces = pieces_of(rec)
    if not verdict.expect(len(pieces) == 2, 'two pieces of sound expected'):
        return
    # Nothing rendered is dropped at a pause: the library's output is one unbroken stream.
    expected, q = song_start(rec, pieces[0][0], floats, len(floats) // 2 // REFILL * REFILL + 2 * REFILL, verdict)
    if q is None:
        return
    before = Follow(rec, pieces[0][0], pieces[0][1], expected, q)
    check_follow(verdict, before, 'before')
    resumed = find_start(rec, pieces[1][0], expected, len(expected))
    print('last_heard_frame', before.end_expected, 'resumed_at_frame', resumed)
    if not verdict.expect(resumed is not None, 'what plays after the pause is not the song'):
        return
    step = RATE // 4
    print('clock_step_before', (before.end_expected - 1) // step, 'clock_step_after', resumed // step)
    verdict.expect(resumed >= before.end_expected, 'the resumed song repeats what was heard')
    verdict.expect(resumed - before.end_expected <= MAX_JUMP, 'music was skipped at the pause')
    after = Follow(rec, pieces[1][0], pieces[1][1], expected, resumed)
    check_follow(verdict, after, 'after')
    silence = pieces[1][0] - pieces[0][1]
    paused = (resume - pause) * RATE // 1000
    print('pause_silence_frames', silence, 'paused_for', paused)
    verdict.expect(silence <= paused + RATE // 2, 'the sound came back more than half a second after the press')
    verdict.expect(after.end_recording >= pieces[1][1] - MAX_GAP, 'the song stops before the recording does')


def check_chain(rec, events, songs, verdict):
    posted = [args[0] for kind, _, args in events if kind == 'post']
    ends = [ms for kind, ms, args in events if kind == 'command' and args == ['5', 'end']]
    started = [args[0] for kind, _, args in events if kind == 'started']
    print('posted', ' '.join(posted))
    print('ends_told_by_the_library', len(ends), 'songs_started', ' '.join(started))
    verdict.expect(posted == ['play', 'next', 'quit'], 'only play, next and quit come from the script')
    verdict.expect(len(ends) >= 3, 'three ends of songs expected')
    verdict.expect(started[:5] == ['0', '1', '2', '0', '1'][:len(started)] and len(started) >= 4,
                   'one song after another, the press taking none of them away')
    pieces = pieces_of(rec)
    if not verdict.expect(len(pieces) >= 4, 'four pieces of sound expected'):
        return
    # Every refill while playing converts a second and moves the generator on. The end is told by
    # the refill after the song's last, and the worker stops the stream at the next one: both are
    # rendered and neither is heard, but the second is silent unconverted when a press came first.
    refills = [(len(floats) // 2 + REFILL - 1) // REFILL for floats in songs]
    states = [1]
    last_heard, silences = None, []
    for n, (start, end) in enumerate(pieces[:4]):
        which = (0, 1, 2, 0)[n]
        floats = songs[which]
        name = 'piece%d_song%d' % (n, which)
        found = None
        for state in states:
            expected, _ = convert(floats, 0, refills[which] * REFILL, state)
            q = find_start(rec, start, expected, MAX_JUMP + 1)
            if q is not None:
                found = state
                break
        if not verdict.expect(found is not None, '%s: not the song expected, or not from its start' % name):
            return
        states = [convert(floats, 0, (refills[which] + extra) * REFILL, found)[1] for extra in (2, 1)]
        if last_heard is not None:
            silences.append((start - last_heard) / RATE)
        follow = Follow(rec, start, end, expected, q)
        check_follow(verdict, follow, name)
        song_frames = len(floats) // 2
        verdict.expect(follow.end_expected >= song_frames,
                       '%s: heard to frame %d of %d' % (name, follow.end_expected, song_frames))
        last_heard = start + song_frames - q
    # The forward pressed in the first song's last half-second made the first change.
    print('silence_after_forward_s %.2f' % silences[0])
    own = sorted(silences[1:])
    print('silence_after_song_end_s median %.2f largest %.2f' % (own[len(own) // 2], own[-1]))


def check_outage(rec, events, after_paths, verdict):
    """The window is never held for long, the driver ends by itself, and after each outage the
    forward press that follows it is heard."""
    commands = [ms for kind, ms, _ in events if kind == 'command']
    done = [ms for kind, ms, _ in events if kind == 'done']
    stalls = [d - c for c, d in zip(commands, done)]
    print('window_stalls_ms', ' '.join(map(str, stalls)))
    verdict.expect(len(done) == len(commands) >= 4, 'every press handled')
    verdict.expect(stalls and max(stalls) <= 1500, 'a press held the window for more than 1.5 s')
    verdict.expect(any(kind == 'quit' for kind, _, _ in events), 'the driver did not end by itself')
    tail = rec[-int(2.5 * RATE):]
    verdict.expect(any(abs(l) > 1000 for l, _ in tail), 'no sound after the suspended sink came back')
    for name, path in zip(('reload', 'restart'), after_paths):
        heard = read_recording(path)
        loud = sum(1 for l, _ in heard if abs(l) > 1000) / RATE
        print('sound_after_%s_s %.2f' % (name, loud))
        verdict.expect(loud > 0.5, 'no sound after the sink %s' % ('came back' if name == 'reload' else 'server restarted'))
    # Recordings from the sink's return (files holding wall-clock ms: BACK, and END, by which
    # each is lined up): the stopped disk's one press of play, then a song going on with no press.
    press_path, follow_path = after_paths[2], after_paths[4]
    press_end, follow_back, follow_end = (int(open(p).read()) for p in (after_paths[3], after_paths[5], after_paths[6]))

    def heard_at_ms(path, end_ms):
        heard = read_recording(path)
        first = next((i for i, (l, _) in enumerate(heard) if abs(l) > 1000), None)
        return None if first is None else end_ms - (len(heard) - first) * 1000 // RATE

    play = [ms for kind, ms, rest in events if kind == 'command' and rest == ['2']][-1]
    sound = heard_at_ms(press_path, press_end)
    after_press = None if sound is None else (sound - play) / 1000
    print('sound_after_play_press_s', after_press)
    verdict.expect(after_press is not None and after_press <= 3.0, 'the play press was not heard within 3 s')
    sound = heard_at_ms(follow_path, follow_end)
    after_back = None if sound is None else (sound - follow_back) / 1000
    print('sound_after_sink_back_while_playing_s', after_back)
    verdict.expect(after_back is not None and after_back <= 5.0, 'the song was not heard again within 5 s of the sink')
    unload_ms = follow_back - 1000
    before = [int(rest[0]) for kind, ms, rest in events if kind == 'position' and ms < unload_ms]
    after = [int(rest[0]) for kind, ms, rest in events if kind == 'position' and ms >= unload_ms]
    print('position_frames_at_unload', before[-1:], 'after', after[:1], after[-1:])
    verdict.expect(before and after and after == sorted(after) and after[0] >= before[-1] and after[-1] > after[0],
                   'the song did not go on from where it was')
    verdict.expect(not [ms for kind, ms, _ in events if kind == 'started' and ms >= unload_ms],
                   'a song started again after the sink went while playing')


def main(argv):
    global UNDERFLOWS
    if argv[1] == '--wine-log':
        UNDERFLOWS = wine_underflows(argv[2])
        argv = argv[:1] + argv[3:]
    mode, rec_path, log_path, song_paths = argv[1], argv[2], argv[3], argv[4:]
    checks = {'song': check_song, 'heard': check_heard, 'pause': check_pause, 'chain': check_chain, 'outage': check_outage}
    if mode not in checks:
        print('unknown mode', mode)
        return 2
    rec = read_recording(rec_path)
    print('recorded_frames', len(rec))
    verdict = Verdict()
    songs = song_paths if mode == 'outage' else [read_float_wav(p) for p in song_paths]
    checks[mode](rec, driver_events(log_path), songs, verdict)
    print('result', 'ok' if verdict.ok else 'FAIL')
    return 0 if verdict.ok else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))

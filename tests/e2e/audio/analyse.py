#!/usr/bin/env python3
"""Reads a raw s16le stereo 44.1 kHz recording of the null sink and checks it against the test
pattern (TestPattern.h), frame by frame.

  analyse.py pattern REC          silence, then the pattern from its first frame on, in order
  analyse.py restart REC          the pattern, two seconds of silence, the pattern again from the
                                  first frame of a later half (a restart with the callback kept)
  analyse.py restart-silent REC   the pattern, then silence only (a restart without a callback)

  ... REC REC2 DRIVER_LOG WINE_LOG   and whose a loss is: REC2 was recorded beside REC, the driver
                                  logged its starts and refills, Wine its sound server underflows

Wine's mixer is allowed to slip now and then (it drops a few frames, mostly at start-up): slips of
up to one 10 ms period are counted and reported; a frame that is neither silence nor a pattern
frame, a step back, or a larger jump fails the check. A larger slip fails it only when it may be
the stream's: it passes, with the evidence printed, when every refill was in time for its half and
either Wine told that the server ran out of what its mixer sent, or the other recorder did not
hear the slip.
Prints "key value" lines; the exit code says whether the check held.
"""
import array
import sys

from recording import Verdict, load, wine_underflows

RATE = 44100
HALF_FRAMES = RATE
MAX_DROP = 441          # frames Wine may skip or fill with silence in one place: one 10 ms period
MAX_DROP_RATIO = 0.005  # of the frames heard
MAX_OTHERS_GAP = 11025  # frames of silence the environment may put in at one place, when shown
PATTERN_FRAMES = 20 * RATE


def pattern(count):
    state = 1
    out = array.array('h', bytes(2 * count))
    for i in range(count):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        out[i] = ((state >> 16) % 60001) - 30000
    return out


class Segments:
    """The recording as runs: ('zero', start, length) and ('pattern', start, length, first frame),
    with the jumps between pattern runs and the frames that match nothing."""

    def __init__(self, samples):
        pat = pattern(2 * PATTERN_FRAMES)
        frames = [(samples[2 * i], samples[2 * i + 1]) for i in range(len(samples) // 2)]
        expected = [(pat[2 * i], pat[2 * i + 1]) for i in range(PATTERN_FRAMES)]
        where = {}
        for i in range(PATTERN_FRAMES - 1):
            where.setdefault((expected[i], expected[i + 1]), i)
        self.runs = []
        self.unmatched = []
        self.total = len(frames)
        next_frame = None
        for i, frame in enumerate(frames):
            if next_frame is not None and next_frame < PATTERN_FRAMES and frame == expected[next_frame]:
                self._extend('pattern', i, next_frame)
                next_frame += 1
                continue
            if frame == (0, 0):
                self._extend('zero', i, None)
                next_frame = None
                continue
            found = where.get((frame, frames[i + 1])) if i + 1 < len(frames) else None
            if found is None:
                self.unmatched.append(i)
                next_frame = None
                continue
            self._extend('pattern', i, found, new_run=True)
            next_frame = found + 1

    def _extend(self, kind, index, frame, new_run=False):
        last = self.runs[-1] if self.runs else None
        if last and not new_run and last[0] == kind and last[1] + last[2] == index:
            last[2] += 1
        else:
            self.runs.append([kind, index, 1, frame])

    def pattern_runs(self):
        return [r for r in self.runs if r[0] == 'pattern']

    def heard(self):
        return sum(r[2] for r in self.pattern_runs())

    def report(self):
        print('recorded_frames', self.total)
        print('pattern_frames_heard', self.heard())
        print('unmatched_frames', len(self.unmatched))
        print('runs', ' '.join('%s@%d+%d%s' % (r[0], r[1], r[2], '' if r[3] is None else '=p%d' % r[3])
                               for r in self.runs[:40]))


def stretches(runs, max_gap=MAX_DROP):
    """Pattern runs joined over Wine's small slips (frames dropped, or a short silence put in)
    into stretches: [(first frame, last frame, frames dropped, silent frames put in)]."""
    out = []
    gap = None  # the silent run since the last pattern run, if any
    for run in runs:
        if run[0] == 'zero':
            gap = run[2]
            continue
        first, last = run[3], run[3] + run[2] - 1
        joins = out and 0 <= first - out[-1][1] - 1 <= MAX_DROP and (gap or 0) <= max_gap
        if joins:
            prev = out[-1]
            out[-1] = (prev[0], last, prev[2] + first - prev[1] - 1, prev[3] + (gap or 0))
        else:
            out.append((first, last, 0, 0))
        gap = None
    return out


def zero_gaps(seg):
    """Silent runs that lie between two pattern runs, as (length, pattern run before, after)."""
    gaps = []
    for before, gap, after in zip(seg.runs, seg.runs[1:], seg.runs[2:]):
        if before[0] == 'pattern' and gap[0] == 'zero' and after[0] == 'pattern':
            gaps.append((gap[2], before, after))
    return gaps


def whose_loss(seg, evidence):
    """'none' without a slip; 'environment' when the stream is shown not to have caused the slips;
    otherwise 'ours?'. Prints the evidence."""
    mine = stretches(seg.runs, MAX_OTHERS_GAP)
    if not any(p[2] or p[3] for p in mine):
        return 'none'
    if not evidence:
        return 'ours?'
    other, driver_log, wine_log = evidence
    late = starts = 0
    with open(driver_log) as f:
        for line in f:
            parts = line.split()
            if parts[:1] == ['start']:
                start, refills = int(parts[1]), 0
                starts += 1
            elif parts[:1] == ['refill'] and starts:
                # refill n of a start is heard from n + 2 seconds after it
                late += int(parts[2]) > start + 1000 * (refills + 2)
                refills += 1
    underflows = wine_underflows(wine_log)
    theirs = stretches(other.runs, MAX_OTHERS_GAP)
    other_heard = [p[2:] for p in theirs] == [p[2:] for p in mine]
    print('loss_evidence refills_late %d wine_underflows %d other_recorder_heard_it %s' % (late, len(underflows), other_heard))
    print('other_recorder_stretches', ' '.join('p%d-p%d(-%d,+%d)' % s for s in theirs))
    if late or (not underflows and other_heard):
        return 'ours?'
    return 'environment'


def check_common(seg, verdict, evidence=None):
    """What every recording must show; returns the stretches of the pattern."""
    loss = whose_loss(seg, evidence)
    print('loss', {'none': 'none', 'environment': 'the environment\'s, not the stream\'s',
                   'ours?': 'not shown to be the environment\'s'}[loss])
    parts = stretches(seg.runs, MAX_OTHERS_GAP if loss == 'environment' else MAX_DROP)
    print('stretches', ' '.join('p%d-p%d(-%d,+%d)' % s for s in parts))
    drops = sum(s[2] for s in parts)
    print('dropped_frames', drops)
    print('silent_frames_put_in', sum(s[3] for s in parts))
    runs = seg.runs
    first_pattern = next((r for r in runs if r[0] == 'pattern'), None)
    verdict.expect(first_pattern and first_pattern[3] == 0 and runs[0][0] == 'zero',
                   'silence then the first pattern frame expected at the start')
    verdict.expect(not seg.unmatched, 'frames that are neither silence nor the pattern, first at %s'
                   % (seg.unmatched[:1],))
    verdict.expect(loss == 'environment' or drops <= MAX_DROP_RATIO * max(seg.heard(), 1), 'too many dropped frames')
    return parts


def check_pattern(seg, verdict, evidence):
    parts = check_common(seg, verdict, evidence)
    verdict.expect(len(parts) == 1, 'the pattern is not one stretch in order')
    verdict.expect(seg.heard() >= 3 * RATE, 'less than three seconds of the pattern heard')


def check_restart(seg, verdict, evidence):
    parts = check_common(seg, verdict, evidence)
    if not verdict.expect(len(parts) == 2, 'two stretches of the pattern expected'):
        return
    gaps = zero_gaps(seg)
    gap = max(gaps, key=lambda g: g[0])[0] if gaps else 0
    print('restart_silence_frames', gap)
    verdict.expect(abs(gap - 2 * RATE) <= RATE // 4, 'the restart is not two seconds of silence')
    resumed = parts[1][0]
    print('resumed_at_pattern_frame', resumed)
    verdict.expect(resumed % HALF_FRAMES == 0 and resumed > parts[0][1],
                   'the restart does not go on with a later half')


def check_restart_silent(seg, verdict, evidence):
    parts = check_common(seg, verdict, evidence)
    verdict.expect(len(parts) == 1, 'sound after the restart without a callback')
    tail = seg.runs[-1] if seg.runs else None
    silent = tail[2] if tail and tail[0] == 'zero' else 0
    print('silence_after_frames', silent)
    verdict.expect(silent >= 4 * RATE, 'less than four seconds of silence after the restart')


def main(argv):
    mode, path = argv[1], argv[2]
    seg = Segments(load(path))
    seg.report()
    evidence = (Segments(load(argv[3])), argv[4], argv[5]) if len(argv) > 5 else None
    checks = {'pattern': check_pattern, 'restart': check_restart, 'restart-silent': check_restart_silent}
    if mode not in checks:
        print('unknown mode', mode)
        return 2
    verdict = Verdict()
    checks[mode](seg, verdict, evidence)
    print('result', 'ok' if verdict.ok else 'FAIL')
    return 0 if verdict.ok else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv))

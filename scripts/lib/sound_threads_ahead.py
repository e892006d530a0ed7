"""Keeps the sound threads of one session's wine programs ahead of all other work on the machine.

On Windows the audio engine mixes in threads that run ahead of the programs around them; wine's
own mixing threads are plain threads, and on a busy machine they wake too late for their 10 ms
periods, so the sound drops out. This gives them the round-robin class, below the PulseAudio
sink's thread. It watches until it is ended, or until the session that started it is gone.
    sound_threads_ahead.py PULSE_SERVER
"""
import os
import sys
import time

SOUND_THREADS = {b"winepulse_timer", b"winepulse_mainl", b"wine_dsound_mix"}  # as the kernel cuts them
NAMED_WITHIN = 2.0  # seconds from a thread's start in which wine names it
POLL = 0.2


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def main():
    marker = b"PULSE_SERVER=" + os.fsencode(sys.argv[1])
    session = {}  # pid -> {tid: first seen} for the session's processes, None for others
    starter = os.getppid()
    while os.getppid() == starter:
        now = time.monotonic()
        pids = {entry for entry in os.listdir("/proc") if entry.isdigit()}
        for pid in session.keys() - pids:
            del session[pid]
        for pid in pids:
            if pid not in session:
                environ = read(f"/proc/{pid}/environ")
                session[pid] = {} if environ and marker in environ.split(b"\0") else None
            threads = session[pid]
            if threads is None:
                continue
            try:
                tids = os.listdir(f"/proc/{pid}/task")
            except OSError:
                continue
            for tid in tids:
                seen = threads.setdefault(tid, now)
                if seen is None or now - seen > NAMED_WITHIN:
                    continue
                if (read(f"/proc/{pid}/task/{tid}/comm") or b"").strip() in SOUND_THREADS:
                    try:
                        os.sched_setscheduler(int(tid), os.SCHED_RR, os.sched_param(1))
                    except OSError:
                        pass
                    threads[tid] = None
        time.sleep(POLL)


if __name__ == "__main__":
    main()

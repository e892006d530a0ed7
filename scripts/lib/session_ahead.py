"""Keeps one session's wine programs where the session's own work is, and their sound threads ahead
of all other work on the machine.

Wine starts its desktop and services in login sessions of their own, which the kernel shares the CPU
with as it does with the session that started them: on a busy machine, the desktop then fails to
start in time, and no window opens. Each gets the starter's niceness for its session.

On Windows the audio engine mixes in threads that run ahead of the programs around them; wine's
own mixing threads are plain threads, and on a busy machine they wake too late for their 10 ms
periods, so the sound drops out. They get the round-robin class, below the PulseAudio sink's thread.

It watches until it is ended, or until the session that started it is gone.
    session_ahead.py PULSE_SERVER
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


def group_nice(pid):
    """The niceness of the login session's group, from "/autogroup-N nice M"."""
    text = read(f"/proc/{pid}/autogroup")
    return text.split()[-1] if text else None


def join(pid, nice):
    if nice is not None and group_nice(pid) not in (None, nice):
        try:
            with open(f"/proc/{pid}/autogroup", "wb") as f:
                f.write(nice)
        except OSError:
            pass


def main():
    marker = b"PULSE_SERVER=" + os.fsencode(sys.argv[1])
    nice = group_nice("self")
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
                if session[pid] is not None:
                    join(pid, nice)
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

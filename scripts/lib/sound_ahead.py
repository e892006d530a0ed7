#!/usr/bin/env python3
"""Keeps the private sessions' sound path ahead of all other work on the machine, as Windows keeps
its audio engine ahead: Wine's own sound threads, and the wineservers they wait on at every period,
go into the round-robin realtime class, just below the sound server's sink thread. Wine 8 leaves
every thread in the normal class, whatever priority the program asks for, so a busy machine
starved them into dropouts. Only programs started inside one of these sessions are touched.
Runs until it is killed."""
import os
import time

SOUND_THREADS = {b"winepulse_timer", b"winepulse_mainl", b"wine_dsound_mix"}
SOUND_PRIORITY = 4   # PulseAudio's own sink thread runs at 5
SERVER_PRIORITY = 3
POLL = 0.2           # a new stream's first sound is two seconds of cleared buffer away


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


def promote(tid, priority):
    try:
        os.sched_setscheduler(tid, os.SCHED_RR, os.sched_param(priority))
    except OSError:
        pass  # gone already


def main():
    judged = {}       # process: the program it was judged as running (a fork may still exec)
    programs = set()  # session programs whose threads are still watched
    promoted = set()
    while True:
        alive = {int(p) for p in os.listdir("/proc") if p.isdigit()}
        judged = {p: exe for p, exe in judged.items() if p in alive}
        programs &= alive
        promoted = {t for t in promoted if os.path.exists(f"/proc/{t}")}
        for pid in alive:
            try:  # a program's name is cut to 15 characters; its loader's is not
                exe = os.path.basename(os.readlink(f"/proc/{pid}/exe"))
            except OSError:
                continue
            if judged.get(pid) == exe:
                continue
            judged[pid] = exe
            if not exe.startswith("wine"):
                continue
            if b"\0MD_SESSION_DIR=" not in b"\0" + read(f"/proc/{pid}/environ"):
                continue
            if exe.startswith("wineserver"):
                promote(pid, SERVER_PRIORITY)
            else:
                programs.add(pid)
        for pid in programs:
            try:
                tids = [int(t) for t in os.listdir(f"/proc/{pid}/task")]
            except OSError:
                continue
            for tid in tids:
                if tid not in promoted and read(f"/proc/{pid}/task/{tid}/comm").strip() in SOUND_THREADS:
                    promote(tid, SOUND_PRIORITY)
                    promoted.add(tid)
        time.sleep(POLL)


if __name__ == "__main__":
    main()

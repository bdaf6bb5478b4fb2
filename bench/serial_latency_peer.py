#!/usr/bin/env python3
"""Peer of serial_latency_probe.exe: a pty behind LINK. Waits for the probe's "<r" (its port is
open), then writes ">w" ROUNDS times and times each "<w" echo, and ends with ">q". Every wait is
bounded: no "<r" within READY_LIMIT seconds, or no echo within 2 s, ends it with a message on
standard error and exit code 1.
    serial_latency_peer.py LINK [ROUNDS] [READY_LIMIT]"""
import os
import pty
import select
import sys
import time
import tty

ECHO_LIMIT_S = 2.0
PAUSE_S = 0.002  # between round trips, so that each one starts from a waiting reader


def read_until(fd, wanted, limit_s):
    """Bytes read from fd until they end with `wanted`, or None after limit_s seconds."""
    got = b""
    deadline = time.monotonic() + limit_s
    while not got.endswith(wanted):
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([fd], [], [], left)
        if ready:
            got += os.read(fd, 100)
    return got


def main():
    link = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    ready_limit = float(sys.argv[3]) if len(sys.argv) > 3 else 90.0
    master, slave = pty.openpty()
    tty.setraw(master)
    tty.setraw(slave)
    if os.path.lexists(link):
        os.unlink(link)
    os.symlink(os.ttyname(slave), link)
    try:
        if read_until(master, b"<r", ready_limit) is None:
            sys.stderr.write("serial_latency_peer: the probe did not open %s within %.0f s "
                             "(is its COM port mapped to this link?)\n" % (link, ready_limit))
            return 1
        times = []
        for done in range(rounds):
            sent = time.perf_counter()
            os.write(master, b">w")
            if read_until(master, b"<w", ECHO_LIMIT_S) is None:
                sys.stderr.write("serial_latency_peer: no echo within %.0f s after %d round "
                                 "trips\n" % (ECHO_LIMIT_S, done))
                return 1
            times.append((time.perf_counter() - sent) * 1e6)
            time.sleep(PAUSE_S)
        os.write(master, b">q")
        time.sleep(0.5)  # the probe reads the quit word before the pty goes
    finally:
        os.unlink(link)
    times.sort()
    print("round trips %d, median %.0f us, p99 %.0f us"
          % (len(times), times[len(times) // 2], times[max(0, int(len(times) * 0.99) - 1)]))
    return 0


if __name__ == "__main__":
    sys.exit(main())

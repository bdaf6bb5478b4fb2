#!/usr/bin/env python3
"""Peer of serial_latency_probe.exe: a pty behind LINK; writes ">w" and times the echo."""
import os
import pty
import select
import sys
import time
import tty

master, slave = pty.openpty()
tty.setraw(master)
link = sys.argv[1]
if os.path.lexists(link):
    os.unlink(link)
os.symlink(os.ttyname(slave), link)
time.sleep(5.0)  # the probe opens the port meanwhile
times = []
for _ in range(200):
    sent = time.perf_counter()
    os.write(master, b">w")
    ready, _, _ = select.select([master], [], [], 2.0)
    if not ready:
        break
    os.read(master, 100)
    times.append((time.perf_counter() - sent) * 1e6)
    time.sleep(0.002)
times.sort()
if times:
    print("round trips %d, median %.0f us, p99 %.0f us"
          % (len(times), times[len(times) // 2], times[max(0, int(len(times) * 0.99) - 1)]))

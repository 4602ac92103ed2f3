#!/usr/bin/env python3
"""The two serial ports the Wine test maps: pseudo-terminals, one that echoes what it gets
(a loopback plug) while FOLDER/echo-on exists, one that stays silent. Writes their device
paths to FOLDER/ports ("echo PATH", "silent PATH") and one line per "Loopback" the echoing
one receives to FOLDER/loopbacks.log (the time it came), until killed. Usage: pty_rig.py FOLDER"""
import os
import select
import sys
import time
import tty

folder = sys.argv[1]
ends = {}
with open(os.path.join(folder, "ports.part"), "w") as ports:
    for role in ("echo", "silent"):
        master, slave = os.openpty()
        tty.setraw(slave)  # no echo or line editing of the terminal's own
        ends[master] = (role, slave)
        ports.write(f"{role} {os.ttyname(slave)}\n")
os.rename(os.path.join(folder, "ports.part"), os.path.join(folder, "ports"))

pending = b""
with open(os.path.join(folder, "loopbacks.log"), "a", buffering=1) as log:
    while True:
        for master in select.select(list(ends), [], [])[0]:
            try:
                data = os.read(master, 4096)
            except OSError:  # no one has the port open
                time.sleep(0.05)
                continue
            if ends[master][0] != "echo":
                continue
            pending = (pending + data)[-64:]
            while b"Loopback" in pending:
                log.write(f"{time.monotonic():.3f}\n")
                pending = pending.split(b"Loopback", 1)[1]
            if os.path.exists(os.path.join(folder, "echo-on")):
                os.write(master, data)

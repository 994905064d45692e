#!/usr/bin/env python3
"""Sends a burst of one datagram to 127.0.0.1, as a plain Linux process.

The benchmark program under Wine starts it for its trap bursts: a sender inside Wine shares the
wineserver with the control it measures, and one Wine thread cannot send 10,000 datagrams a second.
When the burst is over it sends one report datagram, b"sent=N seconds=S", to the report port.

  trap_sender.py PORT COUNT PER_SECOND HEX REPORT_PORT

PER_SECOND 0 sends flat out; otherwise datagram i leaves i / PER_SECOND seconds after the first
(a few at a time when the sleep overshoots, never ahead of time).
"""
import socket
import sys
import time


def main(argv):
    if len(argv) != 6:
        sys.stderr.write(__doc__)
        return 2
    port, count, per_second = int(argv[1]), int(argv[2]), int(argv[3])
    datagram, report_port = bytes.fromhex(argv[4]), int(argv[5])
    target = ("127.0.0.1", port)
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sent = 0
    start = time.perf_counter()
    if per_second == 0:
        for _ in range(count):
            sender.sendto(datagram, target)
            sent += 1
    else:
        while sent < count:
            due = min(count, int((time.perf_counter() - start) * per_second) + 1)
            while sent < due:
                sender.sendto(datagram, target)
                sent += 1
            if sent < count:
                wait = start + sent / per_second - time.perf_counter()
                if wait > 0:
                    time.sleep(wait)
    seconds = time.perf_counter() - start
    sender.sendto(f"sent={sent} seconds={seconds:.6f}".encode(), ("127.0.0.1", report_port))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

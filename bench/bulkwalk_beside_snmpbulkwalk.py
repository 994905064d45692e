#!/usr/bin/env python3
"""The wall time of `ostrel bulkwalk -v 2c -Cr 10` over snmpd's whole tree, beside
`snmpbulkwalk -v2c -Cr10` of the same agent.

  bulkwalk_beside_snmpbulkwalk.py PATH-TO-OSTREL [RUNS]

Starts its own snmpd on a free 127.0.0.1 port (configuration in a temporary folder, stopped by
PID at the end), checks that both walks show the same number of objects, then runs the two in
turn RUNS times (default 5), one of each per round so that both see the same load; the first,
unmeasured round counts the objects each shows. Each measured run's output goes to /dev/null;
the figure is the median of its runs.
Exit status 77 when a Net-SNMP program is missing.
"""
import os
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = "1"  # the whole tree the agent serves


def program(name):
    sbin = f"/usr/sbin/{name}"
    return shutil.which(name) or (sbin if os.access(sbin, os.X_OK) else None)


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_snmpd(snmpd, folder, ostrel):
    conf = os.path.join(folder, "snmpd.conf")
    with open(conf, "w") as f:
        f.write("rocommunity public 127.0.0.1\n")
    env = dict(os.environ, SNMP_PERSISTENT_DIR=os.path.join(folder, "persist"))
    for _ in range(3):
        port = free_port()
        agent = subprocess.Popen([snmpd, "-f", "-Lo", "-C", "-c", conf, f"udp:127.0.0.1:{port}"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        for _ in range(50):
            if agent.poll() is not None:
                break
            ready = subprocess.run([ostrel, "get", "--timeout", "0.2", "--retries", "0",
                                    f"127.0.0.1:{port}", "public", "1.3.6.1.2.1.1.3.0"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if ready.returncode == 0:
                return agent, f"127.0.0.1:{port}"
        agent.terminate()
        agent.wait()
    raise RuntimeError("snmpd did not start")


def seconds_of(command):
    """Wall time and the program's own processor time (user and system), in seconds."""
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    wall = time.perf_counter() - start
    now = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (now.ru_utime - used.ru_utime) + (now.ru_stime - used.ru_stime)


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    ostrel, runs = argv[1], int(argv[2]) if len(argv) == 3 else 5
    snmpd, snmpbulkwalk = program("snmpd"), program("snmpbulkwalk")
    if not snmpd or not snmpbulkwalk:
        print("bulkwalk figure skipped: snmpd or snmpbulkwalk is not installed")
        return 77
    os.environ["MIBS"] = ""  # no MIB files here: Net-SNMP would complain about every module
    folder = tempfile.mkdtemp(prefix="ostrel-bulkwalk-bench.")
    agent = None
    try:
        agent, address = start_snmpd(snmpd, folder, ostrel)
        commands = {
            "ostrel bulkwalk -v 2c -Cr 10": [ostrel, "bulkwalk", "-v", "2c", "-Cr", "10", address,
                                             "public", ROOT],
            "snmpbulkwalk -v2c -Cr10": [snmpbulkwalk, "-v2c", "-Cr10", "-c", "public", "-On",
                                        address, "." + ROOT],
        }
        counts = {}
        for label, command in commands.items():
            out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
            # Objects, not lines: Net-SNMP continues a long hex value on lines of its own.
            counts[label] = sum(1 for line in out.splitlines() if " = " in line)
        times = {label: [] for label in commands}
        processor = {label: [] for label in commands}
        for _ in range(runs):
            for label, command in commands.items():
                wall, cpu = seconds_of(command)
                times[label].append(wall)
                processor[label].append(cpu)
        print(f"\nbulkwalk of snmpd's whole tree on 127.0.0.1, median of {runs} interleaved runs"
              " (wall time; the walker's own processor time beside it):")
        for label, seconds in times.items():
            runs_text = " ".join(f"{s * 1000:.0f}" for s in seconds)
            print(f"  {label:<30} {statistics.median(seconds) * 1000:7.1f} ms"
                  f"  cpu {statistics.median(processor[label]) * 1000:5.1f} ms"
                  f"  ({counts[label]} objects; runs: {runs_text} ms)")
        ours, theirs = (statistics.median(times[label]) for label in commands)
        print(f"  snmpbulkwalk wall time / ostrel wall time: {theirs / ours:.2f}x")
        return 0
    finally:
        if agent is not None:
            agent.terminate()
            agent.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""Writes the seeds of the v3_message fuzz target (fuzz/seeds/v3_message).

Mode 0 seeds are datagrams captured from Net-SNMP's own tools (their -d hex dumps): requests
protected for the fuzz target's users and engine ID, a discovery probe, a notification, and
whole exchanges with a private snmpd that knows the same users (discovery, its Report, the
request and snmpd's Response, which the fuzz target's engine accepts as a manager would).
Modes 1 to 3 get the scoped PDUs and binding lists of those captures in the layouts that
fuzz/v3_message_fuzzer.cpp reads. Run it again after changing the target's users or engine ID:

    python3 fuzz/make_v3_seeds.py [OUTPUT_FOLDER]
"""
import os
import pathlib
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

# As in fuzz/v3_message_fuzzer.cpp.
ENGINE_ID = bytes.fromhex("80001f8804") + b"kivostrel-fz"
MANAGER_ID = bytes.fromhex("80001f8804") + b"kivostrel-mg"
USERS = [  # name, auth, auth password, priv, priv password (Net-SNMP's names)
    ("noauth", None, None, None, None),
    ("md5", "MD5", "fuzz-md5-auth", None, None),
    ("sha-des", "SHA", "fuzz-shades-auth", "DES", "fuzz-shades-priv"),
    ("sha-aes", "SHA", "fuzz-shaaes-auth", "AES", "fuzz-shaaes-priv"),
    ("sha256-aes256", "SHA-256", "fuzz-sha256-auth", "AES-256", "fuzz-aes256-priv"),
    ("sha512-aes192c", "SHA-512", "fuzz-sha512-auth", "AES192C", "fuzz-aes192c-priv"),
]
SYS_DESCR = "1.3.6.1.2.1.1.1.0"
SYS_CONTACT = "1.3.6.1.2.1.1.4.0"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def user_options(index, level=None):
    name, auth, auth_password, priv, priv_password = USERS[index]
    if level is None:
        level = "authPriv" if priv else "authNoPriv" if auth else "noAuthNoPriv"
    options = ["-u", name, "-l", level]
    if auth:
        options += ["-a", auth, "-A", auth_password]
    if priv:
        options += ["-x", priv, "-X", priv_password]
    return options


def datagrams(output):
    """The datagrams of a tool's -d output, sent and received, in order."""
    found = []
    for block in re.split(r"\n(?=(?:Sending|Received) \d+ byte)", output):
        match = re.match(r"(Sending|Received) (\d+) byte", block)
        if not match:
            continue
        octets = bytearray()
        for line in block.splitlines()[1:]:
            hex_part = re.match(r"^\d{4}: ((?:[0-9A-F]{2} {1,2})+)", line)
            if hex_part:
                octets += bytes.fromhex(hex_part.group(1))
        if len(octets) == int(match.group(2)):
            found.append((match.group(1).lower(), bytes(octets)))
    return found


def run_tool(tool, *arguments):
    result = subprocess.run([tool, "-d", "-r", "0", "-t", "0.5", *arguments],
                            capture_output=True, text=True, timeout=30,
                            env=dict(os.environ, MIBS=""))
    return datagrams(result.stdout + result.stderr)


def element(data, at=0):
    """(tag, content start, content end) of the BER element at `at`."""
    tag, length = data[at], data[at + 1]
    start = at + 2
    if length & 0x80:
        count = length & 0x7F
        length = int.from_bytes(data[start:start + count], "big")
        start += count
    return tag, start, start + length


def children(data, start, end):
    items = []
    while start < end:
        tag, content, after = element(data, start)
        items.append((tag, start, content, after))
        start = after
    return items


def scoped_pdu_of(message):
    """The plaintext scoped PDU's element of an unencrypted SNMPv3 message, or None."""
    _, start, end = element(message)
    parts = children(message, start, end)
    if len(parts) != 4 or parts[3][0] != 0x30:
        return None
    return message[parts[3][1]:parts[3][3]]


def bindings_of(scoped):
    """The binding list content of a scoped PDU."""
    _, start, end = element(scoped)
    pdu = children(scoped, start, end)[2]
    fields = children(scoped, pdu[2], pdu[3])
    return scoped[fields[3][2]:fields[3][3]]


def content_seed(mode, user, level, pdu, message_id, request_id, context, bindings, tail):
    """The layout of modes 2 and 3: user, level, PDU (0x80: reportable), msgID, request-id,
    error-status, error-index, context name, binding list, then the mode's own octets."""
    return (bytes([mode, user, level, pdu]) + message_id.to_bytes(4, "big") +
            request_id.to_bytes(4, "big") + bytes([0, 0, len(context)]) + context +
            len(bindings).to_bytes(2, "big") + bindings + tail)


def main():
    out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else
                       pathlib.Path(__file__).parent / "seeds" / "v3_message")
    # Written over in place: inputs kept there for findings of the past stay.
    out.mkdir(parents=True, exist_ok=True)
    seeds = {}
    engine = ["-e", "0x" + ENGINE_ID.hex()]
    nowhere = f"udp:127.0.0.1:{free_port()}"

    # Requests protected for the fuzz target's engine.
    for index, (name, *_rest) in enumerate(USERS):
        sent = run_tool("snmpget", "-v3", *engine, *user_options(index), nowhere, SYS_DESCR)
        seeds[f"get_{name}"] = sent[0][1]
    sent = run_tool("snmpgetnext", "-v3", *engine, *user_options(3), nowhere, "1.3.6.1.2.1.1")
    seeds["getnext_sha-aes"] = sent[0][1]
    sent = run_tool("snmpbulkget", "-v3", *engine, *user_options(4), "-Cn1", "-Cr5", nowhere,
                    "1.3.6.1.2.1.1.3", "1.3.6.1.2.1.2.2.1")
    seeds["getbulk_sha256-aes256"] = sent[0][1]
    sent = run_tool("snmpset", "-v3", *engine, *user_options(5), "-n", "context", nowhere,
                    SYS_CONTACT, "s", "fuzz@example.net")
    seeds["set_sha512-aes192c_context"] = sent[0][1]
    sent = run_tool("snmpget", "-v3", *engine, *user_options(1, "noAuthNoPriv"), nowhere,
                    SYS_DESCR)
    seeds["get_md5_below_its_level"] = sent[0][1]
    sent = run_tool("snmpget", "-v3", *engine, "-u", "sha-aes", "-l", "authPriv", "-a", "SHA",
                    "-A", "not-the-password", "-x", "AES", "-X", "not-the-password", nowhere,
                    SYS_DESCR)
    seeds["get_sha-aes_wrong_password"] = sent[0][1]
    sent = run_tool("snmpget", "-v3", *engine, "-u", "nobody", "-l", "noAuthNoPriv", nowhere,
                    SYS_DESCR)
    seeds["get_unknown_user"] = sent[0][1]
    sent = run_tool("snmpget", "-v3", *user_options(3), nowhere, SYS_DESCR)
    seeds["discovery_probe"] = sent[0][1]
    # A notification from the manager's engine, which the fuzz target learns the clock of.
    sent = run_tool("snmptrap", "-v3", "-e", "0x" + MANAGER_ID.hex(), *user_options(3), nowhere,
                    "", "1.3.6.1.4.1.99999.0.1", "1.3.6.1.4.1.99999.1", "s", "fuzz")
    seeds["trap_sha-aes_from_manager"] = sent[0][1]

    # Whole exchanges with snmpd: discovery, Report, request, Response.
    work = pathlib.Path(tempfile.mkdtemp(prefix="v3-seeds."))
    (work / "persist").mkdir()
    config = [f"createUser {name} {auth} {ap}" + (f" {priv} {pp}" if priv else "")
              for name, auth, ap, priv, pp in USERS if auth]
    config += [f"rwuser {name} {'priv' if priv else 'auth'}" for name, auth, _, priv, _ in USERS
               if auth]
    config += ["createUser noauth", "rwuser noauth noauth"]
    (work / "snmpd.conf").write_text("\n".join(config) + "\n")
    port = free_port()
    agent = subprocess.Popen(
        ["/usr/sbin/snmpd", "-f", "-I", "-smux", "-m", "", "-C", "-c", str(work / "snmpd.conf"),
         "-Lf", str(work / "log"), f"udp:127.0.0.1:{port}"],
        env=dict(os.environ, SNMP_PERSISTENT_DIR=str(work / "persist"), MIBS=""))
    try:
        time.sleep(1.0)
        for index, (name, *_rest) in enumerate(USERS):
            exchange = run_tool("snmpget", "-v3", *user_options(index), f"udp:127.0.0.1:{port}",
                                SYS_DESCR, "1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.5.0")
            for number, (direction, datagram) in enumerate(exchange):
                seeds[f"snmpd_{name}_{number}_{direction}"] = datagram
        exchange = run_tool("snmpwalk", "-v3", *user_options(3), f"udp:127.0.0.1:{port}",
                            "1.3.6.1.2.1.1")
        for number, (direction, datagram) in enumerate(exchange[:6]):
            seeds[f"snmpd_walk_{number}_{direction}"] = datagram
    finally:
        agent.send_signal(signal.SIGTERM)
        agent.wait(timeout=10)
        shutil.rmtree(work)

    for name, datagram in seeds.items():
        (out / f"0_{name}").write_bytes(b"\x00" + datagram)

    # Mode 1: the plaintext scoped PDUs of the unencrypted captures, for each user.
    scoped = {name: scoped_pdu_of(d) for name, d in seeds.items() if scoped_pdu_of(d)}
    plaintexts = sorted(set(scoped.values()), key=len)
    for index in range(len(USERS)):
        for number, plaintext in enumerate(plaintexts[:4]):
            salt = bytes([index, number, 0, 0, 0, 0, 0, 1])
            (out / f"1_{USERS[index][0]}_{number}").write_bytes(
                bytes([1, index, 1]) + salt + plaintext)

    # Modes 2 and 3: the binding lists of the captures as content.
    lists = sorted({bindings_of(s) for s in plaintexts}, key=len)
    pdus = [0, 2, 3, 5, 7]  # GetRequest, GetResponse, SetRequest, InformRequest, Report
    for index in range(len(USERS)):
        for number, bindings in enumerate(lists[:3]):
            pdu = pdus[(index + number) % len(pdus)] | (0x80 if number == 0 else 0)
            context = b"" if number != 1 else b"context"
            (out / f"2_{USERS[index][0]}_{number}").write_bytes(content_seed(
                2, index, 1, pdu, 100 + number, 2000 + index, context, bindings,
                bytes([0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40])))
            (out / f"3_{USERS[index][0]}_{number}").write_bytes(content_seed(
                3, index, 1, pdu, 100 + number, 2000 + index, context, bindings,
                bytes([0, 40 + 7 * number, 0x20])))
    print(f"{len(seeds)} datagrams and their contents as seeds in {out}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""An SNMPv1 agent on 127.0.0.1 that answers from a fixed table with values given as raw BER, so
that a test can serve what a real agent would not: an undecodable value, or an answer that does
not move on.

    scripted_agent.py PORT_FILE [--echo] OID=HEX...

Writes the port it is bound to into PORT_FILE, then answers Get and GetNext for the first binding
of each request: GetNext with the first row after the requested OID (with --echo: the requested
OID itself, with the value of the first row), Get with the row of that OID; noSuchName (2) when
there is none. Runs until killed.
"""
import os
import socket
import sys

from snmp_ber import decode_oid, element, encode_oid, read_element


def answer(request, rows, echo):
    _, at, _ = read_element(request, 0)  # message
    _, start, at = read_element(request, at)  # version
    _, start, end = read_element(request, at)  # community
    community = request[start:end]
    pdu, at, _ = read_element(request, end)
    _, start, at = read_element(request, at)  # request-id
    request_id = request[start - 2:at]
    _, _, at = read_element(request, at)  # error-status
    _, _, at = read_element(request, at)  # error-index
    _, at, _ = read_element(request, at)  # bindings
    _, at, _ = read_element(request, at)  # first binding
    _, start, end = read_element(request, at)
    asked = decode_oid(request[start:end])

    if pdu == 0xA1:
        later = [oid for oid in sorted(rows) if oid > asked]
        found = (asked, rows[later[0]]) if echo and later else (
            (later[0], rows[later[0]]) if later else None)
    else:
        found = (asked, rows[asked]) if asked in rows else None
    if found:
        status, binding = 0, encode_oid(found[0]) + found[1]
    else:
        status, binding = 2, encode_oid(asked) + element(0x05, b"")
    body = (request_id + element(0x02, bytes([status])) +
            element(0x02, bytes([1 if status else 0])) + element(0x30, element(0x30, binding)))
    return element(0x30, element(0x02, b"\0") + element(0x04, community) + element(0xA2, body))


def main():
    port_file, rest = sys.argv[1], sys.argv[2:]
    echo = "--echo" in rest
    rows = {}
    for entry in (r for r in rest if r != "--echo"):
        oid, value = entry.split("=")
        rows[tuple(int(arc) for arc in oid.split("."))] = bytes.fromhex(value)
    agent = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    agent.bind(("127.0.0.1", 0))
    with open(port_file + ".tmp", "w") as out:
        out.write(str(agent.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    while True:
        request, sender = agent.recvfrom(65535)
        try:
            agent.sendto(answer(request, rows, echo), sender)
        except (IndexError, ValueError):
            pass  # not a request this agent understands


if __name__ == "__main__":
    main()

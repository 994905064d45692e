#!/usr/bin/env python3
"""A UDP proxy in front of an SNMPv3 agent that forges what an attacker on the path could: for
each authenticated request it passes on, before the agent's genuine answer (held back 0.3 s),

  - an SNMPv2c GetResponse with the request's id (read from the cleartext scoped PDU of an
    authNoPriv request), saying FORGED, from the agent's own address;
  - an unauthenticated Report usmStatsNotInTimeWindows with the request's msgID, from the agent's
    own address;
  - an SNMPv3 GetResponse of an unknown user, noAuthNoPriv, from another port.

    forging_proxy.py PORT_FILE AGENT_PORT

Writes the port it listens on into PORT_FILE, then runs until killed.
"""
import os
import select
import socket
import sys
import time

from snmp_ber import children, element, integer, octets, read_element, sequence


SYS_DESCR = bytes.fromhex("06082b06010201010100")
NOT_IN_TIME_WINDOWS = bytes.fromhex("060a2b060106030f01010200")


def forgeries(request):
    """What to send for one request: [(from the agent's address?, datagram)]."""
    _, start, end = read_element(request, 0)
    version, header, security, scoped = children(request, start, end)
    if request[version[1]:version[2]] != b"\x03":
        return []
    message_id, _, flags, _ = children(request, header[1], header[2])
    if not request[flags[1]] & 0x01 or request[flags[1]] & 0x02:
        return []  # a discovery, or a request whose PDU is encrypted
    usm = children(request, security[1], security[2])[0]
    engine, _, _, user, _, _ = children(request, usm[1], usm[2])
    engine_id = request[engine[1]:engine[2]]
    pdu = children(request, scoped[1], scoped[2])[2]
    request_id = int.from_bytes(request[children(request, pdu[1], pdu[2])[0][1]:
                                        children(request, pdu[1], pdu[2])[0][2]], "big")
    msg_id = int.from_bytes(request[message_id[1]:message_id[2]], "big")
    bindings = sequence(sequence(SYS_DESCR, octets(b"FORGED, no key needed")))
    v2c = sequence(integer(1), octets(b"public"),
                   element(0xA2, integer(request_id) + integer(0) + integer(0) + bindings))

    def v3(message_id, flags, user_name, pdu_tag, pdu_bindings):
        usm_parameters = sequence(octets(engine_id), integer(0), integer(0), octets(user_name),
                                  octets(b""), octets(b""))
        return sequence(integer(3),
                        sequence(integer(message_id), integer(65507), octets(bytes([flags])),
                                 integer(3)),
                        octets(usm_parameters),
                        sequence(octets(engine_id), octets(b""),
                                 element(pdu_tag, integer(request_id) + integer(0) + integer(0) +
                                         pdu_bindings)))

    report = v3(msg_id, 0, request[user[1]:user[2]], 0xA8,
                sequence(sequence(NOT_IN_TIME_WINDOWS, element(0x41, b"\x01"))))
    stranger = v3(msg_id + 1, 0, b"mallory", 0xA2, bindings)
    return [(True, v2c), (True, report), (False, stranger)]


def main():
    front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    front.bind(("127.0.0.1", 0))
    other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    agent = ("127.0.0.1", int(sys.argv[2]))
    with open(sys.argv[1] + ".new", "w") as out:
        out.write(str(front.getsockname()[1]))
    os.rename(sys.argv[1] + ".new", sys.argv[1])
    client = None
    held = []  # (due, datagram) answers held back
    while True:
        wait = max(0.0, min((due for due, _ in held), default=time.time() + 30) - time.time())
        for s in select.select([front, back], [], [], wait)[0]:
            data, sender = s.recvfrom(65535)
            if s is front:
                client = sender
                for own_address, forged in forgeries(data):
                    (front if own_address else other).sendto(forged, client)
                back.sendto(data, agent)
            else:
                held.append((time.time() + 0.3, data))
        while held and held[0][0] <= time.time() and client:
            front.sendto(held.pop(0)[1], client)


if __name__ == "__main__":
    main()

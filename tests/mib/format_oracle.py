#!/usr/bin/env python3
"""Checks fixtures/format_expected.txt against Net-SNMP's snmpget.

Each row of the table names an object of KIVOSTREL-FORMAT-TEST-MIB, an instance and a value.
A small agent of this script's own (a thread on a free port of 127.0.0.1, SNMPv2c GET only)
answers with those values, and snmpget, with the fixture module loaded, prints them: its value
text (after the type word) must be the row's text for "value" and "plain" rows, its -OXs name of
the instance the row's text for "index" rows. The unit tests (value_text_test.cpp) hold
kivOstrel's own output to the same table.

  format_oracle.py MIBDIRS   compare; MIBDIRS holds SNMPv2-SMI and SNMPv2-TC (Net-SNMP's own
                             folders may lack them)
  format_oracle.py MIBDIRS --print    print what Net-SNMP writes for each row instead
"""

import os
import re
import socket
import subprocess
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")
TABLE = os.path.join(FIXTURES, "format_expected.txt")
MODULE = "KIVOSTREL-FORMAT-TEST-MIB"
# snmpget's text before the value: "INTEGER: ", "Hex-STRING: ", "Timeticks: " ...
TYPE_WORD = re.compile(r"^[A-Za-z0-9-]+: ")


# --- BER, as much as a GET needs ---------------------------------------------------------------

def tlv(tag, content):
    n = len(content)
    if n < 0x80:
        length = bytes([n])
    else:
        raw = n.to_bytes((n.bit_length() + 7) // 8, "big")
        length = bytes([0x80 | len(raw)]) + raw
    return bytes([tag]) + length + content


def signed(tag, value):
    size = 1
    while not -(1 << (8 * size - 1)) <= value < (1 << (8 * size - 1)):
        size += 1
    return tlv(tag, value.to_bytes(size, "big", signed=True))


def unsigned(tag, value):
    return tlv(tag, value.to_bytes(value.bit_length() // 8 + 1, "big"))


def oid_content(arcs):
    out = bytearray([arcs[0] * 40 + arcs[1]])
    for arc in arcs[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.append(0x80 | (arc & 0x7F))
            arc >>= 7
        out += bytes(reversed(chunk))
    return bytes(out)


def read_tlv(data, at):
    tag = data[at]
    n = data[at + 1]
    at += 2
    if n & 0x80:
        count = n & 0x7F
        n = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, data[at:at + n], at + n


def encode_value(kind, text):
    if kind == "i":
        return signed(0x02, int(text))
    if kind == "u":
        return unsigned(0x42, int(text))
    if kind == "c":
        return unsigned(0x41, int(text))
    if kind == "t":
        return unsigned(0x43, int(text))
    if kind == "C":
        return unsigned(0x46, int(text))
    if kind == "x":
        return tlv(0x04, bytes.fromhex(text))
    if kind == "a":
        return tlv(0x40, bytes(int(part) for part in text.split(".")))
    if kind == "o":
        return tlv(0x06, oid_content([int(arc) for arc in text.split(".")]))
    raise ValueError("unknown value kind " + kind)


class Agent(threading.Thread):
    """Answers SNMPv2c GETs on 127.0.0.1 from a table of encoded values by OID content."""

    def __init__(self, values):
        super().__init__(daemon=True)
        self.values = values
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", 0))
        self.port = self.sock.getsockname()[1]

    def run(self):
        while True:
            try:
                data, peer = self.sock.recvfrom(65535)
            except OSError:
                return
            answer = self.answer(data)
            if answer:
                self.sock.sendto(answer, peer)

    def answer(self, data):
        try:
            _, message, _ = read_tlv(data, 0)
            _, version, at = read_tlv(message, 0)
            _, community, at = read_tlv(message, at)
            tag, pdu, _ = read_tlv(message, at)
            if tag != 0xA0:
                return None
            _, request_id, at = read_tlv(pdu, 0)
            _, _, at = read_tlv(pdu, at)
            _, _, at = read_tlv(pdu, at)
            _, bindings, _ = read_tlv(pdu, at)
            out = b""
            at = 0
            while at < len(bindings):
                _, binding, at = read_tlv(bindings, at)
                _, name, _ = read_tlv(binding, 0)
                value = self.values.get(name, b"\x80\x00")  # noSuchObject
                out += tlv(0x30, tlv(0x06, name) + value)
            pdu = (tlv(0x02, request_id) + signed(0x02, 0) + signed(0x02, 0) + tlv(0x30, out))
            return tlv(0x30, tlv(0x02, version) + tlv(0x04, community) + tlv(0xA2, pdu))
        except (IndexError, ValueError):
            return None


# --- the table and Net-SNMP -------------------------------------------------------------------

def unescape(text):
    """The table's escapes: \\n, \\t, \\\\ and \\xHH; the text as bytes."""
    out = bytearray()
    raw = text.encode("utf-8")
    at = 0
    while at < len(raw):
        c = raw[at]
        if c != 0x5C or at + 1 == len(raw):
            out.append(c)
            at += 1
            continue
        kind = chr(raw[at + 1])
        if kind == "x":
            out.append(int(raw[at + 2:at + 4], 16))
            at += 4
        else:
            out.append({"n": 0x0A, "t": 0x09, "\\": 0x5C}[kind])
            at += 2
    return bytes(out)


def escape(raw):
    out = ""
    for c in raw:
        if c == 0x5C:
            out += "\\\\"
        elif c == 0x0A:
            out += "\\n"
        elif c == 0x09:
            out += "\\t"
        elif c < 0x20 or c >= 0x7F:
            out += "\\x%02x" % c
        else:
            out += chr(c)
    return out


def read_table():
    rows = []
    with open(TABLE, encoding="utf-8") as table:
        for number, line in enumerate(table, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 6:
                sys.exit("%s:%d: want 6 fields separated by tabs" % (TABLE, number))
            kind, label, suffix, value_kind, value, expected = fields
            rows.append(dict(line=number, kind=kind, label=label, suffix=suffix,
                             value_kind=value_kind, value=value, expected=expected))
    return rows


def net_snmp(tool, mibdirs, *args):
    env = dict(os.environ, SNMPCONFPATH=os.devnull, MIBS="", MIBDIRS="")
    run = subprocess.run([tool, "-M", mibdirs + ":" + FIXTURES, "-m", MODULE, *args], env=env,
                         capture_output=True, text=True, encoding="utf-8",
                         errors="surrogateescape", timeout=60)
    if run.returncode != 0:
        sys.exit("%s failed:\n%s" % (tool, run.stderr))
    return run.stdout


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    mibdirs = sys.argv[1]
    printing = "--print" in sys.argv[2:]
    rows = read_table()

    labels = sorted({row["label"] for row in rows})
    numeric = net_snmp("snmptranslate", mibdirs, "-On",
                       *("%s::%s" % (MODULE, label) for label in labels)).split()
    if len(numeric) != len(labels):
        sys.exit("snmptranslate did not resolve every label")
    oid_of = dict(zip(labels, numeric))

    agent = Agent({})
    agent.start()
    failures = 0
    for row in rows:
        # Rows share instances (ftEnum.0 with each value): the agent holds one row at a time.
        row["oid"] = oid_of[row["label"]] + "." + row["suffix"]
        arcs = [int(arc) for arc in row["oid"].strip(".").split(".")]
        agent.values = {oid_content(arcs): encode_value(row["value_kind"], row["value"])}
        # -Oq leaves the type word out of a hinted string index ("[abc]", not "[STRING: abc]").
        options = "-OXsq" if row["kind"] == "index" else "-Os"
        out = net_snmp("snmpget", mibdirs, "-v2c", "-c", "public", "-r", "0", "-t", "3",
                       options, "127.0.0.1:%d" % agent.port, row["oid"]).rstrip("\n")
        if row["kind"] == "index":
            got = out.rpartition(" ")[0]  # -Oq: "NAME VALUE", and the row's value has no blank
        else:
            got = TYPE_WORD.sub("", out.partition(" = ")[2], count=1)
        got = escape(got.encode("utf-8", "surrogateescape"))
        if printing:
            print("%d\t%s" % (row["line"], got))
        elif unescape(got) != unescape(row["expected"]):
            failures += 1
            print("%s:%d: Net-SNMP writes %s, the table %s" % (TABLE, row["line"], got,
                                                             row["expected"]))
    agent.sock.close()
    if not printing:
        print("%d rows, %d differ from Net-SNMP" % (len(rows), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

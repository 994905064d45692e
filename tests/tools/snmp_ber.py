"""The few BER pieces the test peers in this folder write and read SNMP messages with."""


def read_element(data, at):
    """(tag, content start, content end) of the BER element at `at`."""
    tag, first = data[at], data[at + 1]
    at += 2
    length = first
    if first & 0x80:
        count = first & 0x7F
        length = int.from_bytes(data[at:at + count], "big")
        at += count
    return tag, at, at + length


def encode_length(length):
    if length < 0x80:
        return bytes([length])
    octets = length.to_bytes((length.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(octets)]) + octets


def element(tag, content):
    return bytes([tag]) + encode_length(len(content)) + content


def encode_oid(arcs):
    content = bytearray([arcs[0] * 40 + arcs[1]])
    for arc in arcs[2:]:
        group = [arc & 0x7F]
        arc >>= 7
        while arc:
            group.insert(0, 0x80 | (arc & 0x7F))
            arc >>= 7
        content += bytes(group)
    return element(0x06, bytes(content))


def decode_oid(content):
    arcs = [content[0] // 40, content[0] % 40]
    value = 0
    for octet in content[1:]:
        value = value << 7 | (octet & 0x7F)
        if octet < 0x80:
            arcs.append(value)
            value = 0
    return tuple(arcs)


def children(data, start, end):
    """The elements inside [start, end), each as (tag, content start, content end)."""
    out = []
    while start < end:
        found = read_element(data, start)
        out.append(found)
        start = found[2]
    return out


def integer(value):
    return element(0x02, value.to_bytes((value.bit_length() + 8) // 8 or 1, "big", signed=True))


def octets(value):
    return element(0x04, value)


def sequence(*parts):
    return element(0x30, b"".join(parts))

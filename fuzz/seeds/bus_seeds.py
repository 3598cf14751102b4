#!/usr/bin/env python3
"""Writes the seed inputs of the knxd_link and tunnel_link fuzz targets:
the device side of well-behaved and of faulty download sessions, framed as
knxd's client socket or as a tunnelling server's datagrams would carry them.
Run from anywhere: python3 fuzz/seeds/bus_seeds.py"""
import os
import struct

DEVICE = 0x1105
TUNNEL_ADDRESS = 0x11FF
HERE = os.path.dirname(os.path.abspath(__file__))


def plan(*ops):
    """ops: (kind, address, length); kind 0 read, 1 write, 2 restart, 3 reconnect."""
    out = bytes([len(ops)])
    for kind, address, length in ops:
        out += bytes([kind]) + struct.pack(">H", address) + bytes([length])
    return out


def data(seq, code, rest=b""):
    """A T_Data_Connected TPDU carrying the 10-bit application code."""
    return bytes([0x40 | seq << 2 | code >> 8, code & 0xFF]) + rest


def ack(seq):
    return bytes([0xC2 | seq << 2])


def nak(seq):
    return bytes([0xC3 | seq << 2])


DISCONNECT = bytes([0x81])


def session(reads=(), writes=(), restart=True, mask=0x0705, level=0, faults=()):
    """The events of a session: ('H', None) for each frame the host sends,
    ('D', tpdu) for each frame of the device. The device answers the mask
    read, the key, each read and write, then the restart."""
    ev = [("H", None)]  # T_Connect
    host_seq = dev_seq = 0

    def request(answer_code=None, answer=b""):
        nonlocal host_seq, dev_seq
        ev.append(("H", None))
        if "nak" in faults and host_seq == 1:
            ev.append(("D", nak(host_seq)))
            ev.append(("H", None))  # the repetition
        ev.append(("D", ack(host_seq)))
        host_seq = (host_seq + 1) & 15
        if answer_code is not None:
            ev.append(("D", data(dev_seq, answer_code, answer)))
            if "duplicate" in faults:
                ev.append(("D", data(dev_seq, answer_code, answer)))
            ev.append(("H", None))  # our T_ACK
            if "duplicate" in faults:
                ev.append(("H", None))
            dev_seq = (dev_seq + 1) & 15

    request(0x340, struct.pack(">H", mask))
    request(0x3D2, bytes([level]))
    for address, payload in reads:
        if "refuse" in faults:
            request(0x240, struct.pack(">H", address))
        else:
            request(0x240 | len(payload), struct.pack(">H", address) + payload)
    for _ in writes:
        request()
    if restart:
        ev.append(("H", None))
        ev.append(("D", ack(host_seq)))
        ev.append(("D", DISCONNECT))
    return ev


def knxd_stream(events):
    out = struct.pack(">HH", 2, 0x0024)  # the raw transport socket is open
    for kind, tpdu in events:
        if kind == "D":
            payload = struct.pack(">H", DEVICE) + tpdu
            out += struct.pack(">HH", 2 + len(payload), 0x0025) + payload
    return out


def packet(service, body):
    return struct.pack(">BBHH", 6, 0x10, service, 6 + len(body)) + body


def cemi(code, source, destination, tpdu, failed=False):
    c1 = (0xBC if len(tpdu) <= 16 else 0x3C) | (1 if failed else 0)
    return bytes([code, 0, c1, 0x60]) + struct.pack(">HHB", source, destination, len(tpdu) - 1) + tpdu


def tunnel_datagrams(events, channel=7, confirm_failed_at=None):
    grams = []
    crd = bytes([4, 4]) + struct.pack(">H", TUNNEL_ADDRESS)
    hpai_any = bytes([8, 1, 0, 0, 0, 0, 0, 0])
    grams.append(packet(0x0206, bytes([channel, 0]) + hpai_any + crd))
    send_seq = recv_seq = 0
    sent = 0
    for kind, tpdu in events:
        if kind == "H":
            grams.append(packet(0x0421, bytes([4, channel, send_seq, 0])))
            send_seq = (send_seq + 1) & 0xFF
            failed = confirm_failed_at is not None and sent == confirm_failed_at
            con = cemi(0x2E, 0, DEVICE, b"\x80", failed)
            grams.append(packet(0x0420, bytes([4, channel, recv_seq, 0]) + con))
            recv_seq = (recv_seq + 1) & 0xFF
            sent += 1
        else:
            ind = cemi(0x29, DEVICE, TUNNEL_ADDRESS, tpdu)
            grams.append(packet(0x0420, bytes([4, channel, recv_seq, 0]) + ind))
            recv_seq = (recv_seq + 1) & 0xFF
    return b"".join(struct.pack(">H", len(g)) + g for g in grams)


def main():
    reads = [(0x0100, bytes([1, 2, 3, 4]))]
    writes = [(0x0100, 2)]
    full_plan = plan((0, 0x0100, 4), (1, 0x0100, 2), (2, 0, 0))
    cases = {
        "download": (full_plan, session(reads, writes)),
        "connect-only": (plan(), session(restart=False)),
        "wrong-mask": (full_plan, session(reads, writes, mask=0x0010)),
        "no-write-level": (full_plan, session(reads, writes, level=15)),
        "refused-read": (full_plan, session(reads, writes, faults=("refuse",))),
        "nak-then-ack": (full_plan, session(reads, writes, faults=("nak",))),
        "duplicate-data": (full_plan, session(reads, writes, faults=("duplicate",))),
        "reconnect": (plan((3, 0, 0), (0, 0x0100, 4)), session(restart=False) + session(reads, restart=False)),
    }
    for target, frame in (("knxd_link", knxd_stream), ("tunnel_link", tunnel_datagrams)):
        folder = os.path.join(HERE, target)
        os.makedirs(folder, exist_ok=True)
        for name, (p, events) in cases.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(p + frame(events))
    with open(os.path.join(HERE, "tunnel_link", "failed-confirm"), "wb") as f:
        f.write(full_plan + tunnel_datagrams(session(reads, writes), confirm_failed_at=3))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes data/demo.mid: a short piece for two hands, left hand below middle C (bass and
chords), right hand from middle C up (the tune), as a type-1 Standard MIDI File with a tempo
track. Both hands play on channel 1: the arrangement data/demo.trv splits them at middle C onto
two parts with different instruments."""
import struct
import sys

TICKS = 480  # per quarter note


def variable(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, (n & 0x7F) | 0x80)
        n >>= 7
    return bytes(out)


def track(events):
    """events: (tick, bytes) in any order; written in time order with delta times."""
    data = b""
    now = 0
    for tick, message in sorted(events, key=lambda e: (e[0], e[1][0] & 0xF0 == 0x90)):
        data += variable(tick - now) + message
        now = tick
    data += b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + data


def note(events, start, length, key, velocity):
    events.append((start, bytes([0x90, key, velocity])))
    events.append((start + length, bytes([0x80, key, 0])))


def main(path):
    bar = 4 * TICKS
    left, right = [], []
    # C - Am - F - G, twice; then C.
    chords = [(36, [48, 52, 55]), (45, [48, 52, 57]), (41, [48, 53, 57]), (43, [47, 50, 55])] * 2
    for i, (bass, chord) in enumerate(chords):
        start = i * bar
        note(left, start, 2 * TICKS - 20, bass, 90)
        note(left, start + 2 * TICKS, 2 * TICKS - 20, bass + 7 if bass + 7 < 60 else bass, 80)
        for beat in (1, 3):
            for key in chord:
                note(left, start + beat * TICKS, TICKS - 40, key, 64)
    note(left, 8 * bar, 2 * bar, 36, 90)
    for key in (48, 52, 55):
        note(left, 8 * bar, 2 * bar, key, 64)
    tune = [  # (key, quarters)
        (64, 1), (67, 1), (72, 2), (69, 1), (67, 1), (64, 2),
        (65, 1), (69, 1), (72, 1), (74, 1), (71, 2), (67, 2),
        (64, 1), (67, 1), (72, 2), (76, 1), (74, 1), (72, 2),
        (69, 1), (72, 1), (77, 1), (76, 1), (74, 2), (71, 2),
        (72, 8),
    ]
    at = 0
    for key, quarters in tune:
        note(right, at, quarters * TICKS - 30, key, 100)
        at += quarters * TICKS
    tempo = [(0, b"\xff\x51\x03" + (600000).to_bytes(3, "big"))]  # 100 beats per minute
    header = b"MThd" + struct.pack(">IHHH", 6, 1, 3, TICKS)
    with open(path, "wb") as f:
        f.write(header + track(tempo) + track(left) + track(right))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "data/demo.mid")

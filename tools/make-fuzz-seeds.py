#!/usr/bin/env python3
"""Writes the seed corpus of the engine's fuzz target (tests/fuzz/corpus) from
the sample libraries and from small libraries generated here.

A seed is byte 0 (sort key in bits 0-1, decal file last in bit 2, marker check
in bit 3), bytes 1 and 2 (what goes wrong in the last run and which one), then
the files separated by the line "%%%%", and after the line "%%%%%%%%" the files
of the second run where they differ. See tests/fuzz/EngineCheck.h.
"""
import hashlib
import pathlib
import random
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
OUT = ROOT / "tests" / "fuzz" / "corpus"
SEP = b"\n%%%%\n"
SECOND = b"\n%%%%%%%%\n"
# What goes wrong in the last run of a case.
OPEN_READ, READ, OPEN_WRITE, WRITE, CLOSE, MOVE, STOP = range(7)
PART_MARKER = b"*PADS-LIBRARY-PART-TYPES-V4*"
DECAL_MARKER = b"*PADS-LIBRARY-PCB-DECALS-V4*"


def seed(key, files, decals=None, checked=True, fault=OPEN_READ, which=0, then=None, then_decals=None):
    flags = key | (4 if decals is not None else 0) | (8 if checked else 0)
    body = SEP.join(list(files) + ([decals] if decals is not None else []))
    if then is not None:
        body += SECOND + SEP.join(list(then) + ([then_decals] if then_decals is not None else []))
    return bytes([flags, fault | (which & 31) << 3, which >> 5]) + body


def part(name, decal, family, body=(b"GATE 1 2 0", b"1 0 B 1"), eol=b"\r\n", closed=True):
    header = name + b" " + decal + b" I " + family + b" 2 1 0 0 0"
    lines = [header, b"TIMESTAMP 2024.03.11.09.15.02"] + list(body)
    text = eol.join(lines) + eol
    return text + eol if closed else text


def library(parts, marker=PART_MARKER, eol=b"\r\n", end=True):
    return marker + eol + eol + b"".join(parts) + (b"*END*" + eol if end else b"")


def decal(name, pads, eol=b"\r\n"):
    return (name + b" M 0 0 0 2 3  0 " + pads + b" 1 0" + eol + b"TIMESTAMP 2024.03.11.09.00.00" + eol +
            b"PAD 0 3" + eol + eol)


def decal_library(decals, eol=b"\r\n"):
    return DECAL_MARKER + eol + eol + b"".join(decals) + b"*END*" + eol


def generated(rng, count, eol=b"\r\n"):
    families = [b"TTL", b"CMOS", b"ANA", b"UND", b"DIO", b"REG"]
    decals = [b"SO14", b"DIP14", b"SOT23", b"TO220", b"0805", b"a/b.c", b"x\\y", b"DIP14:SO14", b""]
    parts = []
    for i in range(count):
        name = bytes([rng.choice(b"abcABC0179_./\\")]) + b"PART%d" % i
        body = [b'"Description" part %d' % i, b"GATE 1 2 0"]
        if rng.random() < 0.2:
            body.append(b'"Note" Class I device')  # a header-like line inside a block
        parts.append(part(name, rng.choice(decals), rng.choice(families), body, eol))
    return library(parts, eol=eol)


def seeds():
    samples = ROOT / "samples"
    logic = (samples / "logic.p").read_bytes()
    discretes = (samples / "discretes.p").read_bytes()
    footprints = (samples / "footprints.d").read_bytes()
    rng = random.Random(20240311)
    out = []
    for key in range(4):
        out.append(seed(key, [logic, discretes], footprints, fault=MOVE, which=key))
        out.append(seed(key, [logic], footprints, checked=False, fault=STOP, which=key * 7))
        out.append(seed(key, [generated(rng, 6), generated(rng, 4, b"\n")],
                        decal_library([decal(b"SO14", b"14"), decal(b"DIP14", b"14"), decal(b"SOT23", b"3"),
                                       decal(b"a/b.c", b"8", b"\n")]), fault=OPEN_WRITE, which=key))
        out.append(seed(key, [logic], footprints, fault=WRITE, which=key * 3))
        out.append(seed(key, [discretes], footprints, fault=CLOSE, which=key))
        out.append(seed(key, [logic], footprints, fault=OPEN_READ, which=key + 1))
        out.append(seed(key, [logic], footprints, fault=READ, which=key * 40))
        # The second run gains keys, or loses some, and fails or is stopped part-way.
        out.append(seed(key, [logic], footprints, fault=MOVE, which=key + 2, then=[discretes, logic],
                        then_decals=footprints))
        out.append(seed(key, [logic, discretes], footprints, fault=STOP, which=key * 5 + 3, then=[discretes],
                        then_decals=footprints))
    # Line ends: LF only, mixed, lone CR, CR CR LF, no line end at the end.
    odd = (PART_MARKER + b"\n\n" + part(b"LF1", b"SO8", b"LFO", eol=b"\n") +
           b"CR1 SO8 I CRS 2 1 0 0 0\r\n\"Description\" a\rb\r\r\n\"Value\" 10k\r\r\n\r\n" +
           b"MX1 SO8 I MIX 2 1 0 0 0\nGATE 1 2 0\r\n\n" + part(b"NOEND", b"SO8", b"ANA", closed=False))
    for key in range(3):
        out.append(seed(key, [odd]))
    # Bytes outside ASCII, NUL bytes, control characters in keys.
    binary = library([part(b"\xe9tude\x00x", b"S\x01O8", b"A\x7fNA:*?", (b'"Value" 4\xb57 \x00\xff',)),
                      part(b"\x00lead", b"\xff\xfe", b"\t", (b"\x00",))])
    for key in range(4):
        out.append(seed(key, [binary], decal_library([decal(b"\xff\xfe", b"1\x002")])))
    # Letter case: keys that differ only in case.
    case = library([part(b"abc", b"dip14", b"ttl"), part(b"ABC", b"DIP14", b"TTL"), part(b"Abd", b"Dip14", b"Ttl")])
    for key in range(4):
        out.append(seed(key, [case], decal_library([decal(b"DIP14", b"14"), decal(b"dip14", b"014")])))
    # Short and odd header lines; a file of other formats; an empty list.
    short = library([b"X Y I\r\n\r\n", b" M \r\n\r\n", b"A  B C D I E F G H I J K L\r\nbody\r\n\r\n",
                     b"Z I\r\n"], end=False)
    for key in range(4):
        out.append(seed(key, [short, library([part(b"V9PART", b"SO8", b"ANA")], marker=b"*PADS-LIBRARY-PART-TYPES-V9*")]))
    out.append(seed(0, []))
    out.append(seed(3, [logic]))
    # Keys beyond the table: 60 initials, 1100 decal names.
    many = library([part(bytes([33 + i]) + b"N", b"D%d" % i, b"F%d" % i) for i in range(60)])
    out.append(seed(0, [many]))
    out.append(seed(1, [many]))
    # Keys at and beyond the longest file name (LIB_ + key + .p, 255 bytes).
    longest = library([part(b"A1", b"SO8", b"TTL"), part(b"B1", b"D" * 249, b"F" * 249)])
    longer = library([part(b"A1", b"SO8", b"TTL"), part(b"B1", b"D" * 250, b"F" * 300)])
    for key in (1, 2):
        out.append(seed(key, [longest]))
        out.append(seed(key, [longer]))
    return out


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    for old in OUT.glob("seed-*"):
        old.unlink()
    for data in seeds():
        (OUT / ("seed-" + hashlib.sha1(data).hexdigest()[:16])).write_bytes(data)
    print(f"{len(list(OUT.glob('seed-*')))} seeds in {OUT.relative_to(ROOT)}", file=sys.stderr)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Generates src/platform/cp936_table.inc, the portable build's copy of code
page 936 as Win32 converts it (CP_ACP on a Chinese system, flags 0).

The table is taken from the conversions themselves, not from a published
mapping: scripts/cp936-dump.c is built with MinGW and run under Wine with a
zh_CN locale (scripts/wine-run.sh), so best-fit characters, the default
character and the handling of broken double-byte input come out exactly as
the Windows build sees them.  Before writing anything the script replays the
whole dump through the same decoding rules the C++ code uses and refuses to
emit a table that disagrees with any line of it.

    scripts/gen-cp936-table.py                # build, run under Wine, write
    scripts/gen-cp936-table.py --dump FILE    # reuse a dump made earlier
"""
import argparse
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "src", "platform", "cp936_table.inc")
QUESTION = 0x3F


def make_dump(workdir):
    exe = os.path.join(workdir, "cp936-dump.exe")
    dump = os.path.join(workdir, "cp936.dump")
    subprocess.run(["x86_64-w64-mingw32-gcc-posix", "-O2", "-Wall", "-Wextra", "-static", "-o", exe,
                    os.path.join(HERE, "cp936-dump.c")], check=True)
    subprocess.run([os.path.join(HERE, "wine-run.sh"), exe, dump], check=True)
    return dump


def parse(path):
    acp, wide, single, pair, triple, checks = None, {}, {}, {}, {}, {}
    with open(path) as f:
        for line in f:
            p = line.split()
            if not p:
                continue
            if "ERR" in p:
                sys.exit("conversion failed in dump: " + line.strip())
            if p[0] == "ACP":
                acp = int(p[1])
            elif p[0] == "W":
                wide[int(p[1], 16)] = bytes(int(x, 16) for x in p[2:])
            elif p[0] == "M":
                # Byte fields are two hex digits, code units four.
                bs = [int(x, 16) for x in p[1:] if len(x) == 2]
                us = [int(x, 16) for x in p[1:] if len(x) == 4]
                (single if len(bs) == 1 else pair)[tuple(bs)] = us
            elif p[0] == "T":
                triple[(int(p[1], 16), int(p[2], 16))] = [int(x, 16) for x in p[3:]]
            elif p[0] == "X":
                checks[p[1]] = p[2]
    if acp != 936:
        sys.exit(f"dump was made under code page {acp}, not 936")
    for name, result in checks.items():
        if result != "ok":
            sys.exit(f"per-unit conversion is not context-free ({name}); a table cannot describe it")
    if len(wide) != 65536 or len(single) != 256 or len(pair) != 128 * 256 or len(triple) != 128 * 256:
        sys.exit("dump is incomplete")
    return wide, {k[0]: v for k, v in single.items()}, pair, triple


class Model:
    """The decoding rules of cp936.cpp, fed from the generated arrays."""

    def __init__(self, single_byte, leads, trails, runs, best_fit):
        self.single_byte, self.leads, self.trails = single_byte, leads, trails
        self.pairs = []
        for first, count in runs:
            self.pairs += [QUESTION] * count if first == QUESTION else list(range(first, first + count))
        self.forward = [QUESTION] * 65536
        for b, unit in enumerate(single_byte):
            if b not in range(*leads) and (unit != QUESTION or b == QUESTION):
                self.forward[unit] = b
        for index, unit in enumerate(self.pairs):
            if unit != QUESTION:
                lead = leads[0] + index // (trails[1] - trails[0])
                trail = trails[0] + index % (trails[1] - trails[0])
                self.forward[unit] = lead << 8 | trail
        for unit, code in best_fit:
            self.forward[unit] = code

    def encode(self, unit):
        code = self.forward[unit]
        return bytes([code]) if code < 0x100 else bytes([code >> 8, code & 0xFF])

    def decode(self, data):
        out, i = [], 0
        while i < len(data):
            b = data[i]
            if b in range(*self.leads) and i + 1 < len(data) and data[i + 1] != 0:
                t = data[i + 1]
                if t in range(*self.trails):
                    out.append(self.pairs[(b - self.leads[0]) * (self.trails[1] - self.trails[0]) + t - self.trails[0]])
                else:
                    out.append(QUESTION)
                i += 2
            else:
                out.append(self.single_byte[b])
                i += 1
        return out


def build(wide, single, pair):
    single_byte = [single[b][0] for b in range(256)]
    if any(len(single[b]) != 1 for b in range(256)):
        sys.exit("a single byte decoded to other than one code unit")
    # Lead bytes are those that join with a following byte.
    lead_set = [b for b in range(0x80, 0x100) if len(pair[(b, 0x41)]) == 1]
    leads = (lead_set[0], lead_set[-1] + 1)
    if lead_set != list(range(*leads)):
        sys.exit("lead bytes are not one range")
    trail_set = [t for t in range(1, 256) if pair[(leads[0], t)] != [QUESTION]]
    trails = (trail_set[0], trail_set[-1] + 1)
    runs = []
    for lead in range(*leads):
        for trail in range(*trails):
            unit = pair[(lead, trail)][0]
            if runs and ((unit == QUESTION and runs[-1][0] == QUESTION) or
                         (unit != QUESTION and runs[-1][0] != QUESTION and runs[-1][0] + runs[-1][1] == unit)):
                runs[-1][1] += 1
            else:
                runs.append([unit, 1])
    model = Model(single_byte, leads, trails, runs, [])
    best_fit = []
    for unit in range(65536):
        if model.encode(unit) != wide[unit]:
            code = wide[unit][0] if len(wide[unit]) == 1 else wide[unit][0] << 8 | wide[unit][1]
            best_fit.append((unit, code))
    return single_byte, leads, trails, runs, best_fit


def verify(model, wide, single, pair, triple):
    for unit in range(65536):
        if model.encode(unit) != wide[unit]:
            sys.exit(f"model disagrees with dump at U+{unit:04X}")
    for b in range(256):
        if model.decode(bytes([b])) != single[b]:
            sys.exit(f"model disagrees with dump at byte {b:02X}")
    for (lead, trail), units in pair.items():
        if model.decode(bytes([lead, trail])) != units:
            sys.exit(f"model disagrees with dump at {lead:02X} {trail:02X}")
    for (lead, trail), units in triple.items():
        if model.decode(bytes([lead, trail, 0x41])) != units:
            sys.exit(f"model disagrees with dump at {lead:02X} {trail:02X} 41")


def rows(values, per_line):
    for i in range(0, len(values), per_line):
        yield "    " + " ".join(values[i:i + per_line])


def emit(single_byte, leads, trails, runs, best_fit):
    lines = [
        "// Generated by scripts/gen-cp936-table.py from Wine's own conversions; do not edit.",
        "// Included once, by cp936.cpp.",
        "",
        "// Code unit of each byte on its own (a lead byte alone decodes to '?').",
        "constexpr std::uint16_t kSingleByte[256] = {",
        *rows([f"0x{u:04X}," for u in single_byte], 8),
        "};",
        "",
        f"constexpr unsigned kLeadFirst = 0x{leads[0]:02X};",
        f"constexpr unsigned kLeadLast = 0x{leads[1] - 1:02X};",
        f"constexpr unsigned kTrailFirst = 0x{trails[0]:02X};",
        f"constexpr unsigned kTrailLast = 0x{trails[1] - 1:02X};",
        "",
        "// Double-byte codes in lead-major order over kLeadFirst..kLeadLast x",
        "// kTrailFirst..kTrailLast, as runs {first code unit, count} of consecutive",
        "// code units; a run starting at '?' is count codes that decode to '?'.",
        "constexpr std::uint16_t kPairRuns[] = {",
        *rows([f"0x{first:04X},{count}," for first, count in runs], 10),
        "};",
        "",
        "// Code units whose encoding is not the inverse of the decoding (best-fit",
        "// mappings): {code unit, code}, a code below 0x100 being a single byte.",
        "constexpr std::uint16_t kBestFit[] = {",
        *rows([f"0x{unit:04X},0x{code:04X}," for unit, code in best_fit], 8),
        "};",
        "",
    ]
    with open(OUT, "w", newline="\n") as f:
        f.write("\n".join(lines))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dump", help="use this dump instead of running the dumper under Wine")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as workdir:
        dump = args.dump or make_dump(workdir)
        wide, single, pair, triple = parse(dump)
    single_byte, leads, trails, runs, best_fit = build(wide, single, pair)
    verify(Model(single_byte, leads, trails, runs, best_fit), wide, single, pair, triple)
    emit(single_byte, leads, trails, runs, best_fit)
    print(f"{OUT}: {len(runs)} runs, {len(best_fit)} best-fit entries, {os.path.getsize(OUT)} bytes")


if __name__ == "__main__":
    main()

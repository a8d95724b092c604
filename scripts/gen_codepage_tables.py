#!/usr/bin/env python3
"""Generates platform/src/codepage_tables.cpp: the byte -> UTF-16 tables of the code
pages the platform layer converts (1252, 437 and 932).

The tables come from Python's codecs, corrected where the Windows code page differs:
  * 1252: Python leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D undefined; Windows maps each of
    them to the C1 control with the same value (U+0081 ...), so they round-trip.
  * 932: Python's decoder gives the Windows mapping for every byte sequence (JIS X 0208,
    NEC row 13, NEC-selected and IBM extensions, the user-defined area 0xF040-0xF9FC to
    U+E000-U+E757, 0x80 -> U+0080, 0xA0 -> U+F8F0, 0xFD-0xFF -> U+F8F1-U+F8F3); the
    script checks the known landmarks below and fails loudly if a Python release ever
    disagrees. The reverse direction (with Windows' choice among duplicate codes) is
    built at run time from this table, because Python's encoder picks differently.

Best fit: Windows' WideCharToMultiByte replaces characters a code page lacks with
similar ones (fullwidth letters to ASCII, U+00A5 YEN SIGN to 0x5C in 932, ...) unless
WC_NO_BEST_FIT_CHARS is given. Those replacements are kept as text in
platform/tables/bestfit1252.txt and bestfit932.txt (one "FIRST[-LAST] CODE[+]" a line)
and checked here: a replacement must be for a character without a code of its own, and
its code must decode to a different character.

Usage: scripts/gen_codepage_tables.py OUT.cpp
The build runs it (platform/CMakeLists.txt) and compiles OUT.cpp from the build tree; its
inputs are the best-fit files and Python's standard codecs, nothing else.
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
TABLES = os.path.join(HERE, "..", "platform", "tables")


def single_byte_high(codec, fill_identity=()):
    out = []
    for b in range(0x80, 0x100):
        try:
            u = ord(bytes([b]).decode(codec))
        except UnicodeDecodeError:
            if b not in fill_identity:
                raise SystemExit("%s: byte 0x%02X undefined and not expected" % (codec, b))
            u = b
        out.append(u)
    return out


def lead_bytes_932():
    return list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))


def dbcs_932():
    rows = []
    for lead in lead_bytes_932():
        row = []
        for trail in range(0x40, 0xFD):
            try:
                s = bytes([lead, trail]).decode("cp932")
                u = ord(s) if len(s) == 1 else 0
            except UnicodeDecodeError:
                u = 0
            row.append(u)
        rows.append(row)
    return rows


def check_932(rows, singles):
    def at(code):
        return rows[lead_bytes_932().index(code >> 8)][(code & 0xFF) - 0x40]
    landmarks = {
        0x815F: 0xFF3C, 0x8160: 0xFF5E, 0x8161: 0x2225, 0x817C: 0xFF0D, 0x8191: 0xFFE0,
        0x8192: 0xFFE1, 0x81CA: 0xFFE2, 0x8754: 0x2160, 0x8790: 0x2252, 0x889F: 0x4E9C,
        0xED40: 0x7E8A, 0xEEEF: 0x2170, 0xFA40: 0x2170, 0xFA5C: 0x7E8A, 0xF040: 0xE000,
        0xF9FC: 0xE757, 0x829F: 0x3041, 0x82A0: 0x3042, 0x8140: 0x3000, 0x82A9: 0x304B,
    }
    for code, u in landmarks.items():
        if at(code) != u:
            raise SystemExit("cp932 0x%04X: Python gives U+%04X, Windows U+%04X" % (code, at(code), u))
    if singles[0x80 - 0x80] != 0x80 or singles[0xA0 - 0x80] != 0xF8F0 or singles[0xFF - 0x80] != 0xF8F3:
        raise SystemExit("cp932 single bytes differ from Windows")
    count = sum(1 for r in rows for u in r if u)
    if count != 7724 + 1880:
        raise SystemExit("cp932: %d double-byte codes, expected %d" % (count, 7724 + 1880))


def singles_932():
    out = []
    for b in range(0x80, 0x100):
        if 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC:
            out.append(0)  # lead byte
            continue
        out.append(ord(bytes([b]).decode("cp932")))
    return out


def read_bestfit(path):
    """Answers the sorted (character, code) pairs of a best-fit text file."""
    pairs = {}
    with open(path) as f:
        for number, line in enumerate(f, 1):
            line = line.split("#")[0].strip()
            if not line:
                continue
            first_last, code = line.split()
            first, _, last = first_last.partition("-")
            first = int(first, 16)
            last = int(last, 16) if last else first
            step = 1 if code.endswith("+") else 0
            code = int(code.rstrip("+"), 16)
            if last < first:
                raise SystemExit("%s:%d: empty range" % (path, number))
            for i, u in enumerate(range(first, last + 1)):
                if u in pairs:
                    raise SystemExit("%s:%d: U+%04X given twice" % (path, number, u))
                pairs[u] = code + i * step
    return sorted(pairs.items())


def check_bestfit(name, pairs, decode, has_code):
    for u, code in pairs:
        if has_code(u):
            raise SystemExit("%s: U+%04X has a code of its own" % (name, u))
        back = decode(code)
        if not back or back == u:
            raise SystemExit("%s: U+%04X -> 0x%X does not decode to another character" % (name, u, code))


def emit_bestfit(f, name, pairs):
    f.write("extern const BestFit %s[] = {\n" % name)
    if not pairs:
        f.write("    {0xFFFF, 0},  // no best-fit data was given to the generator\n")
    for i in range(0, len(pairs), 6):
        f.write("    " + " ".join("{0x%04X, 0x%04X}," % p for p in pairs[i:i + 6]) + "\n")
    f.write("};\n")
    f.write("extern const size_t %sCount = %d;\n\n" % (name, len(pairs)))


def emit_array(f, decl, values, per_line=12):
    f.write("%s = {\n" % decl)
    for i in range(0, len(values), per_line):
        f.write("    " + ", ".join("0x%04X" % v for v in values[i:i + per_line]) + ",\n")
    f.write("};\n\n")


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: gen_codepage_tables.py OUT.cpp")
    out = sys.argv[1]
    cp1252 = single_byte_high("cp1252", fill_identity=(0x81, 0x8D, 0x8F, 0x90, 0x9D))
    cp437 = single_byte_high("cp437")
    s932 = singles_932()
    d932 = dbcs_932()
    check_932(d932, s932)

    def decode1252(b):
        return b if b < 0x80 else (cp1252[b - 0x80] if b < 0x100 else 0)

    def decode932(code):
        if code < 0x80:
            return code
        if code < 0x100:
            return s932[code - 0x80]
        lead, trail = code >> 8, code & 0xFF
        if lead not in lead_bytes_932() or not 0x40 <= trail <= 0xFC:
            return 0
        return d932[lead_bytes_932().index(lead)][trail - 0x40]

    codes1252 = set(range(0x80)) | set(cp1252)
    codes932 = set(range(0x80)) | set(s932) | set(u for r in d932 for u in r)
    bf1252 = read_bestfit(os.path.join(TABLES, "bestfit1252.txt"))
    bf932 = read_bestfit(os.path.join(TABLES, "bestfit932.txt"))
    check_bestfit("1252", bf1252, decode1252, lambda u: u in codes1252)
    check_bestfit("932", bf932, decode932, lambda u: u in codes932)
    os.makedirs(os.path.dirname(os.path.abspath(out)), exist_ok=True)
    with open(out, "w", newline="\n") as f:
        f.write("// Generated by scripts/gen_codepage_tables.py; do not edit by hand.\n")
        f.write("// Byte -> UTF-16 tables of the code pages 1252, 437 and 932.\n")
        f.write('#include "codepage_tables.h"\n\n')
        f.write("namespace plat {\nnamespace cp {\n\n")
        f.write("// Bytes 0x80-0xFF (0x00-0x7F are ASCII in all three code pages).\n")
        emit_array(f, "extern const uint16_t kCp1252High[128]", cp1252)
        emit_array(f, "extern const uint16_t kCp437High[128]", cp437)
        f.write("// Single bytes 0x80-0xFF of 932; 0 marks a lead byte.\n")
        emit_array(f, "extern const uint16_t kCp932High[128]", s932)
        f.write("// Double-byte codes of 932: row = lead byte (0x81-0x9F then 0xE0-0xFC),\n")
        f.write("// column = trail byte - 0x40 (0x40-0xFC); 0 marks an undefined code.\n")
        f.write("extern const uint16_t kCp932Dbcs[60][189] = {\n")
        for lead, row in zip(lead_bytes_932(), d932):
            f.write("  // lead 0x%02X\n  {\n" % lead)
            for i in range(0, len(row), 12):
                f.write("    " + ", ".join("0x%04X" % v for v in row[i:i + 12]) + ",\n")
            f.write("  },\n")
        f.write("};\n\n")
        emit_bestfit(f, "kCp1252BestFit", bf1252)
        emit_bestfit(f, "kCp932BestFit", bf932)
        f.write("}  // namespace cp\n}  // namespace plat\n")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Runs the resource compiler on malformed sources and checks that each is refused
with exit status 1 and a message naming the line at fault; then checks the string
block layout of a good source. Usage: kvrc_errors.py path/to/kvrc.py"""
import os
import subprocess
import sys
import tempfile

CASES = [
    # (source text, line reported, words expected in the message)
    ('STRINGTABLE\nBEGIN\n  1 "a"\n  1 "b"\nEND\n', 4, "defined twice"),
    ('STRINGTABLE\nBEGIN\n  70000 "a"\nEND\n', 3, "out of range"),
    ('STRINGTABLE\nBEGIN\n  1 "open\nEND\n', 3, "unterminated"),
    ('STRINGTABLE\nBEGIN\n  1 "a"\n', 1, "not closed"),
    ('STRINGTABLE\n  1 "a"\n', 2, "BEGIN"),
    ('STRINGTABLE\nBEGIN\n  1 "bad \\q escape"\nEND\n', 3, "unknown escape"),
    ('STRINGTABLE\nBEGIN\n  1 "\\x4"\nEND\n', 3, "hex digits"),
    ('STRINGTABLE\nBEGIN\n  1 "\\uD800"\nEND\n', 3, "not a character"),
    ('STRINGTABLE\nBEGIN\n  1 bare\nEND\n', 3, "quoted"),
    ('RCDATA 1 HEX "0g"\n', 1, "hex digits"),
    ('RCDATA 1 HEX "012"\n', 1, "hex digits"),
    ('RCDATA 1 FILE "does-not-exist.bin"\n', 1, "cannot read"),
    ('RCDATA 1 BLOB "x"\n', 1, "unknown resource form"),
    ('\n\nRCDATA 1 TEXT "x"\nRCDATA 1 TEXT "y"\n', 4, "defined twice"),
    ('STRING 1 TEXT "x"\n', 1, "STRINGTABLE"),
    ('LANGUAGE 1, 2, 3\n', 1, "LANGUAGE"),
    ('LANGUAGE 0x400, 1\n', 1, "out of range"),
    ('RCDATA\n', 1, "expected"),
    ('RCDATA #5 TEXT "x"\n', 1, "may not begin"),
    ('DIALOG 4000 TEMPLATE "c"\nBEGIN\n  CONTROL 1 WIDGET "x"\nEND\n', 3, "unknown control class"),
    ('DIALOG 4000 TEMPLATE "c"\nBEGIN\n  PUSH 1 STATIC "x"\nEND\n', 3, "expected CONTROL"),
    ('DIALOG 4000 TEMPLATE "c"\nBEGIN\n  CONTROL 1 STATIC "x"\n', 1, "not closed"),
    ('DIALOG 4000 TEMPLATE "c"\n  CONTROL 1 STATIC "x"\n', 2, "BEGIN"),
    ('DIALOG 4000 TEMPLATE "c"\nBEGIN\nEND\nDIALOG 4000 TEMPLATE "d"\nBEGIN\nEND\n', 4, "defined twice"),
]


def run(tool, text, raw=None):
    with tempfile.TemporaryDirectory() as d:
        src = os.path.join(d, "case.kvrc")
        with open(src, "wb") as f:
            f.write(raw if raw is not None else text.encode("utf-8"))
        out = os.path.join(d, "out.cpp")
        p = subprocess.run([sys.executable, tool, "-o", out, src], capture_output=True, text=True)
        code = open(out, encoding="utf-8").read() if os.path.exists(out) else ""
        return p.returncode, p.stderr, code


def main():
    tool = sys.argv[1]
    failures = 0
    for text, line, words in CASES:
        rc, err, _ = run(tool, text)
        if rc != 1 or f"case.kvrc:{line}:" not in err or words not in err:
            print(f"FAIL: {text!r}: status {rc}, message {err.strip()!r}; wanted line {line} and '{words}'")
            failures += 1
    rc, err, _ = run(tool, None, raw=b'STRINGTABLE\nBEGIN\n  1 "\xff"\nEND\n')
    if rc != 1 or "case.kvrc:3:" not in err or "UTF-8" not in err:
        print(f"FAIL: a source that is not UTF-8: status {rc}, message {err.strip()!r}")
        failures += 1
    # String 17 lies in block 2 at slot 1: slot 0 is empty (length 0), slot 1 holds "hi".
    rc, err, code = run(tool, 'STRINGTABLE\n{\n  17 "h" "i"\n}\n')
    want = "0x00, 0x00, 0x02, 0x00, 0x68, 0x00, 0x69, 0x00"
    if rc != 0 or want not in code or "{nullptr, nullptr, 6, 2, 0x0000, 0, kData0, 36}" not in code:
        print(f"FAIL: string block layout: status {rc} {err.strip()!r}")
        failures += 1
    print(f"{len(CASES) + 2 - failures} of {len(CASES) + 2} checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""kvrc: compiles a resource source text into a C++ file that defines the resource
table of a module (the KVRES_TABLE "kvres_table" of kvplat/module_control.h).

Source format (UTF-8, one statement a line; '#' or '//' starts a comment line):

  LANGUAGE <langid>            language of what follows: one number (0x0409) or
  LANGUAGE <primary>, <sub>    two (9, 1); 0 (neutral) until the first LANGUAGE
  STRINGTABLE                  a string table; its lines follow between
  BEGIN                        BEGIN/END (or { and }):
    <id> "text" ["more"...]      string id 0-65535; adjacent literals are joined
  END
  <type> <name> FILE "path"    raw resource from a file (relative to the source)
  <type> <name> HEX "0a 1b.."  raw bytes in hex (blanks ignored; several literals join)
  <type> <name> TEXT "text"    the UTF-8 bytes of the text, no terminator
  <type> <name> WTEXT "text"   the UTF-16LE units of the text, no terminator
  DIALOG <name> TEMPLATE "caption"   a dialog template (classic DLGTEMPLATE layout,
  BEGIN                              no font); its controls follow between BEGIN/END:
    CONTROL <id> <class> "text"        class BUTTON EDIT STATIC LISTBOX SCROLLBAR
  END                                  COMBOBOX (ordinals) or a quoted class name

<type> is a number, a predefined type (CURSOR BITMAP ICON MENU DIALOG STRING FONTDIR
FONT ACCELERATOR RCDATA MESSAGETABLE GROUP_CURSOR GROUP_ICON VERSION) or a name;
<name> is a number or a name. Names are kept upper-case, as resource compilers do.
Escapes in literals: \\n \\r \\t \\0 \\a \\b \\f \\v \\\\ \\" \\' \\xHH \\uHHHH \\UHHHHHHHH.

String tables become RT_STRING blocks in the Win32 layout: string id lies in block
(id >> 4) + 1, which holds 16 strings, each a 16-bit length and its UTF-16 units.

Usage: kvrc.py [-o OUT.cpp] [--symbol NAME] [--depfile OUT.d] SOURCE
Errors are reported as SOURCE:LINE: message, with exit status 1.
"""
import argparse
import os
import sys

PREDEFINED = {
    "CURSOR": 1, "BITMAP": 2, "ICON": 3, "MENU": 4, "DIALOG": 5, "STRING": 6, "FONTDIR": 7,
    "FONT": 8, "ACCELERATOR": 9, "RCDATA": 10, "MESSAGETABLE": 11, "GROUP_CURSOR": 12,
    "GROUP_ICON": 14, "VERSION": 16,
}
RT_STRING = 6
SIMPLE_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "0": "\0", "a": "\a", "b": "\b", "f": "\f",
                  "v": "\v", "\\": "\\", '"': '"', "'": "'"}


CONTROL_CLASSES = {"BUTTON": 0x80, "EDIT": 0x81, "STATIC": 0x82, "LISTBOX": 0x83, "SCROLLBAR": 0x84,
                   "COMBOBOX": 0x85}
DIALOG_STYLE = 0x80C80000  # popup with caption and system menu
CONTROL_STYLE = 0x50000000  # visible child


def dialog_template(caption, controls):
    """The classic DLGTEMPLATE: header, no menu, default class, caption, then the
    DWORD-aligned DLGITEMTEMPLATEs (no geometry, no creation data)."""
    def sz(text):
        return text.encode("utf-16-le") + b"\0\0"
    data = bytearray()
    data += DIALOG_STYLE.to_bytes(4, "little") + bytes(4) + len(controls).to_bytes(2, "little") + bytes(8)
    data += bytes(4) + sz(caption)
    for ident, cls, text in controls:
        data += bytes((4 - len(data) % 4) % 4)
        data += CONTROL_STYLE.to_bytes(4, "little") + bytes(4) + bytes(8) + ident.to_bytes(2, "little")
        if isinstance(cls, int):
            data += b"\xff\xff" + cls.to_bytes(2, "little")
        else:
            data += sz(cls)
        data += sz(text) + bytes(2)
    return bytes(data)


class RcError(Exception):
    pass


class Lit(str):
    """A quoted literal (as opposed to a bare word)."""


def tokenize(line, lineno):
    toks = []
    i, n = 0, len(line)
    while i < n:
        c = line[i]
        if c in " \t\r\n,":
            if c == ",":
                toks.append(",")
            i += 1
            continue
        if c == '"':
            i += 1
            out = []
            while True:
                if i >= n:
                    raise RcError(f"{lineno}: unterminated string literal")
                c = line[i]
                if c == '"':
                    i += 1
                    break
                if c != "\\":
                    out.append(c)
                    i += 1
                    continue
                if i + 1 >= n:
                    raise RcError(f"{lineno}: backslash at the end of a string literal")
                e = line[i + 1]
                if e in SIMPLE_ESCAPES:
                    out.append(SIMPLE_ESCAPES[e])
                    i += 2
                    continue
                width = {"x": 2, "u": 4, "U": 8}.get(e)
                if width is None:
                    raise RcError(f"{lineno}: unknown escape \\{e}")
                digits = line[i + 2:i + 2 + width]
                if len(digits) != width or any(d not in "0123456789abcdefABCDEF" for d in digits):
                    raise RcError(f"{lineno}: \\{e} needs {width} hex digits")
                code = int(digits, 16)
                if code > 0x10FFFF or 0xD800 <= code <= 0xDFFF:
                    raise RcError(f"{lineno}: \\{e}{digits} is not a character")
                out.append(chr(code))
                i += 2 + width
            toks.append(Lit("".join(out)))
            continue
        j = i
        while j < n and line[j] not in " \t\r\n,\"":
            j += 1
        toks.append(line[i:j])
        i = j
    return toks


def is_comment(line):
    s = line.strip()
    return not s or s.startswith("#") or s.startswith("//")


def number(tok, lineno, what, limit=0xFFFF):
    if isinstance(tok, Lit):
        raise RcError(f"{lineno}: {what} must be a number")
    try:
        v = int(tok, 0)
    except ValueError:
        raise RcError(f"{lineno}: {what} '{tok}' is not a number") from None
    if not 0 <= v <= limit:
        raise RcError(f"{lineno}: {what} {v} is out of range 0-{limit}")
    return v


def is_number(tok):
    if isinstance(tok, Lit):
        return False
    try:
        int(tok, 0)
        return True
    except ValueError:
        return False


def res_key(tok, lineno, what, predefined):
    """A type or name: (None, id) or (NAME, 0)."""
    if is_number(tok):
        return (None, number(tok, lineno, what))
    if not isinstance(tok, Lit) and predefined and tok.upper() in PREDEFINED:
        return (None, PREDEFINED[tok.upper()])
    if not tok:
        raise RcError(f"{lineno}: empty {what}")
    if tok.startswith("#"):
        raise RcError(f"{lineno}: {what} '{tok}' may not begin with '#'")
    return (tok.upper(), 0)


def join_literals(toks, lineno, what):
    if not toks or any(not isinstance(t, Lit) for t in toks):
        raise RcError(f"{lineno}: {what} needs one or more quoted literals")
    return "".join(toks)


def utf16_units(text):
    return len(text.encode("utf-16-le")) // 2


class Compiler:
    def __init__(self, path):
        self.path = path
        self.folder = os.path.dirname(os.path.abspath(path))
        self.lang = 0
        self.strings = {}  # lang -> {id: text}
        self.raw = {}  # (type, name, lang) -> bytes
        self.deps = []

    def fail(self, msg):
        raise RcError(msg)

    def parse(self, text):
        lines = text.split("\n")
        i = 0
        while i < len(lines):
            lineno = i + 1
            i += 1
            if is_comment(lines[i - 1]):
                continue
            toks = tokenize(lines[i - 1], lineno)
            if not toks:
                continue
            head = toks[0].upper() if not isinstance(toks[0], Lit) else None
            if head == "LANGUAGE":
                self.language(toks[1:], lineno)
            elif head == "DIALOG" and len(toks) >= 3 and not isinstance(toks[2], Lit) \
                    and toks[2].upper() == "TEMPLATE":
                i = self.dialog(toks, lines, i, lineno)
            elif head == "STRINGTABLE":
                if len(toks) != 1:
                    self.fail(f"{lineno}: STRINGTABLE takes nothing on its line")
                i = self.stringtable(lines, i, lineno)
            else:
                self.resource(toks, lineno)

    def language(self, args, lineno):
        vals = [t for t in args if t != ","]
        if len(vals) == 1:
            self.lang = number(vals[0], lineno, "language")
        elif len(vals) == 2:
            primary = number(vals[0], lineno, "primary language", 0x3FF)
            sub = number(vals[1], lineno, "sub-language", 0x3F)
            self.lang = (sub << 10) | primary
        else:
            self.fail(f"{lineno}: LANGUAGE needs one or two numbers")

    def stringtable(self, lines, i, start):
        table = self.strings.setdefault(self.lang, {})
        opened = False
        while i < len(lines):
            lineno = i + 1
            i += 1
            if is_comment(lines[i - 1]):
                continue
            toks = tokenize(lines[i - 1], lineno)
            if not toks:
                continue
            word = toks[0].upper() if not isinstance(toks[0], Lit) else None
            if not opened:
                if word not in ("BEGIN", "{") or len(toks) != 1:
                    self.fail(f"{lineno}: STRINGTABLE must be followed by BEGIN or {{")
                opened = True
                continue
            if word in ("END", "}") and len(toks) == 1:
                return i
            ident = number(toks[0], lineno, "string id")
            text = join_literals(toks[1:], lineno, f"string {ident}")
            if ident in table:
                self.fail(f"{lineno}: string {ident} is defined twice for language 0x{self.lang:04X}")
            if utf16_units(text) > 0xFFFF:
                self.fail(f"{lineno}: string {ident} is longer than 65535 UTF-16 units")
            table[ident] = text
        self.fail(f"{start}: STRINGTABLE is not closed with END or }}")

    def dialog(self, toks, lines, i, start):
        name = res_key(toks[1], start, "dialog name", False)
        caption = join_literals(toks[3:], start, "DIALOG TEMPLATE caption")
        controls = []
        opened = False
        while i < len(lines):
            lineno = i + 1
            i += 1
            if is_comment(lines[i - 1]):
                continue
            t = tokenize(lines[i - 1], lineno)
            if not t:
                continue
            word = t[0].upper() if not isinstance(t[0], Lit) else None
            if not opened:
                if word not in ("BEGIN", "{") or len(t) != 1:
                    self.fail(f"{lineno}: DIALOG must be followed by BEGIN or {{")
                opened = True
                continue
            if word in ("END", "}") and len(t) == 1:
                self.add_raw((None, PREDEFINED["DIALOG"]), name, dialog_template(caption, controls),
                             start, "DIALOG")
                return i
            if word != "CONTROL" or len(t) < 4:
                self.fail(f"{lineno}: expected CONTROL <id> <class> \"text\"")
            ident = number(t[1], lineno, "control id")
            cls = t[2]
            if not isinstance(cls, Lit):
                if cls.upper() not in CONTROL_CLASSES:
                    self.fail(f"{lineno}: unknown control class '{cls}'")
                cls = CONTROL_CLASSES[cls.upper()]
            controls.append((ident, cls, join_literals(t[3:], lineno, "CONTROL text")))
            if len(controls) > 0xFFFF:
                self.fail(f"{lineno}: too many controls")
        self.fail(f"{start}: DIALOG is not closed with END or }}")

    def add_raw(self, rtype, name, data, lineno, what):
        key = (rtype, name, self.lang)
        if key in self.raw:
            self.fail(f"{lineno}: resource {what} is defined twice for language 0x{self.lang:04X}")
        self.raw[key] = data

    def resource(self, toks, lineno):
        if len(toks) < 4:
            self.fail(f"{lineno}: expected <type> <name> FILE|HEX|TEXT|WTEXT \"...\"")
        rtype = res_key(toks[0], lineno, "resource type", True)
        name = res_key(toks[1], lineno, "resource name", False)
        kind = toks[2].upper() if not isinstance(toks[2], Lit) else ""
        args = toks[3:]
        if kind == "FILE":
            rel = join_literals(args, lineno, "FILE")
            path = rel if os.path.isabs(rel) else os.path.join(self.folder, rel)
            try:
                with open(path, "rb") as f:
                    data = f.read()
            except OSError as e:
                self.fail(f"{lineno}: cannot read {rel}: {e.strerror}")
            self.deps.append(os.path.abspath(path))
        elif kind == "HEX":
            digits = "".join(join_literals(args, lineno, "HEX").split())
            if len(digits) % 2 or any(d not in "0123456789abcdefABCDEF" for d in digits):
                self.fail(f"{lineno}: HEX needs pairs of hex digits")
            data = bytes.fromhex(digits)
        elif kind == "TEXT":
            data = join_literals(args, lineno, "TEXT").encode("utf-8")
        elif kind == "WTEXT":
            data = join_literals(args, lineno, "WTEXT").encode("utf-16-le")
        else:
            self.fail(f"{lineno}: unknown resource form '{toks[2]}' (FILE, HEX, TEXT or WTEXT)")
        if rtype == (None, RT_STRING):
            self.fail(f"{lineno}: string resources belong in a STRINGTABLE")
        key = (rtype, name, self.lang)
        if key in self.raw:
            self.fail(f"{lineno}: resource {toks[0]} {toks[1]} is defined twice for language 0x{self.lang:04X}")
        if len(data) > 0x7FFFFFFF:
            self.fail(f"{lineno}: resource is too large")
        self.raw[key] = data

    def entries(self):
        out = dict(self.raw)
        for lang, table in self.strings.items():
            blocks = {}
            for ident, text in table.items():
                blocks.setdefault((ident >> 4) + 1, {})[ident & 15] = text
            for block, slots in blocks.items():
                data = bytearray()
                for k in range(16):
                    units = slots.get(k, "").encode("utf-16-le")
                    data += (len(units) // 2).to_bytes(2, "little") + units
                out[((None, RT_STRING), (None, block), lang)] = bytes(data)

        def order(key):
            (tname, tid), (nname, nid), lang = key
            return (tname is None, tname or "", tid, nname is None, nname or "", nid, lang)

        return [(k, out[k]) for k in sorted(out, key=order)]


def c_wide(name):
    units = name.encode("utf-16-le")
    vals = [units[i] | (units[i + 1] << 8) for i in range(0, len(units), 2)] + [0]
    return "{" + ", ".join(f"0x{v:04X}" for v in vals) + "}"


def c_bytes(data):
    if not data:
        return "{0}"
    rows = []
    for i in range(0, len(data), 16):
        rows.append("  " + ", ".join(f"0x{b:02X}" for b in data[i:i + 16]) + ",")
    return "{\n" + "\n".join(rows) + "\n}"


def emit(entries, source, symbol):
    out = [f"// Generated by kvrc.py from {os.path.basename(source)}; do not edit.",
           '#include "kvplat/module_control.h"', "", "namespace {"]
    rows = []
    for n, (((tname, tid), (nname, nid), lang), data) in enumerate(entries):
        out.append(f"alignas(8) const BYTE kData{n}[] = {c_bytes(data)};")
        tref = "nullptr"
        nref = "nullptr"
        if tname is not None:
            out.append(f"const WCHAR kType{n}[] = {c_wide(tname)};")
            tref = f"kType{n}"
        if nname is not None:
            out.append(f"const WCHAR kName{n}[] = {c_wide(nname)};")
            nref = f"kName{n}"
        rows.append(f"  {{{tref}, {nref}, {tid}, {nid}, 0x{lang:04X}, 0, kData{n}, {len(data)}}},")
    if rows:
        out.append("const KVRES_ENTRY kEntries[] = {")
        out += rows
        out.append("};")
    out.append("}  // namespace")
    out.append("")
    entries_ref = "kEntries" if rows else "nullptr"
    out.append(f"KV_DLLEXPORT const KVRES_TABLE {symbol} = {{KVRES_MAGIC, KVRES_VERSION, {len(rows)}, {entries_ref}}};")
    return "\n".join(out) + "\n"


def main(argv):
    ap = argparse.ArgumentParser(description="Compiles a resource source text into a C++ resource table.")
    ap.add_argument("source")
    ap.add_argument("-o", "--output", default="-")
    ap.add_argument("--symbol", default="kvres_table")
    ap.add_argument("--depfile")
    args = ap.parse_args(argv)
    if not args.symbol.isidentifier():
        print(f"kvrc: --symbol '{args.symbol}' is not a C identifier", file=sys.stderr)
        return 2
    try:
        with open(args.source, "rb") as f:
            raw = f.read()
        try:
            text = raw.decode("utf-8-sig")
        except UnicodeDecodeError as e:
            line = raw[:e.start].count(b"\n") + 1
            raise RcError(f"{line}: the source is not UTF-8") from None
        comp = Compiler(args.source)
        comp.parse(text)
        code = emit(comp.entries(), args.source, args.symbol)
    except RcError as e:
        print(f"{args.source}:{e}", file=sys.stderr)
        return 1
    except OSError as e:
        print(f"kvrc: {args.source}: {e.strerror}", file=sys.stderr)
        return 1
    if args.output == "-":
        sys.stdout.write(code)
    else:
        tmp = args.output + ".tmp"
        with open(tmp, "w", encoding="utf-8") as f:
            f.write(code)
        os.replace(tmp, args.output)
    if args.depfile and args.output != "-":
        deps = [os.path.abspath(args.source)] + comp.deps
        with open(args.depfile, "w", encoding="utf-8") as f:
            f.write(os.path.abspath(args.output).replace(" ", "\\ ") + ": " +
                    " ".join(d.replace(" ", "\\ ") for d in deps) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
"""Generates one printer model twice: as a printer description in the driver's own format
and as an equivalent PPD file, for the benchmarks that measure the description compiler,
the compiled-block loader and the rule sweep against CUPS's PPD functions.

The model has OPTIONS single-choice options of MIN_CHOICES to CHOICES choices (the item's
own values; the first is the default) and CONSTRAINTS pairwise constraints "option A at choice X conflicts with option B
at choice Y". The description names real items and values of the driver's names table
(docs/names.md), so the compiler accepts every line; each constraint becomes a disable
judge on both values it joins (per value, the judges of all its constraints joined by
||), each PPD constraint a pair of *UIConstraints lines. So both files hold the same
options, choices and constraints, and a sweep over every choice of every option asks the
same questions of each.

The paper-size item, when it is one of the options, is a page option in both files: each
of its choices gets a size and four printable areas (two resolutions, two orientations) in
the description, and a *PaperDimension and an *ImageableArea in the PPD (whose option is
then *PageSize, as CUPS expects).

--scale S (1 to 64) grows the model for the scaling runs of scripts/bench: S times the
constraints (and so the judges that join them), S times the options and S times the
choices of an option, each as far as the names table allows (47 items with four or more
values of their own, 596 such values, 45 papers); scale 1 is the default model.

  bench/genmodel.py --out DIR [--scale S] [--options N] [--choices K] [--min-choices M]
                    [--constraints C] [--seed S]

writes DIR/BENCH.KVD, DIR/bench.ppd and DIR/model.txt (the counts and the two files'
sizes, one "key value" a line).
"""
import argparse
import os
import random
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
NAMES = os.path.join(HERE, "..", "docs", "names.md")

# Items whose condition value is computed or comes from a hook, and text items (whose
# condition value is a text length): left out so that every judge compares a plain value.
SKIP_RANGES = [(626, 817), (1070, 1229)]
PLAIN_TYPES = {"u8", "s8", "u16", "s16", "u32", "s32"}
# The paper-size item: its values are papers, with sizes and printable areas.
PAPER_ITEM = 8


def paper_mm(c):
    """A made-up size in 0.1 mm for the model's paper number c, distinct for each c."""
    return 1000 + 37 * c, 1400 + 53 * c


def read_names(path):
    items, values, sec = [], {}, None
    all_values = []
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("## "):
            sec = line[3:].strip()
            continue
        if not line.startswith("| ") or line.startswith("|---"):
            continue
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if sec == "Items" and cells[0].isdigit():
            iid, vtype, dname = int(cells[0]), cells[3], cells[5]
            if dname == "-" or vtype not in PLAIN_TYPES:
                continue
            if any(lo <= iid <= hi for lo, hi in SKIP_RANGES):
                continue
            if not re.fullmatch(r"[A-Za-z0-9_]+", dname):
                continue
            items.append((iid, dname))
        elif sec == "Values" and cells[0].isdigit():
            owner, vname, vid, stored = int(cells[0]), cells[2], int(cells[3]), cells[4]
            if not re.fullmatch(r"[A-Za-z0-9_]+", vname):
                continue
            values.setdefault(owner, []).append((vname, vid, stored))
            all_values.append((vname, vid))
    return items, values, all_values


def pick_choices(own, k):
    """Up to k of the item's own value names, with distinct value IDs, among the values
    whose stored value no other value of the item shares (a setting stored alike for two
    values reads back as either of them)."""
    chosen, ids, names, stored = [], set(), set(), set()
    shared = [st for _, _, st in own]
    for name, vid, st in own:
        if len(chosen) == k:
            break
        if vid in ids or name in names or st in stored or vid == 0 or shared.count(st) > 1:
            continue
        chosen.append((name, vid))
        ids.add(vid)
        names.add(name)
        stored.add(st)
    return chosen


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--options", type=int, default=45)
    ap.add_argument("--choices", type=int, default=8, help="most choices of an option")
    ap.add_argument("--min-choices", type=int, default=4, help="fewest choices of an option")
    ap.add_argument("--constraints", type=int, default=150)
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--scale", type=int, default=1, help="grow the model S times (1 to 64)")
    args = ap.parse_args()
    if not 1 <= args.scale <= 64:
        sys.exit("genmodel: --scale takes 1 to 64")
    max_options = args.options * args.scale
    max_choices = args.choices * args.scale
    n_constraints = args.constraints * args.scale
    rng = random.Random(args.seed)

    items, values, pool = read_names(NAMES)
    # Items with at least MIN_CHOICES values of their own, in ID order, each offering up to
    # CHOICES of them: the values the item's settings can hold, so a context set to the
    # description defaults holds exactly the model's defaults.
    options = []
    for iid, dname in items:
        choices = pick_choices(values.get(iid, []), max_choices)
        if len(choices) >= args.min_choices:
            options.append((iid, dname, choices))
    if len(options) < args.options:
        sys.exit("genmodel: only %d items have %d values of their own" % (len(options), args.min_choices))
    options = options[:max_options]

    # Constraints: distinct (A, X, B, Y) with A != B.
    n_values = sum(len(o[2]) for o in options)
    if n_constraints > n_values * (n_values - 1) // 4:
        sys.exit("genmodel: %d constraints are too many for %d values" % (n_constraints, n_values))
    constraints, seen = [], set()
    while len(constraints) < n_constraints:
        a, b = rng.sample(range(len(options)), 2)
        x, y = rng.randrange(len(options[a][2])), rng.randrange(len(options[b][2]))
        key = (min((a, x), (b, y)), max((a, x), (b, y)))
        # Two defaults that conflict would make every choice of the PPD conflict.
        if key in seen or (x == 0 and y == 0):
            continue
        seen.add(key)
        constraints.append((a, x, b, y))

    # Per value, the values it conflicts with (both directions).
    against = {}
    for a, x, b, y in constraints:
        against.setdefault((a, x), []).append((b, y))
        against.setdefault((b, y), []).append((a, x))

    os.makedirs(args.out, exist_ok=True)
    kvd = ["*%% Generated by bench/genmodel.py: %d options, %d choices, %d constraints."
           % (len(options), n_values, n_constraints), "*FileVersion: 1.41"]
    papers = 0
    for n, (iid, dname, choices) in enumerate(options):
        page = iid == PAPER_ITEM
        kvd.append("*OpenUI *%s: %s" % (dname, "PickPage" if page else "PickOne"))
        for c, (vname, vid) in enumerate(choices):
            kvd.append('*%s %s: "<1B>&l%d;%dX"' % (dname, vname, n, c))
        kvd.append("*Default%s: %s" % (dname, choices[0][0]))
        if page:
            for c, (vname, vid) in enumerate(choices):
                w, h = paper_mm(c)
                kvd.append('*PageMMValue *%s %s: "%d %d"' % (dname, vname, w, h))
                for res in (600, 1200):
                    pw, ph, m = w * res // 254, h * res // 254, res // 12
                    for orient, (aw, ah) in (("PORTRAIT", (pw, ph)), ("LANDSCAPE", (ph, pw))):
                        kvd.append('*PageValue *%s %s: KDMRESOLUTION_%d IDS_ORIENTATION_%s "%d %d %d %d %d %d"'
                                   % (dname, vname, res, orient, m, m, aw - 2 * m, ah - 2 * m, m, m))
            papers = len(choices)
        kvd.append("*CloseUI: *%s" % dname)
    judge = 0
    judge_terms = 0
    item_sections = {}
    for a, (iid, dname, choices) in enumerate(options):
        entries = []
        for x in range(len(choices)):
            if (a, x) not in against:
                continue
            judge += 1
            # Conditions have no operator precedence (strictly left to right): each
            # comparison goes in parentheses.
            cond = " || ".join("(%s == %s)" % (options[b][1], options[b][2][y][0]) for b, y in against[(a, x)])
            judge_terms += len(against[(a, x)])
            kvd.append("*Judge %d: %s" % (judge, cond))
            entries.append("%s NULL Judge%d" % (choices[x][0], judge))
        if entries:
            item_sections[a] = len(item_sections) + 1
            kvd.append("*Item %d: { %s }" % (item_sections[a], " ".join(entries)))
    blocks = ["%s NULL NULL Item%d NULL NULL NULL" % (options[a][1], s) for a, s in sorted(item_sections.items())]
    if blocks:
        kvd.append("*Exclusive: { %s }" % "\n  ".join(blocks))
    with open(os.path.join(args.out, "BENCH.KVD"), "w", newline="\r\n") as f:
        f.write("\n".join(kvd) + "\n")

    ppd = ['*PPD-Adobe: "4.3"', '*FormatVersion: "4.3"', '*FileVersion: "1.41"', "*LanguageVersion: English",
           "*LanguageEncoding: ISOLatin1", '*PCFileName: "BENCH.PPD"', '*Manufacturer: "Bench"',
           '*Product: "(Bench)"', '*ModelName: "Bench Model"', '*ShortNickName: "Bench Model"',
           '*NickName: "Bench Model"', '*PSVersion: "(3010.000) 0"', "*LanguageLevel: \"3\"",
           "*ColorDevice: False", "*DefaultColorSpace: Gray", "*FileSystem: False", "*Throughput: \"1\"",
           "*TTRasterizer: Type42", "*OpenGroup: General/General"]
    keys = ["PageSize" if iid == PAPER_ITEM else "Opt%d" % n for n, (iid, _, _) in enumerate(options)]
    for n, (iid, dname, choices) in enumerate(options):
        key = keys[n]
        ppd.append("*OpenUI *%s/%s: PickOne" % (key, dname))
        ppd.append("*OrderDependency: %d AnySetup *%s" % (10 + n, key))
        ppd.append("*Default%s: C0" % key)
        for c, (vname, vid) in enumerate(choices):
            ppd.append('*%s C%d/%s: "<</Bench%d %d>>setpagedevice"' % (key, c, vname, n, c))
        ppd.append("*CloseUI: *%s" % key)
        if key == "PageSize":
            # Sizes in points, the area a sixth of an inch in from each edge (as above).
            for c in range(len(choices)):
                w, h = paper_mm(c)
                pw, ph = w * 72 // 254, h * 72 // 254
                ppd.append('*PaperDimension C%d: "%d %d"' % (c, pw, ph))
                ppd.append('*ImageableArea C%d: "12 12 %d %d"' % (c, pw - 12, ph - 12))
    ppd.append("*CloseGroup: General")
    for a, x, b, y in constraints:
        ppd.append("*UIConstraints: *%s C%d *%s C%d" % (keys[a], x, keys[b], y))
        ppd.append("*UIConstraints: *%s C%d *%s C%d" % (keys[b], y, keys[a], x))
    with open(os.path.join(args.out, "bench.ppd"), "w", newline="\n") as f:
        f.write("\n".join(ppd) + "\n")

    with open(os.path.join(args.out, "model.txt"), "w") as f:
        f.write("scale %d\noptions %d\nchoices %d\nconstraints %d\njudges %d\njudge_terms %d\npapers %d\n" % (
            args.scale, len(options), n_values, n_constraints, judge, judge_terms, papers))
        f.write("kvd_bytes %d\nppd_bytes %d\n" % (os.path.getsize(os.path.join(args.out, "BENCH.KVD")),
                                                   os.path.getsize(os.path.join(args.out, "bench.ppd"))))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Turns the JSON output of bench_desc and bench_cups (medians of repeated runs) into the
tables of scripts/bench: each measured figure, the four ratios the project aims for with
their goals, the growth exponent of each step over the scaling runs, and the peak heap of
compile and of the .BCS check at each model size.

  bench/report.py [--real] DESC_JSON [CUPS_JSON] [MODEL_TXT]
  bench/report.py [--real] [--markdown] --ratios DESC_JSON CUPS_JSON MODEL_TXT [--scaling DIR...]
  bench/report.py [--real] [--markdown] --model MODEL_TXT --rounds DIR... [--scaling DIR...]

The first form prints the figures and the ratios of one run. The second takes the ratios
from one run too and adds the scaling runs: each scaling DIR holds one model size's
model.txt (bench/genmodel.py), desc.json, cups.json and memory.txt (bench_desc --memory).
The third takes each ratio as the median of rounds (each DIR one round's desc.json and
cups.json, the two runs made one after the other). --markdown prints the whole as one
Markdown page (machine, emulated or not, date, then the tables) for the README.

Times are CPU times of the process unless --real asks for wall-clock times: on a shared or
emulated machine CPU time is the steadier figure (the cold .BCS load waits on the disk,
which only the wall clock shows).
"""
import datetime
import glob
import json
import math
import os
import platform
import sys

UNIT = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
# Which time to read: "cpu_time" (the default: the process's own CPU time, which other
# load on the machine barely moves) or "real_time" (--real).
TIME = "cpu_time"
# An exponent up to this counts as linear growth.
LINEAR = 1.1

# The four goals: (name, our benchmark, its reference (source, benchmark), goal text, limit,
# strict). "ours" and "peer" name the JSON the benchmark comes from.
GOALS = [
    ("rule sweep / ppdMarkOption+ppdConflicts", "BM_RuleSweep", ("peer", "BM_PpdSweep"), "below 0.01", 0.01, True),
    ("compile / ppdOpenFile", "BM_DescCompile", ("peer", "BM_PpdOpen"), "at most 0.5", 0.5, False),
    (".BCS warm load (read, validate, relocate) / read+copy of the same bytes", "BM_BcsLoadWarm",
     ("ours", "BM_ReadCopyReference"), "at most 2", 2.0, False),
    ("context from the cache / cold context", "BM_CtxCreateCached", ("ours", "BM_CtxCreateCold"), "at most 0.01",
     0.01, False),
]

# Ratios shown beside the goals, without a goal of their own: (name, our benchmark, its
# reference (source, benchmark), what the ratio tells). The warm load's floor is its file
# operations and relocation alone, without the checksum and the block's checks: the warm-load
# goal cannot be met while this ratio is above it.
BESIDE = [
    (".BCS load floor (its file operations and relocation, no checks) / read+copy", "BM_BcsLoadFloor",
     ("ours", "BM_ReadCopyReference"), "none: the least a warm load costs"),
]

# The steps of the scaling runs: (name, source, benchmark, what the step's size is measured
# in: the keys of model.txt or memory.txt whose sum it is). A step's size is what it reads:
# the text for compile and ppdOpenFile, the .BCS for its load; the sweeps ask one question
# per value and the judges (constraints, for the peer) join the values, so their size is the
# values plus the comparisons of every judge (as many as the PPD's *UIConstraints lines). The
# parts of the model do not grow alike (the values stop growing at 8x, the constraints grow
# to 64x), so a linear step measured against another size could seem to grow faster than
# linearly, or slower.
STEPS = [
    ("compile", "ours", "BM_DescCompile", ("kvd_bytes",)),
    (".BCS warm load", "ours", "BM_BcsLoadWarm", ("bcs_bytes",)),
    ("context, cold", "ours", "BM_CtxCreateCold", ("kvd_bytes",)),
    ("context, from the cache", "ours", "BM_CtxCreateCached", ("kvd_bytes",)),
    ("hidden/greyed sweep", "ours", "BM_RuleSweep", ("choices", "judge_terms")),
    ("peer: ppdOpenFile + ppdClose", "peer", "BM_PpdOpen", ("ppd_bytes",)),
    ("peer: ppdMarkOption + ppdConflicts sweep", "peer", "BM_PpdSweep", ("choices", "judge_terms")),
]
SIZE_NAMES = {("kvd_bytes",): "description bytes", ("bcs_bytes",): ".BCS bytes", ("ppd_bytes",): "PPD bytes",
              ("choices", "judge_terms"): "values + judge comparisons"}


def medians(path):
    """{benchmark name: (median time in microseconds, counters, repetitions)}"""
    out = {}
    if not path or not os.path.exists(path):
        return out
    with open(path) as f:
        data = json.load(f)
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"]).split("/")[0]
        agg = b.get("aggregate_name")
        if agg not in (None, "median"):
            continue
        if agg is None and name in out:
            continue  # a single run already recorded; a median overrides it below
        us = b[TIME] * UNIT[b.get("time_unit", "ns")]
        counters = {k: v for k, v in b.items() if isinstance(v, (int, float)) and k not in (
            "real_time", "cpu_time", "iterations", "repetitions", "repetition_index", "threads",
            "family_index", "per_family_instance_index")}
        out[name] = (us, counters, int(b.get("repetitions", 1)) if agg == "median" else 1)
    return out


def fastest(path):
    """{benchmark name: (fastest time of its repetitions in microseconds, counters,
    repetitions)}, from a JSON file that holds every repetition; the medians where it holds
    only aggregates. Load from other processes only ever adds time, so on a shared machine
    the fastest repetition is the closest to what the step costs."""
    out = medians(path)
    if not path or not os.path.exists(path):
        return out
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration" or b.get("aggregate_name"):
            continue
        name = b.get("run_name", b["name"]).split("/")[0]
        runs.setdefault(name, []).append(b[TIME] * UNIT[b.get("time_unit", "ns")])
    for name, times in runs.items():
        if name in out:
            out[name] = (min(times), out[name][1], len(times))
    return out


def read_pairs(path):
    """A file of "key value" lines as {key: int}; {} when it is missing."""
    out = {}
    if path and os.path.exists(path):
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) == 2:
                    out[parts[0]] = int(parts[1])
    return out


def loglog_slope(xs, ys):
    """The growth exponent of y over x: the least-squares slope of log y on log x. None when
    fewer than two points have positive values or all x are equal."""
    pts = [(math.log(x), math.log(y)) for x, y in zip(xs, ys) if x and y and x > 0 and y > 0]
    if len(pts) < 2:
        return None
    mx = sum(p[0] for p in pts) / len(pts)
    my = sum(p[1] for p in pts) / len(pts)
    sxx = sum((p[0] - mx) ** 2 for p in pts)
    if sxx == 0:
        return None
    return sum((p[0] - mx) * (p[1] - my) for p in pts) / sxx


def steepest(xs, ys):
    """The largest exponent between two neighbouring sizes: a jump that the fit over every
    size would average away (a buffer crossing the C library's threshold for mapping fresh
    memory, for example). None with fewer than two usable points."""
    pts = [(x, y) for x, y in zip(xs, ys) if x and y and x > 0 and y > 0]
    slopes = [loglog_slope([a[0], b[0]], [a[1], b[1]]) for a, b in zip(pts, pts[1:])]
    slopes = [e for e in slopes if e is not None]
    return max(slopes) if slopes else None


def fmt_exponent(e):
    """Two decimals, or three where two would round across the linear limit."""
    if e is None:
        return "-"
    text = "%.2f" % e
    if float(text) == LINEAR and e != LINEAR:
        text = "%.3f" % e
    return text


def verdict(exponent):
    if exponent is None:
        return "-"
    return "linear" if exponent <= LINEAR else "not linear"


def goal_met(r, limit, strict):
    if r is None:
        return "-"
    return "met" if (r < limit if strict else r <= limit) else "not met"


def fmt_us(us):
    if us is None:
        return "-"
    if us >= 1e6:
        return "%.2f s" % (us / 1e6)
    if us >= 1e3:
        return "%.2f ms" % (us / 1e3)
    if us >= 1:
        return "%.2f us" % us
    return "%.0f ns" % (us * 1e3)


def fmt_bytes(n):
    if n is None:
        return "-"
    if n >= 1 << 20:
        return "%.2f MB" % (n / (1 << 20))
    return "%.1f KB" % (n / 1024)


def fmt_ratio(r):
    return "-" if r is None else "%.4g" % r


def table(header, rows, markdown):
    """Rows of cells as a Markdown table or as aligned text (first column left, the rest
    right)."""
    if markdown:
        lines = ["| " + " | ".join(header) + " |", "|" + "|".join("---" for _ in header) + "|"]
        lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in rows]
        return "\n".join(lines)
    cols = list(zip(*([header] + [[str(c) for c in r] for r in rows])))
    widths = [max(len(c) for c in col) for col in cols]
    out = []
    for row in [header] + rows:
        cells = [str(c) for c in row]
        out.append("  ".join(cells[0].ljust(widths[0]) if i == 0 else cells[i].rjust(widths[i])
                             for i in range(len(cells))).rstrip())
    return "\n".join(out)


def median(values):
    v = sorted(values)
    n = len(v)
    return None if n == 0 else (v[n // 2] if n % 2 else (v[n // 2 - 1] + v[n // 2]) / 2)


def goal_ratio(ours, peer, num, den_src, den):
    """One goal's ratio from one run of ours and the peer, and the repetitions behind it."""
    src = {"ours": ours, "peer": peer}
    a = ours.get(num)
    b = src[den_src].get(den)
    if a is None or b is None or not b[0]:
        return None, 0
    return a[0] / b[0], min(a[2], b[2])


def ratio_rows(rounds):
    """The four goals' rows from rounds [(ours, peer)], and a phrase saying what each ratio is
    the median of. With one round each ratio is the ratio of its two medians; with several
    rounds (ours and the peer run one after the other in each) it is the median of the
    rounds' ratios, so a change of the machine's load between two runs moves one round, not
    the answer."""
    rows, reps = [], []
    for name, num, (den_src, den), goal, limit, strict in GOALS:
        got = [goal_ratio(ours, peer, num, den_src, den) for ours, peer in rounds]
        got = [g for g in got if g[0] is not None]
        r = median([g[0] for g in got])
        if got:  # a goal without figures shows "-" and says nothing of the others
            reps.append(len(got) if len(rounds) > 1 else got[0][1])
        row = [name, fmt_ratio(r), goal, goal_met(r, limit, strict)]
        if len(rounds) > 1:  # the spread of the rounds: how much the load moved them
            row.append("%s to %s" % (fmt_ratio(min(g[0] for g in got)), fmt_ratio(max(g[0] for g in got)))
                       if got else "-")
        rows.append(row)
    for name, num, (den_src, den), tells in BESIDE:
        got = [goal_ratio(ours, peer, num, den_src, den) for ours, peer in rounds]
        got = [g[0] for g in got if g[0] is not None]
        if not got:  # runs made before the figure existed
            continue
        row = [name, fmt_ratio(median(got)), tells, ""]
        if len(rounds) > 1:
            row.append("%s to %s" % (fmt_ratio(min(got)), fmt_ratio(max(got))))
        rows.append(row)
    n = min(reps) if reps else 0
    if len(rounds) > 1:
        what = "each the median of the ratios of %d rounds" % n
    elif n > 1:
        what = "each the ratio of two medians of %d repetitions" % n
    else:
        what = "each from a single run: not the 5 repetitions the goals ask for"
    return rows, what


def figures(ours, peer, model):
    """The plain-text table of every figure of one run (the first form)."""
    def t(src, name):
        return src[name][0] if name in src else None

    def c(src, name, key):
        return src[name][1].get(key) if name in src else None

    out = []
    if model:
        out.append("model: %d options with %d choices in all, %d constraints (%d judges in the description), "
                   "%d papers" % (model.get("options", 0), model.get("choices", 0), model.get("constraints", 0),
                                  model.get("judges", 0), model.get("papers", 0)))
    kvd = c(ours, "BM_DescCompile", "bytes")
    bcs = c(ours, "BM_BcsLoadWarm", "bytes")
    if kvd and bcs:
        out.append("description %.1f KB, .BCS %.1f KB" % (kvd / 1024, bcs / 1024))
    out.append("")
    items = c(ours, "BM_ItemLookupsAndReads", "items")
    rows = [
        ("description compile", t(ours, "BM_DescCompile")),
        ("  per KB of text", t(ours, "BM_DescCompile") / (kvd / 1024) if kvd and "BM_DescCompile" in ours else None),
        (".BCS load, cold (read, validate, relocate)", t(ours, "BM_BcsLoadCold")),
        (".BCS load, warm", t(ours, "BM_BcsLoadWarm")),
        (".BCS load floor (file operations, relocation, no checks)", t(ours, "BM_BcsLoadFloor")),
        (".BCS check in memory (trailer, checksum, validator)", t(ours, "BM_BcsCheck")),
        ("  of it the block validator", t(ours, "BM_BcsValidate")),
        ("read + copy of as many bytes (reference)", t(ours, "BM_ReadCopyReference")),
        ("process-cache hit (DescLoadCompiled)", t(ours, "BM_ProcessCacheHit")),
        ("context, cold (CtxCreate + release)", t(ours, "BM_CtxCreateCold")),
        ("context, from the context cache", t(ours, "BM_CtxCreateCached")),
        ("item lookups + read, per item", t(ours, "BM_ItemLookupsAndReads") / items if items else None),
        ("hidden/greyed sweep, every value", t(ours, "BM_RuleSweep")),
        ("1,000,000 condition evaluations", t(ours, "BM_CondEval1M")),
        ("INI read (GetPrivateProfileStringW)", t(ours, "BM_IniRead")),
        ("INI write (WritePrivateProfileStringW)", t(ours, "BM_IniWrite")),
        ("CUPS ppdOpenFile + ppdClose", t(peer, "BM_PpdOpen")),
        ("CUPS ppdMarkOption + ppdConflicts sweep", t(peer, "BM_PpdSweep")),
    ]
    out.append(table(["figure (median)", "CPU time" if TIME == "cpu_time" else "wall time"],
                     [[n, fmt_us(us)] for n, us in rows], False))
    sweep_ours = c(ours, "BM_RuleSweep", "values")
    sweep_peer = c(peer, "BM_PpdSweep", "values")
    if sweep_ours is not None:
        out.append("sweep: %d values, %d greyed, %d of %d items at their defaults (ours); %s choices, %s conflicting "
                   "(CUPS)" % (sweep_ours, c(ours, "BM_RuleSweep", "conflicting") or 0,
                               c(ours, "BM_RuleSweep", "at_default") or 0, model.get("options", 0),
                               "%d" % sweep_peer if sweep_peer is not None else "-",
                               "%d" % c(peer, "BM_PpdSweep", "conflicting") if sweep_peer is not None else "-"))
    return "\n".join(out)


def load_scaling(dirs):
    """[(model, ours, peer, memory)] of the scaling runs, smallest model first."""
    runs = []
    for d in dirs:
        model = read_pairs(os.path.join(d, "model.txt"))
        if not model:
            continue
        runs.append((model, fastest(os.path.join(d, "desc.json")), fastest(os.path.join(d, "cups.json")),
                     read_pairs(os.path.join(d, "memory.txt"))))
    runs.sort(key=lambda r: r[0].get("kvd_bytes", 0))
    return runs


def scaling_rows(runs):
    """Per step: its name, the time at each size, the size measure, the exponent and its
    verdict."""
    rows = []
    for name, side, bench, size_keys in STEPS:
        xs, ys = [], []
        for model, ours, peer, mem in runs:
            src = ours if side == "ours" else peer
            sizes = [model.get(k, mem.get(k)) for k in size_keys]
            xs.append(None if None in sizes else sum(sizes))
            ys.append(src[bench][0] if bench in src else None)
        e = loglog_slope(xs, ys)
        rows.append([name] + [fmt_us(y) for y in ys] +
                    [SIZE_NAMES[size_keys], fmt_exponent(e), verdict(e), fmt_exponent(steepest(xs, ys))])
    return rows


def sweep_agreement(runs):
    """One line saying whether both sweeps found as many values and as many greyed values at
    every size: the two files hold the same model, so they must."""
    seen, differ = [], []
    for model, ours, peer, _ in runs:
        if "BM_RuleSweep" not in ours or "BM_PpdSweep" not in peer:
            continue
        a = (ours["BM_RuleSweep"][1].get("values"), ours["BM_RuleSweep"][1].get("conflicting"))
        b = (peer["BM_PpdSweep"][1].get("values"), peer["BM_PpdSweep"][1].get("conflicting"))
        seen.append("%dx %d/%d" % (model.get("scale", 0), a[0] or 0, a[1] or 0))
        if a != b:
            differ.append("%dx: ours %s/%s, the peer %s/%s" % ((model.get("scale", 0),) + a + b))
    if not seen:
        return None
    if differ:
        return "The sweeps DISAGREE (values/greyed): " + "; ".join(differ) + "."
    return "Both sweeps find the same values and greyed values at every size (values/greyed: %s)." % ", ".join(seen)


def memory_rows(runs):
    rows = []
    for model, _, _, mem in runs:
        bcs = mem.get("bcs_bytes")
        vp = mem.get("validate_peak")
        rows.append(["%dx" % model.get("scale", 0), fmt_bytes(mem.get("kvd_bytes")), fmt_bytes(bcs),
                     fmt_bytes(mem.get("compile_peak")), fmt_bytes(vp),
                     "%.2f (%s)" % (vp / bcs, goal_met(vp / bcs, 1.0, False)) if vp is not None and bcs else "-",
                     fmt_bytes(mem.get("validate_largest"))])
    xs = [m.get("kvd_bytes") for _, _, _, m in runs]
    ec = loglog_slope(xs, [m.get("compile_peak") for _, _, _, m in runs])
    ev = loglog_slope([m.get("bcs_bytes") for _, _, _, m in runs], [m.get("validate_peak") for _, _, _, m in runs])
    rows.append(["exponent", "", "", "-" if ec is None else "%s (%s)" % (fmt_exponent(ec), verdict(ec)),
                 "-" if ev is None else "%s (%s)" % (fmt_exponent(ev), verdict(ev)), "", ""])
    return rows


MEMORY_HEADER = ["scale", "description", ".BCS", "compile peak", ".BCS check peak",
                 "check peak / .BCS (goal at most 1)", "largest check block"]


def size_header(runs):
    return ["%dx (%s)" % (m.get("scale", 0), fmt_bytes(m.get("kvd_bytes"))) for m, _, _, _ in runs]


def machine_lines():
    def text(path):
        try:
            with open(path, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    cpu = "?"
    for line in text("/proc/cpuinfo").splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    # The 32-bit programs run under qemu when binfmt_misc hands i386 programs to it.
    emulated = any("qemu-i386" in text(p) for p in glob.glob("/proc/sys/fs/binfmt_misc/*"))
    return [
        "- machine: %s kernel, %d CPUs, %s" % (platform.machine(), os.cpu_count() or 0, cpu),
        "- 32-bit programs: %s" % ("emulated (qemu-i386 through binfmt_misc): compare ratios, not times"
                                   if emulated else "native, not emulated"),
        "- date: %s UTC" % datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M"),
        "- load average at the end: %s" % " ".join("%.1f" % v for v in os.getloadavg()),
    ]


def page(rounds, model, runs, markdown):
    """The ratios, the scaling exponents and the memory table, as Markdown or as text."""
    out = []
    if markdown:
        out.append("### Last run (`./scripts/bench --quick --markdown`)")
        out.append("")
        out += machine_lines()
        out.append("- model at 1x: %d options, %d values, %d constraints, %d judges, %d papers; "
                   "times are the process's %s" % (
                       model.get("options", 0), model.get("choices", 0), model.get("constraints", 0),
                       model.get("judges", 0), model.get("papers", 0),
                       "CPU time" if TIME == "cpu_time" else "wall-clock time"))
        out.append("")
    rows, what = ratio_rows(rounds)
    title = "Ratios of one run (%s)" % what
    out.append("#### " + title if markdown else title + ":")
    out.append("")
    header = ["ratio", "measured", "goal", ""] + (["rounds, lowest to highest"] if len(rounds) > 1 else [])
    out.append(table(header, rows, markdown))
    if runs:
        out.append("")
        reps = min([r[2] for _, ours, peer, _ in runs for r in list(ours.values()) + list(peer.values())] or [0])
        title = ("Growth with model size (times: the fastest of %d repetitions; exponent: the log-log least-squares "
                 "fit of time on the step's own size, linear when at most %.1f)" % (reps, LINEAR))
        out.append("#### " + title if markdown else title + ":")
        out.append("")
        out.append(table(["step"] + size_header(runs) + ["size in", "exponent", "", "steepest between neighbours"],
                         scaling_rows(runs), markdown))
        agree = sweep_agreement(runs)
        if agree:
            out.append("")
            out.append(agree)
        out.append("")
        title = "Peak heap of one compile (its result included) and of one .BCS check, per model size"
        out.append("#### " + title if markdown else title + ":")
        out.append("")
        out.append(table(MEMORY_HEADER, memory_rows(runs), markdown))
    return "\n".join(out)


def main(argv):
    global TIME
    argv = list(argv)
    markdown = False
    if "--real" in argv:
        argv.remove("--real")
        TIME = "real_time"
    if "--markdown" in argv:
        argv.remove("--markdown")
        markdown = True
    lists = {"--scaling": [], "--rounds": []}
    for flag in lists:
        if flag in argv:
            i = argv.index(flag)
            j = i + 1
            while j < len(argv) and not argv[j].startswith("--"):
                j += 1
            lists[flag] = argv[i + 1:j]
            argv = argv[:i] + argv[j:]
    runs = load_scaling(lists["--scaling"])
    if lists["--rounds"]:
        if len(argv) != 2 or argv[0] != "--model":
            sys.exit(__doc__)
        rounds = [(medians(os.path.join(d, "desc.json")), medians(os.path.join(d, "cups.json")))
                  for d in lists["--rounds"]]
        print(page(rounds, read_pairs(argv[1]), runs, markdown))
        return
    if "--ratios" in argv:
        argv.remove("--ratios")
        if len(argv) != 3:
            sys.exit(__doc__)
        print(page([(medians(argv[0]), medians(argv[1]))], read_pairs(argv[2]), runs, markdown))
        return
    if not argv:
        sys.exit(__doc__)
    ours = medians(argv[0])
    peer = medians(argv[1]) if len(argv) > 1 else {}
    model = read_pairs(argv[2]) if len(argv) > 2 else {}
    print(figures(ours, peer, model))
    print()
    print(page([(ours, peer)], model, [], False))


if __name__ == "__main__":
    main(sys.argv[1:])

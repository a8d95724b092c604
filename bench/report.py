#!/usr/bin/env python3
"""Turns the JSON output of bench_desc and bench_cups (medians of repeated runs) into one
table: each measured figure, and the ratios the project aims for.

  bench/report.py [--real] DESC_JSON [CUPS_JSON] [MODEL_TXT]

Times are CPU times of the process unless --real asks for wall-clock times: on a shared or
emulated machine CPU time is the steadier figure (the cold .BCS load waits on the disk,
which only the wall clock shows).
"""
import json
import sys

UNIT = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
# Which time to read: "cpu_time" (the default: the process's own CPU time, which other
# load on the machine barely moves) or "real_time" (--real).
TIME = "cpu_time"


def medians(path):
    """{benchmark name: (median real time in microseconds, counters)}"""
    out = {}
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
        out[name] = (us, counters)
    return out


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


def main():
    global TIME
    if "--real" in sys.argv:
        sys.argv.remove("--real")
        TIME = "real_time"
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    ours = medians(sys.argv[1])
    peer = medians(sys.argv[2]) if len(sys.argv) > 2 else {}
    model = {}
    if len(sys.argv) > 3:
        for line in open(sys.argv[3]):
            k, v = line.split()
            model[k] = int(v)

    def t(src, name):
        return src[name][0] if name in src else None

    def c(src, name, key):
        return src[name][1].get(key) if name in src else None

    if model:
        print("model: %(options)d options with %(choices)d choices in all, %(constraints)d constraints "
              "(%(judges)d judges in the description)" % model)
    kvd = c(ours, "BM_DescCompile", "bytes")
    bcs = c(ours, "BM_BcsLoadWarm", "bytes")
    if kvd and bcs:
        print("description %.1f KB, .BCS %.1f KB" % (kvd / 1024, bcs / 1024))
    print()

    rows = [
        ("description compile", t(ours, "BM_DescCompile")),
        ("  per KB of text", t(ours, "BM_DescCompile") / (kvd / 1024) if kvd else None),
        (".BCS load, cold (read, validate, relocate)", t(ours, "BM_BcsLoadCold")),
        (".BCS load, warm", t(ours, "BM_BcsLoadWarm")),
        ("read + copy of as many bytes (reference)", t(ours, "BM_ReadCopyReference")),
        ("process-cache hit (DescLoadCompiled)", t(ours, "BM_ProcessCacheHit")),
        ("context, cold (CtxCreate + release)", t(ours, "BM_CtxCreateCold")),
        ("context, from the context cache", t(ours, "BM_CtxCreateCached")),
        ("item lookups + read, per item", t(ours, "BM_ItemLookupsAndReads") / c(ours, "BM_ItemLookupsAndReads", "items")
         if "BM_ItemLookupsAndReads" in ours else None),
        ("hidden/greyed sweep, every value", t(ours, "BM_RuleSweep")),
        ("1,000,000 condition evaluations", t(ours, "BM_CondEval1M")),
        ("INI read (GetPrivateProfileStringW)", t(ours, "BM_IniRead")),
        ("INI write (WritePrivateProfileStringW)", t(ours, "BM_IniWrite")),
        ("CUPS ppdOpenFile + ppdClose", t(peer, "BM_PpdOpen")),
        ("CUPS ppdMarkOption + ppdConflicts sweep", t(peer, "BM_PpdSweep")),
    ]
    width = max(len(r[0]) for r in rows)
    print("%-*s  %12s" % (width, "figure (median)", "CPU time" if TIME == "cpu_time" else "wall time"))
    for name, us in rows:
        print("%-*s  %12s" % (width, name, fmt_us(us)))
    sweep_ours = c(ours, "BM_RuleSweep", "values")
    sweep_peer = c(peer, "BM_PpdSweep", "values")
    if sweep_ours is not None:
        print("sweep: %d values, %d greyed, %d of %d items at their defaults (ours); %s choices, %s conflicting (CUPS)" % (
            sweep_ours, c(ours, "BM_RuleSweep", "conflicting") or 0, c(ours, "BM_RuleSweep", "at_default") or 0,
            model.get("options", 0),
            "%d" % sweep_peer if sweep_peer is not None else "-",
            "%d" % c(peer, "BM_PpdSweep", "conflicting") if sweep_peer is not None else "-"))
    print()

    def ratio(a, b):
        return a / b if a is not None and b else None

    targets = [
        (".BCS warm load / read+copy", ratio(t(ours, "BM_BcsLoadWarm"), t(ours, "BM_ReadCopyReference")), "<= 3", 3.0),
        ("compile / ppdOpenFile", ratio(t(ours, "BM_DescCompile"), t(peer, "BM_PpdOpen")), "< 1", 1.0),
        (".BCS warm load / ppdOpenFile", ratio(t(ours, "BM_BcsLoadWarm"), t(peer, "BM_PpdOpen")), "-", None),
        (".BCS cold load / warm load", ratio(t(ours, "BM_BcsLoadCold"), t(ours, "BM_BcsLoadWarm")), "-", None),
        ("rule sweep / ppdMarkOption+ppdConflicts sweep", ratio(t(ours, "BM_RuleSweep"), t(peer, "BM_PpdSweep")),
         "< 1", 1.0),
        ("context from cache / cold context", ratio(t(ours, "BM_CtxCreateCached"), t(ours, "BM_CtxCreateCold")),
         "< 0.01", 0.01),
    ]
    width = max(len(r[0]) for r in targets)
    print("%-*s  %10s  %8s  %s" % (width, "ratio", "measured", "target", "met"))
    for name, r, target, limit in targets:
        met = "-" if limit is None or r is None else ("yes" if (r <= limit if target.startswith("<=") else r < limit)
                                                       else "NO")
        print("%-*s  %10s  %8s  %s" % (width, name, "-" if r is None else "%.4g" % r, target, met))


if __name__ == "__main__":
    main()

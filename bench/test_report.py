#!/usr/bin/env python3
"""Checks bench/report.py without a benchmark run: the log-log fit, the goal and linearity
verdicts, and the Markdown page made from small hand-written JSON files."""
import contextlib
import io
import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import report  # noqa: E402


def bench_json(path, times_us, reps=5):
    """A Google Benchmark JSON file with one median aggregate per {name: microseconds}."""
    rows = [{"name": n + "_median", "run_name": n, "run_type": "aggregate", "aggregate_name": "median",
             "repetitions": reps, "real_time": us, "cpu_time": us, "time_unit": "us"} for n, us in times_us.items()]
    with open(path, "w") as f:
        json.dump({"benchmarks": rows}, f)


def pairs(path, values):
    with open(path, "w") as f:
        f.write("".join("%s %d\n" % kv for kv in values.items()))


class LogLogFit(unittest.TestCase):
    def test_exact_power_laws_give_their_exponent(self):
        xs = [1000, 4000, 16000, 64000]
        for k, exponent in ((3.0, 1.0), (0.5, 2.0), (7.0, 0.5), (2.0, 0.0)):
            ys = [k * x ** exponent for x in xs]
            self.assertAlmostEqual(report.loglog_slope(xs, ys), exponent, places=9)

    def test_least_squares_over_noisy_points(self):
        # log2 x = 0, 1, 2; log2 y = 0, 2, 2: slope = cov / var = 2 / 2 = 1.
        self.assertAlmostEqual(report.loglog_slope([1, 2, 4], [1, 4, 4]), 1.0, places=9)

    def test_too_few_or_degenerate_points_give_none(self):
        self.assertIsNone(report.loglog_slope([10], [5]))
        self.assertIsNone(report.loglog_slope([10, 10, 10], [1, 2, 3]))
        # Missing or zero figures are left out, not taken as log 0.
        self.assertIsNone(report.loglog_slope([10, 20, 40], [None, 0, 7]))
        self.assertAlmostEqual(report.loglog_slope([10, 20, 40], [None, 2, 4]), 1.0, places=9)

    def test_exponent_never_rounds_across_the_limit(self):
        self.assertEqual(report.fmt_exponent(1.1003), "1.100")
        self.assertEqual(report.verdict(1.1003), "not linear")
        self.assertEqual(report.fmt_exponent(1.0962), "1.096")
        self.assertEqual(report.fmt_exponent(1.04), "1.04")
        self.assertEqual(report.fmt_exponent(None), "-")

    def test_steepest_neighbour_step_shows_a_jump_the_fit_averages(self):
        # Linear, then 2.6 times the time for 2 times the size, then linear again.
        xs = [100, 200, 400, 800, 1600]
        ys = [1, 2, 4 * 2.6, 8 * 2.6, 16 * 2.6]
        self.assertAlmostEqual(report.steepest(xs, ys), 1 + report.math.log2(2.6), places=9)
        self.assertLess(report.loglog_slope(xs, ys), report.steepest(xs, ys))
        self.assertIsNone(report.steepest([100], [1]))

    def test_verdicts(self):
        cases = [(1.1, "linear"), (0.3, "linear"), (1.1000001, "not linear"), (1.57, "not linear"), (None, "-")]
        for e, want in cases:
            self.assertEqual(report.verdict(e), want, e)
        self.assertEqual(report.goal_met(0.01, 0.01, True), "not met")  # "below 0.01"
        self.assertEqual(report.goal_met(0.5, 0.5, False), "met")  # "at most 0.5"
        self.assertEqual(report.goal_met(None, 0.5, False), "-")


class Fastest(unittest.TestCase):
    def test_fastest_repetition_with_the_median_counters(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "desc.json")
            rows = [{"name": "BM_RuleSweep", "run_name": "BM_RuleSweep", "run_type": "iteration",
                     "repetitions": 3, "repetition_index": i, "real_time": t, "cpu_time": t, "time_unit": "ms"}
                    for i, t in enumerate((1.5, 1.2, 2.0))]
            rows.append({"name": "BM_RuleSweep_median", "run_name": "BM_RuleSweep", "run_type": "aggregate",
                         "aggregate_name": "median", "repetitions": 3, "real_time": 1.5, "cpu_time": 1.5,
                         "time_unit": "ms", "values": 596})
            rows.append({"name": "BM_RuleSweep_mean", "run_name": "BM_RuleSweep", "run_type": "aggregate",
                         "aggregate_name": "mean", "repetitions": 3, "real_time": 0.1, "cpu_time": 0.1,
                         "time_unit": "ms"})
            with open(path, "w") as f:
                json.dump({"benchmarks": rows}, f)
            us, counters, reps = report.fastest(path)["BM_RuleSweep"]
            self.assertAlmostEqual(us, 1200.0)
            self.assertEqual((counters["values"], reps), (596, 3))
            self.assertAlmostEqual(report.medians(path)["BM_RuleSweep"][0], 1500.0)


class Page(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        d = self.tmp.name
        self.desc, self.cups, self.model = (os.path.join(d, n) for n in ("desc.json", "cups.json", "model.txt"))
        bench_json(self.desc, {"BM_RuleSweep": 10, "BM_DescCompile": 400, "BM_BcsLoadWarm": 30,
                               "BM_ReadCopyReference": 10, "BM_CtxCreateCached": 1, "BM_CtxCreateCold": 200})
        bench_json(self.cups, {"BM_PpdSweep": 5000, "BM_PpdOpen": 1000})
        pairs(self.model, {"scale": 1, "options": 45, "choices": 295, "constraints": 150, "judges": 188,
                           "papers": 8, "kvd_bytes": 1000, "ppd_bytes": 800})
        self.scales = []
        for s in (1, 4, 16):
            sd = os.path.join(d, "scale-%d" % s)
            os.mkdir(sd)
            pairs(os.path.join(sd, "model.txt"), {"scale": s, "kvd_bytes": 1000 * s, "ppd_bytes": 800 * s,
                                                  "choices": 100 * s, "judge_terms": 300 * s})
            # Compile grows linearly, the sweep of the peer as the square of the size.
            bench_json(os.path.join(sd, "desc.json"), {"BM_DescCompile": 400 * s}, reps=3)
            bench_json(os.path.join(sd, "cups.json"), {"BM_PpdSweep": 5000 * s * s}, reps=3)
            pairs(os.path.join(sd, "memory.txt"), {"kvd_bytes": 1000 * s, "bcs_bytes": 500 * s,
                                                   "compile_peak": 9000 * s, "validate_peak": 1300 * s,
                                                   "validate_largest": 1200 * s})
            self.scales.append(sd)

    def tearDown(self):
        self.tmp.cleanup()

    def render(self, markdown=True, rounds=None):
        args = ["--markdown"] if markdown else []
        if rounds:
            args += ["--model", self.model, "--rounds"] + rounds
        else:
            args += ["--ratios", self.desc, self.cups, self.model]
        args += ["--scaling"] + list(reversed(self.scales))  # sorted by size, not by argument order
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            report.main(args)
        return out.getvalue()

    def row(self, text, first_cell):
        for line in text.splitlines():
            if line.startswith("| " + first_cell + " |"):
                return [c.strip() for c in line.strip("|").split("|")]
        self.fail("no row " + first_cell + " in:\n" + text)

    def test_ratios_with_goals(self):
        text = self.render()
        self.assertIn("ratio of two medians of 5 repetitions", text)
        self.assertEqual(self.row(text, "rule sweep / ppdMarkOption+ppdConflicts")[1:], ["0.002", "below 0.01", "met"])
        self.assertEqual(self.row(text, "compile / ppdOpenFile")[1:], ["0.4", "at most 0.5", "met"])
        self.assertEqual(self.row(text, ".BCS warm load (read, validate, relocate) / read+copy of the same bytes")[1:],
                         ["3", "at most 2", "not met"])
        self.assertEqual(self.row(text, "context from the cache / cold context")[1:], ["0.005", "at most 0.01", "met"])

    def test_warm_load_floor_beside_the_goals(self):
        floor = ".BCS load floor (its file operations and relocation, no checks) / read+copy"
        # Runs made before the floor was measured show no row for it.
        self.assertNotIn(floor, self.render())
        bench_json(self.desc, {"BM_BcsLoadWarm": 30, "BM_BcsLoadFloor": 25, "BM_ReadCopyReference": 10})
        self.assertEqual(self.row(self.render(), floor)[1:], ["2.5", "none: the least a warm load costs", ""])

    def test_ratios_as_medians_of_rounds(self):
        # Compile / ppdOpenFile is 0.3, 0.7, 0.45, 0.4, 0.6 in the five rounds: median 0.45,
        # while the ratio of the two medians (450 / 1000) would be the same only by chance;
        # here the round with the fastest peer run is the one with the slowest compile.
        rounds = []
        for i, (ours, peer) in enumerate([(300, 1000), (700, 1000), (540, 1200), (320, 800), (600, 1000)]):
            d = os.path.join(self.tmp.name, "round-%d" % i)
            os.mkdir(d)
            bench_json(os.path.join(d, "desc.json"), {"BM_DescCompile": ours}, reps=1)
            bench_json(os.path.join(d, "cups.json"), {"BM_PpdOpen": peer}, reps=1)
            rounds.append(d)
        text = self.render(rounds=rounds)
        self.assertIn("median of the ratios of 5 rounds", text)
        self.assertEqual(self.row(text, "compile / ppdOpenFile")[1:], ["0.45", "at most 0.5", "met", "0.3 to 0.7"])
        # A goal without figures in the rounds is shown as not measured.
        self.assertEqual(self.row(text, "context from the cache / cold context")[1:],
                         ["-", "at most 0.01", "-", "-"])

    def test_exponents_and_memory(self):
        text = self.render()
        compile_row = self.row(text, "compile")
        self.assertEqual(compile_row[1:4], ["400.00 us", "1.60 ms", "6.40 ms"])
        self.assertEqual(compile_row[-4:], ["description bytes", "1.00", "linear", "1.00"])
        self.assertEqual(self.row(text, "peer: ppdMarkOption + ppdConflicts sweep")[-4:],
                         ["values + judge comparisons", "2.00", "not linear", "2.00"])
        # A step without figures shows no exponent rather than a made-up one.
        self.assertEqual(self.row(text, "hidden/greyed sweep")[-3:], ["-", "-", "-"])
        self.assertEqual(self.row(text, "16x")[1:7],
                         ["15.6 KB", "7.8 KB", "140.6 KB", "20.3 KB", "2.60 (not met)", "18.8 KB"])
        self.assertEqual(self.row(text, "exponent")[3:5], ["1.00 (linear)", "1.00 (linear)"])

    def test_sweeps_compared_at_every_size(self):
        def sweep(path, name, values, greyed):
            with open(path) as f:
                data = json.load(f)
            data["benchmarks"].append({"name": name + "_median", "run_name": name, "aggregate_name": "median",
                                       "repetitions": 3, "real_time": 5, "cpu_time": 5, "time_unit": "us",
                                       "values": values, "conflicting": greyed})
            with open(path, "w") as f:
                json.dump(data, f)

        for i, sd in enumerate(self.scales):
            sweep(os.path.join(sd, "desc.json"), "BM_RuleSweep", 100 * (i + 1), 10 * (i + 1))
        # The peer's sweeps have no counters yet: nothing to agree with.
        self.assertIn("The sweeps DISAGREE", self.render())
        for i, sd in enumerate(self.scales):
            sweep(os.path.join(sd, "cups.json"), "BM_PpdSweep", 100 * (i + 1), 10 * (i + 1))
        self.assertIn("values/greyed: 1x 100/10, 4x 200/20, 16x 300/30", self.render())
        sweep(os.path.join(self.scales[1], "cups.json"), "BM_PpdSweep", 200, 21)
        self.assertIn("The sweeps DISAGREE (values/greyed): 4x: ours 200/20, the peer 200/21.", self.render())

    def test_single_runs_are_not_reported_as_five_repetitions(self):
        bench_json(self.desc, {"BM_RuleSweep": 10}, reps=1)
        self.assertIn("a single run", self.render())

    def test_plain_text_has_the_same_figures(self):
        text = self.render(markdown=False)
        self.assertNotIn("|", text)
        self.assertRegex(text, r"compile / ppdOpenFile\s+0\.4\s+at most 0\.5\s+met")


if __name__ == "__main__":
    unittest.main()

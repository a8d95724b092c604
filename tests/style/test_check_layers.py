#!/usr/bin/env python3
"""Tests of scripts/check-layers on small common/ trees made for each case: the check of the
order and of the exception list, and --graph's counts and cheapest order."""
import os
import subprocess
import sys
import tempfile
import unittest
from importlib.machinery import SourceFileLoader

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, '..', '..', 'scripts', 'check-layers')
LAYERS = SourceFileLoader('check_layers', SCRIPT).load_module()


def make_tree(root, files, exceptions=''):
    """A common/ with every folder of the order, the given files (path -> includes) and the
    exception list."""
    common = os.path.join(root, 'common')
    for folder in LAYERS.ORDER:
        os.makedirs(os.path.join(common, folder), exist_ok=True)
    for path, includes in files.items():
        with open(os.path.join(common, path), 'w', encoding='utf-8') as f:
            f.write(''.join('#include "%s"\n' % h for h in includes))
    with open(os.path.join(common, 'layering-exceptions.txt'), 'w', encoding='utf-8') as f:
        f.write(exceptions)


def run(root, *args):
    proc = subprocess.run([sys.executable, SCRIPT, *args, root], capture_output=True, text=True)
    return proc.returncode, proc.stdout


class CheckTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.root = self.tmp.name
        self.low, self.high = LAYERS.ORDER[1], LAYERS.ORDER[2]

    def tearDown(self):
        self.tmp.cleanup()

    def test_downward_includes_pass(self):
        make_tree(self.root, {'%s/b.cpp' % self.high: ['%s/a.h' % self.low, 'context.h'],
                              '%s/a.h' % self.low: []})
        self.assertEqual(run(self.root), (0, ''))

    def test_upward_include_fails_unless_listed(self):
        upward = '%s/a.cpp' % self.low
        header = '%s/b.h' % self.high
        files = {upward: [header], header: []}
        make_tree(self.root, files)
        code, out = run(self.root)
        self.assertEqual(code, 1)
        self.assertIn('common/%s: includes "%s", a higher layer' % (upward, header), out)
        make_tree(self.root, files, '%s -> %s  # the reason\n' % (upward, header))
        self.assertEqual(run(self.root), (0, ''))

    def test_listed_exception_that_no_longer_occurs_fails(self):
        make_tree(self.root, {}, '%s/a.cpp -> %s/b.h  # gone\n' % (self.low, self.high))
        code, out = run(self.root)
        self.assertEqual(code, 1)
        self.assertIn('layering-exceptions.txt:1: %s/a.cpp -> %s/b.h no longer occurs' % (self.low, self.high),
                      out)

    def test_exception_without_reason_fails(self):
        make_tree(self.root, {}, '%s/a.cpp -> %s/b.h\n' % (self.low, self.high))
        code, out = run(self.root)
        self.assertEqual(code, 1)
        self.assertIn('expected "FILE -> HEADER  # reason"', out)


class GraphTest(unittest.TestCase):
    def test_counts_and_cheapest_order(self):
        # Three includes run from the lower folder up to the higher one and one back down:
        # the declared order leaves three running up, the cheapest (the two swapped) one.
        low, high = LAYERS.ORDER[1], LAYERS.ORDER[2]
        with tempfile.TemporaryDirectory() as root:
            make_tree(root, {'%s/a%d.cpp' % (low, i): ['%s/h%d.h' % (high, i)] for i in range(3)})
            with open(os.path.join(root, 'common', high, 'c.cpp'), 'w', encoding='utf-8') as f:
                f.write('#include "%s/a.h"\n#include "%s/a.h"\n' % (low, low))  # one pair, however often
            code, out = run(root, '--graph')
        self.assertEqual(code, 0)
        lines = out.splitlines()
        self.assertIn('  %-8s -> %s 3' % (low, high), lines)
        self.assertIn('  %-8s -> %s 1' % (high, low), lines)
        declared = lines.index('declared order: %s' % ' '.join(LAYERS.ORDER))
        self.assertEqual(lines[declared + 1], '  includes running up: 3')
        swapped = list(LAYERS.ORDER)
        swapped[1], swapped[2] = swapped[2], swapped[1]
        cheapest = lines.index('cheapest order: %s' % ' '.join(swapped))
        self.assertEqual(lines[cheapest + 1], '  includes running up: 1')

    def test_cheapest_order_is_exact(self):
        # A cycle of three folders: every order leaves at least the lightest arrow running up,
        # and the search finds the order that leaves only it.
        a, b, c = LAYERS.ORDER[3:6]
        edges = {(a, b): 5, (b, c): 4, (c, a): 2}
        cost, order = LAYERS.cheapest_order(edges)
        self.assertEqual(cost, 2)
        self.assertLess(order.index(b), order.index(a))
        self.assertLess(order.index(c), order.index(b))
        self.assertEqual(LAYERS.back_pairs(order, edges), 2)


if __name__ == '__main__':
    unittest.main()

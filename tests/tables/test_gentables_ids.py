#!/usr/bin/env python3
"""The table generator's named item ids: the header it writes, and the clear stop when two
items would get the same constant. Usage: test_gentables_ids.py GENTABLES.py SOURCE_DIR"""
import os
import shutil
import subprocess
import sys
import tempfile


def run(gen, src, out):
    return subprocess.run([sys.executable, gen, '--src', src, '--ids', out], capture_output=True, text=True)


def main():
    gen, src = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, 'ok', 'item_ids.h')
        r = run(gen, src, out)
        if r.returncode != 0:
            failures.append('the table sources were refused: ' + r.stderr)
        else:
            text = open(out, encoding='utf-8').read()
            for line in ('constexpr WORD ITEM_dmOrientation = 7;', 'constexpr WORD ITEM_KPD_kdmCallSrc = 609;',
                         'constexpr WORD ITEM_work_12_bit4 = 726;', 'constexpr WORD ITEM_kdmTray1Paper = 10175;'):
                if line not in text.splitlines():
                    failures.append('missing: ' + line)

        # Give item 10 the field name that makes its constant item 609's.
        bad = os.path.join(tmp, 'bad')
        shutil.copytree(src, bad, ignore=shutil.ignore_patterns('*.py', '*.cmake', '*.md', '*.h'))
        items = os.path.join(bad, 'items.txt')
        lines = open(items, encoding='utf-8').read().split('\n')
        lines = [l.replace('dmPaperWidth', 'KPD_kdmCallSrc', 1) if l.startswith('10 ') else l for l in lines]
        open(items, 'w', encoding='utf-8').write('\n'.join(lines))
        out = os.path.join(tmp, 'bad_out', 'item_ids.h')
        r = run(gen, bad, out)
        if r.returncode == 0 or 'ITEM_KPD_kdmCallSrc' not in r.stderr or 'items.txt:' not in r.stderr:
            failures.append('a constant shared by two items was not refused clearly: rc=%d %s'
                            % (r.returncode, r.stderr))
        if os.path.exists(out):
            failures.append('a refused source still wrote ' + out)
    for f in failures:
        print(f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())

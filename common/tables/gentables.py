#!/usr/bin/env python3
"""Generates the template context's compiled-in tables from the readable sources in this folder.

    gentables.py --src DIR --out FILE.cpp       write the C++ tables (run by the build)
    gentables.py --src DIR --ids FILE.h         write the named item ids (run by the build)
    gentables.py --src DIR --docs FILE.md       write the names reference
    gentables.py --src DIR --check-docs FILE.md exit 1 when FILE.md differs from what --docs writes

Every source is one row a line; '#' starts a comment line. A malformed row stops the generator
with the file, the line and the reason, so the build fails instead of compiling wrong data.
"""
import argparse
import collections
import os
import re
import sys

BLOCKS = {'dm': 1, 'cfg': 2, 'work': 3}
BLOCK_SIZE = {'dm': 1236, 'cfg': 1020, 'work': 3228}
VTYPES = {'s8': 1, 's16': 2, 's32': 3, 'u8': 4, 'u16': 5, 'u32': 6, 'ansi': 7, 'wtext': 8, 'block': 9}


class SourceError(Exception):
    pass


def rows_of(path):
    """Yields (line number, fields) of every row of a source file."""
    with open(path, encoding='utf-8') as f:
        for n, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith('#'):
                continue
            yield n, line


def fail(path, line, msg):
    raise SourceError('%s:%d: %s' % (os.path.basename(path), line, msg))


def to_int(path, line, text):
    try:
        return int(text, 0)
    except ValueError:
        fail(path, line, 'not a number: %r' % text)


def values_of(path, line, text):
    """Parses 'a b c..d' into a list of numbers."""
    out = []
    for word in text.split():
        if '..' in word:
            a, b = word.split('..', 1)
            a, b = to_int(path, line, a), to_int(path, line, b)
            if b < a:
                fail(path, line, 'empty range %s' % word)
            out.extend(range(a, b + 1))
        else:
            out.append(to_int(path, line, word))
    return out


def opt(text):
    return None if text == '-' else text


def load(src):
    t = collections.OrderedDict()
    p = lambda n: os.path.join(src, n)

    # translation tables
    xlat = collections.OrderedDict()
    for n, line in rows_of(p('xlat.txt')):
        name, _, rest = line.partition(' ')
        if name in xlat:
            fail(p('xlat.txt'), n, 'table %s defined twice' % name)
        parts = []
        for part in rest.split('|'):
            rows = []
            for pair in part.split():
                s, _, v = pair.partition(':')
                if not _:
                    fail(p('xlat.txt'), n, 'expected stored:valueid, got %r' % pair)
                vid = 0xFFFF if v == '-' else to_int(p('xlat.txt'), n, v)
                if vid == 0 or not 0 < vid <= 0xFFFF:
                    fail(p('xlat.txt'), n, 'value id %r out of range (0 ends a part)' % v)
                rows.append((to_int(p('xlat.txt'), n, s), vid))
            if not rows:
                fail(p('xlat.txt'), n, 'empty part')
            parts.append(rows)
        if len(parts) > 2:
            fail(p('xlat.txt'), n, 'a table has at most two parts')
        xlat[name] = parts
    t['xlat'] = xlat

    # names table
    symbols = []
    by_name = {}
    keys = set()
    for n, line in rows_of(p('symbols.txt')):
        f = line.split()
        if len(f) != 3:
            fail(p('symbols.txt'), n, 'expected: key name item')
        key, name, item = to_int(p('symbols.txt'), n, f[0]), f[1], to_int(p('symbols.txt'), n, f[2])
        if key in keys or name in by_name:
            fail(p('symbols.txt'), n, 'duplicate key or name %s' % name)
        if not 0 < key < 0x8000:
            fail(p('symbols.txt'), n, 'key out of range')
        keys.add(key)
        by_name[name] = key
        symbols.append((key, name, item))
    t['symbols'] = symbols
    t['symkey'] = by_name

    # option items
    items = []
    for n, line in rows_of(p('items.txt')):
        f = line.split()
        if len(f) != 13:
            fail(p('items.txt'), n, 'expected 13 columns, got %d' % len(f))
        it = dict(id=to_int(p('items.txt'), n, f[0]), name=opt(f[1]), block=f[2], type=f[3],
                  size=to_int(p('items.txt'), n, f[4]), offset=to_int(p('items.txt'), n, f[5]),
                  cls=to_int(p('items.txt'), n, f[6]), section=opt(f[7]), key=opt(f[8]), xlat=opt(f[9]),
                  out=to_int(p('items.txt'), n, f[10]), state=to_int(p('items.txt'), n, f[11]),
                  symbol=opt(f[12]), line=n)
        if it['block'] not in BLOCKS:
            fail(p('items.txt'), n, 'unknown block %s' % it['block'])
        m = re.fullmatch(r'bit(\d+)', it['type'])
        if m:
            bit = int(m.group(1))
            if it['size'] not in (1, 2, 4) or bit >= it['size'] * 8:
                fail(p('items.txt'), n, 'bit %d does not fit a field of %d bytes' % (bit, it['size']))
            it['vt'] = 16 + bit
        elif it['type'] in VTYPES:
            it['vt'] = VTYPES[it['type']]
        else:
            fail(p('items.txt'), n, 'unknown type %s' % it['type'])
        if it['offset'] + it['size'] > BLOCK_SIZE[it['block']] or it['size'] <= 0:
            fail(p('items.txt'), n, 'field outside its block')
        if it['xlat'] and it['xlat'] not in xlat:
            fail(p('items.txt'), n, 'unknown translation table %s' % it['xlat'])
        if it['symbol'] and it['symbol'] not in by_name:
            fail(p('items.txt'), n, 'unknown symbol %s' % it['symbol'])
        if it['cls'] not in (0, 1, 2):
            fail(p('items.txt'), n, 'storage class must be 0, 1 or 2')
        if items and it['id'] <= items[-1]['id']:
            fail(p('items.txt'), n, 'ids must ascend')
        items.append(it)
    t['items'] = items
    t['row'] = {it['id']: k for k, it in enumerate(items)}
    constant_of = {}
    for it in items:
        c = item_constant(it)
        if not re.fullmatch(r'[A-Za-z_][A-Za-z0-9_]*', c):
            fail(p('items.txt'), it['line'], 'the item\'s constant %s is not an identifier' % c)
        if c in constant_of:
            fail(p('items.txt'), it['line'], 'the item\'s constant %s is also item %d\'s' % (c, constant_of[c]))
        constant_of[c] = it['id']
        it['constant'] = c
    for key, name, item in symbols:
        if item and item not in t['row']:
            raise SourceError('symbols.txt: %s names item %d, which has no row' % (name, item))

    # value symbols
    values = []
    vid_of = {}
    for n, line in rows_of(p('values.txt')):
        f = line.split()
        if len(f) != 5:
            fail(p('values.txt'), n, 'expected: item owner valueid stored name')
        item = to_int(p('values.txt'), n, f[0])
        owner = 0 if f[1] == '-' else by_name.get(f[1])
        if owner is None:
            fail(p('values.txt'), n, 'unknown owner %s' % f[1])
        vid = to_int(p('values.txt'), n, f[2])
        stored = None if f[3] == '-' else to_int(p('values.txt'), n, f[3])
        name = f[4]
        if item and item not in t['row']:
            fail(p('values.txt'), n, 'item %d has no row' % item)
        if (item == 0) != (stored is None):
            fail(p('values.txt'), n, 'a free constant (item 0) has no stored value, a stored item has one')
        if vid_of.setdefault(name, vid) != vid:
            fail(p('values.txt'), n, 'value name %s stands for two value ids' % name)
        values.append((item, owner, vid, stored, name))
    t['values'] = values

    msgs = []
    for n, line in rows_of(p('messages.txt')):
        f = line.split()
        if len(f) != 4:
            fail(p('messages.txt'), n, 'expected: key text caption name')
        msgs.append((to_int(p('messages.txt'), n, f[0]), to_int(p('messages.txt'), n, f[1]),
                     to_int(p('messages.txt'), n, f[2]), f[3]))
    t['messages'] = msgs

    def keyed_lists(fname, check_item):
        out = []
        for n, line in rows_of(p(fname)):
            k, sep, rest = line.partition(':')
            if not sep:
                fail(p(fname), n, 'expected "key: values"')
            k = to_int(p(fname), n, k.strip())
            vals = values_of(p(fname), n, rest)
            if not vals:
                fail(p(fname), n, 'empty list')
            if check_item and k not in t['row']:
                fail(p(fname), n, 'item %d has no row' % k)
            out.append((k, vals))
        return out

    t['lists'] = keyed_lists('valuelists.txt', True)
    t['groups'] = keyed_lists('groups.txt', False)
    for k, (idx, _) in enumerate(t['groups']):
        if idx != k:
            raise SourceError('groups.txt: groups must be numbered 0, 1, 2, ... in order')

    dialogs = []
    for n, line in rows_of(p('dialogs.txt')):
        f = line.split()
        if len(f) != 4:
            fail(p('dialogs.txt'), n, 'expected: id name kind help')
        if f[1] not in by_name:
            fail(p('dialogs.txt'), n, 'dialog name %s is not in the names table' % f[1])
        dialogs.append(dict(id=to_int(p('dialogs.txt'), n, f[0]), name=f[1],
                            kind=to_int(p('dialogs.txt'), n, f[2]), help=to_int(p('dialogs.txt'), n, f[3]),
                            controls=[]))
    dlg_by_id = {d['id']: d for d in dialogs}
    order = []
    for n, line in rows_of(p('controls.txt')):
        f = line.split()
        if len(f) != 12:
            fail(p('controls.txt'), n, 'expected 12 columns')
        did = to_int(p('controls.txt'), n, f[0])
        if did not in dlg_by_id:
            fail(p('controls.txt'), n, 'unknown dialog %d' % did)
        if order and order[-1] != did and did in order:
            fail(p('controls.txt'), n, 'the controls of dialog %d are not together' % did)
        if not order or order[-1] != did:
            order.append(did)
        if f[2] not in by_name:
            fail(p('controls.txt'), n, 'control name %s is not in the names table' % f[2])
        item = None if f[4] == '-' else to_int(p('controls.txt'), n, f[4])
        if item is not None and item not in t['row']:
            fail(p('controls.txt'), n, 'item %d has no row' % item)
        extra = f[10]
        kind, extra_items = 0, None
        if extra.startswith('kind'):
            kind = to_int(p('controls.txt'), n, extra[4:])
        elif extra.startswith('items:'):
            extra_items = values_of(p('controls.txt'), n, extra[6:].replace(',', ' '))
        elif extra != '-':
            fail(p('controls.txt'), n, 'extra must be -, kindN or items:list')
        ints = [to_int(p('controls.txt'), n, x) for x in (f[1], f[3], f[5], f[6], f[7], f[8], f[9], f[11])]
        dlg_by_id[did]['controls'].append(dict(id=ints[0], name=f[2], type=ints[1], item=item, help=ints[2],
                                               tip=ints[3], info=ints[4], link=ints[5], action=ints[6],
                                               kind=kind, extra_items=extra_items, flags=ints[7]))
    if order != [d['id'] for d in dialogs]:
        raise SourceError('controls.txt: dialogs must follow the order of dialogs.txt')
    t['dialogs'] = dialogs
    return t


def item_constant(it):
    """The name of an item's id constant in item_ids.h: ITEM_ and the item's field name; for an
    item without a field name, ITEM_ and its description name; for an item with neither,
    ITEM_<block>_<offset>, with _bit<N> added for a bit item (ITEM_work_12_bit4)."""
    if it['name']:
        return 'ITEM_' + it['name']
    if it['symbol']:
        return 'ITEM_' + it['symbol']
    m = re.fullmatch(r'bit(\d+)', it['type'])
    return 'ITEM_%s_%d%s' % (it['block'], it['offset'], '_bit' + m.group(1) if m else '')


def ids_text(t):
    L = []
    w = L.append
    w('// Generated by common/tables/gentables.py from common/tables/items.txt: edit the sources, not this file.')
    w('// One constant per option item, named as gentables.py item_constant() says.')
    w('#pragma once')
    w('')
    w('#include "win32.h"')
    w('')
    for it in t['items']:
        w('constexpr WORD %s = %d;' % (it['constant'], it['id']))
    return '\n'.join(L) + '\n'


def c_wstr(s):
    return 'nullptr' if s is None else 'u"%s"' % s


def c_str(s):
    return 'nullptr' if s is None else '"%s"' % s


def c_ident(s):
    return re.sub(r'\W', '_', s)


def emit_cpp(t, out):
    L = []
    w = L.append
    w('// Generated by common/tables/gentables.py from common/tables/*.txt: edit the sources, not this file.')
    w('#include "tables/template_tables.h"')
    w('')
    xl_rows = {}
    for name, parts in t['xlat'].items():
        rows = []
        for part in parts:
            rows.extend('{%d, 0x%04X, 0}' % (s, v) for s, v in part)
            rows.append('{0, 0, 0}')
        xl_rows[name] = len(rows)
        w('static const VALUE_XLAT_ROW kXlat_%s[] = {%s};' % (c_ident(name), ', '.join(rows)))
    w('')
    w('const KV_XLAT_TABLE_REF g_kvXlatTables[] = {')
    for name in t['xlat']:
        w('    {"%s", kXlat_%s, %d},' % (name, c_ident(name), xl_rows[name]))
    w('};')
    w('const SHORT g_kvXlatTableCount = %d;' % len(t['xlat']))
    w('')
    symkey = t['symkey']
    w('OPTION_ITEM g_kvOptionItems[] = {')
    for it in t['items']:
        tw = 'KV_TYPEWORD(%d, %d, %d)' % (BLOCKS[it['block']], it['vt'], it['size'])
        xl = 'kXlat_%s' % c_ident(it['xlat']) if it['xlat'] else 'nullptr'
        key = symkey[it['symbol']] if it['symbol'] else 0
        w('    {%d, %d, %s, %d, %d, %s, %s, %s, %d, 0x%04X, 0, %s},' % (
            it['id'], key, tw, it['offset'], it['cls'], c_wstr(it['section']), c_wstr(it['key']), xl,
            it['out'], it['state'], c_wstr(it['name'])))
    w('};')
    w('const SHORT g_kvOptionItemCount = %d;' % len(t['items']))
    w('')
    w('const SYMBOL_ENTRY g_kvSymbols[] = {')
    for key, name, item in t['symbols']:
        w('    {%d, %d, "%s"},' % (item, key, name))
    w('};')
    w('const SHORT g_kvSymbolCount = %d;' % len(t['symbols']))
    w('')
    w('const VALUE_SYMBOL g_kvValueSymbols[] = {')
    for item, owner, vid, stored, name in t['values']:
        w('    {%d, %d, %d, 0, %d, "%s", %d},' % (item, owner, vid, 0 if item == 0 else 1, name,
                                                  0 if stored is None else stored))
    w('};')
    w('const SHORT g_kvValueSymbolCount = %d;' % len(t['values']))
    w('')
    w('const MESSAGE_ENTRY g_kvMessages[] = {')
    for key, text, caption, name in t['messages']:
        w('    {%d, %d, %d, 0, "%s", 0},' % (key, text, caption, name))
    w('};')
    w('const SHORT g_kvMessageCount = %d;' % len(t['messages']))
    w('')
    for k, vals in t['lists']:
        w('static const LONG kList_%d[] = {%s};' % (k, ', '.join(str(v) for v in vals)))
    w('const VALUE_LIST_ROW g_kvItemValueLists[] = {')
    for k, vals in t['lists']:
        w('    {%d, %d, kList_%d},' % (k, len(vals), k))
    w('    {0, 0, nullptr},')
    w('};')
    w('const SHORT g_kvItemValueListCount = %d;' % len(t['lists']))
    w('')
    for k, vals in t['groups']:
        w('static const LONG kGroup_%d[] = {%s};' % (k, ', '.join(str(v) for v in vals)))
    w('const VALUE_LIST_ROW g_kvItemGroups[] = {')
    for k, vals in t['groups']:
        w('    {0xFFFF, %d, kGroup_%d},' % (len(vals), k))
    w('    {0, 0, nullptr},')
    w('};')
    w('const SHORT g_kvItemGroupCount = %d;' % len(t['groups']))
    w('')
    for d in t['dialogs']:
        for c in d['controls']:
            if c['extra_items']:
                w('static WORD kExtra_%d_%d[] = {%s, 0};' % (d['id'], c['id'],
                                                              ', '.join(str(v) for v in c['extra_items'])))
    w('CONTROL_RECORD g_kvControls[] = {')
    first = {}
    n = 0
    kinds = []
    for d in t['dialogs']:
        first[d['id']] = n
        for c in d['controls']:
            item = '&g_kvOptionItems[%d]' % t['row'][c['item']] if c['item'] is not None else 'nullptr'
            extra = 'kExtra_%d_%d' % (d['id'], c['id']) if c['extra_items'] else 'nullptr'
            w('    {%d, %d, %d, 0, %d, %d, %d, %d, 0, %d, nullptr, %s, nullptr, %s, 0x%08Xu, 0, 0, nullptr},' % (
                symkey[c['name']], c['id'], c['type'], c['help'], c['tip'], c['info'], c['link'], c['action'],
                item, extra, c['flags']))
            kinds.append(c['kind'])
            n += 1
    w('};')
    w('const SHORT g_kvControlCount = %d;' % n)
    w('const WORD g_kvControlExtraKinds[] = {%s};' % ', '.join(str(k) for k in kinds))
    w('')
    w('DIALOG_RECORD g_kvDialogs[] = {')
    for d in t['dialogs']:
        w('    {%d, %d, 0x%X, 0, "%s", %d, &g_kvControls[%d], 0, %d, nullptr},' % (
            d['id'], symkey[d['name']], d['kind'], d['name'], d['help'], first[d['id']], len(d['controls'])))
    w('};')
    w('const SHORT g_kvDialogCount = %d;' % len(t['dialogs']))
    w('')
    emit_name_index(w, 'g_kvSymbolName', [name for _, name, _ in t['symbols']])
    emit_name_index(w, 'g_kvValueSymbolName', [v[4] for v in t['values']])
    text = '\n'.join(L) + '\n'
    write_if_changed(out, text)


def name_hash(name):
    """32-bit FNV-1a over the name's bytes; item_find.cpp computes the same."""
    h = 0x811C9DC5
    for b in name.encode('utf-8'):
        h = ((h ^ b) * 0x01000193) & 0xFFFFFFFF
    return h


def emit_name_index(w, prefix, names):
    """Writes an open-addressing hash index (linear probing, at most half full) over names:
    <prefix>Rows[slot] is a row number of the table or -1 for an empty slot, <prefix>Hashes[slot]
    the hash of that row's name. A name that appears on several rows is indexed at its first
    row, which is the row a search from the top of the table finds."""
    size = 16
    while size < 2 * len(names):
        size *= 2
    rows = [-1] * size
    hashes = [0] * size
    seen = set()
    for row, name in enumerate(names):
        if name in seen:
            continue
        seen.add(name)
        h = name_hash(name)
        slot = h & (size - 1)
        while rows[slot] >= 0:
            slot = (slot + 1) & (size - 1)
        rows[slot] = row
        hashes[slot] = h
    w('// Hash index of the names above (see gentables.py, emit_name_index).')
    w('extern const SHORT %sRows[];' % prefix)
    w('extern const DWORD %sHashes[];' % prefix)
    w('extern const DWORD %sMask;' % prefix)
    w('const DWORD %sMask = 0x%Xu;' % (prefix, size - 1))
    for k in range(0, size, 16):
        w(('const SHORT %sRows[] = {' % prefix if k == 0 else '') +
          ' '.join('%d,' % r for r in rows[k:k + 16]) + ('};' if k + 16 >= size else ''))
    for k in range(0, size, 8):
        w(('const DWORD %sHashes[] = {' % prefix if k == 0 else '') +
          ' '.join('0x%08Xu,' % h for h in hashes[k:k + 8]) + ('};' if k + 8 >= size else ''))


def write_if_changed(path, text):
    try:
        with open(path, encoding='utf-8') as f:
            if f.read() == text:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, 'w', encoding='utf-8') as f:
        f.write(text)


def type_text(it):
    return it['type'] if not it['type'].startswith('bit') else 'bit %s of %d bytes' % (it['type'][3:], it['size'])


def docs_text(t):
    L = []
    w = L.append
    w('# Names of the template tables')
    w('')
    w('Generated by `common/tables/gentables.py --docs docs/names.md` from `common/tables/*.txt`; do not edit.')
    w('The test `tables_names_doc_current` fails when this file is older than the sources; regenerate it with')
    w('`python3 common/tables/gentables.py --src common/tables --docs docs/names.md`.')
    w('')
    w('The printer description names items, dialogs, controls and messages by the names of the names table,')
    w('and values by the value names below. An item is reached in the description by its *description name*:')
    w('the names-table entry whose key its option row carries (for items shown by a control, the control\'s')
    w('name). Blocks: `dm` the DEVMODE, `cfg` the printer configuration block, `work` the work block;')
    w('offsets are bytes from the start of the block.')
    w('')
    w('## Where the names are used in the code')
    w('')
    w('The tables are compiled into the common library (common/, one folder per concern, lowest layer first):')
    w('`tables/` holds these sources, the generator and the generated `tables/item_ids.h`, whose constant')
    w('`ITEM_<field name>` (or `ITEM_<description name>` for an item without a field name) is how code names')
    w('an item; `os/` platform queries, printer data and the driver\'s registry values; `files/` INI files and')
    w('paths; `items/` looks items up and reads and writes their fields; `model/` holds the model record,')
    w('state items and paper fit; `desc/` the description reader and grammar that resolve these names;')
    w('`blob/` the compiled block; `names/` resource strings and DLLs; `hooks/` module hooks, model')
    w('notifications and snapshots; `store/` stored settings and font lists; `rules/` conditions and rules;')
    w('`checks/` the check table and the validation of stored values; `devmode/` the DEVMODE header,')
    w('defaults and versions; `context/` the driver context.')
    w('')
    symname = {k: n for k, n, _ in t['symbols']}
    names_of_item = collections.defaultdict(list)
    for k, n, it in t['symbols']:
        if it:
            names_of_item[it].append(n)
    w('## Items')
    w('')
    w('| id | field name | block | type | offset | description name | other names |')
    w('|---|---|---|---|---|---|---|')
    for it in t['items']:
        others = [n for n in names_of_item[it['id']] if n != it['symbol']]
        w('| %d | %s | %s | %s | %d | %s | %s |' % (
            it['id'], it['name'] or '-', it['block'], type_text(it), it['offset'], it['symbol'] or '-',
            ', '.join(others) or ''))
    w('')
    w('## Values')
    w('')
    w('Value names by item (item 0: free constants of the named group). The value id is what the description')
    w('and the rules use; the stored value is what the item\'s field holds.')
    w('')
    w('| item | owner | value name | value id | stored |')
    w('|---|---|---|---|---|')
    for item, owner, vid, stored, name in t['values']:
        w('| %d | %s | %s | %d | %s |' % (item, symname.get(owner, '-'), name, vid,
                                        '-' if stored is None else stored))
    w('')
    w('## Dialogs and controls')
    w('')
    for d in t['dialogs']:
        w('### %s (%d)' % (d['name'], d['id']))
        w('')
        w('| control id | name | type | item |')
        w('|---|---|---|---|')
        for c in d['controls']:
            w('| %d | %s | %d | %s |' % (c['id'], c['name'], c['type'], '-' if c['item'] is None else c['item']))
        w('')
    w('## Messages')
    w('')
    w('| key | name | text string id |')
    w('|---|---|---|')
    for key, text, caption, name in t['messages']:
        w('| %d | %s | %d |' % (key, name, text))
    w('')
    w('## Other names')
    w('')
    w('Names-table entries that are neither dialogs, controls, messages nor item names.')
    w('')
    w('| key | name | item |')
    w('|---|---|---|')
    taken = set(d['name'] for d in t['dialogs']) | set(m[3] for m in t['messages'])
    taken |= set(c['name'] for d in t['dialogs'] for c in d['controls'])
    for k, n, it in t['symbols']:
        if n in taken or (it and t['items'][t['row'][it]]['symbol'] == n):
            continue
        w('| %d | %s | %s |' % (k, n, it or '-'))
    return '\n'.join(L) + '\n'


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--src', default=os.path.dirname(os.path.abspath(__file__)))
    ap.add_argument('--out')
    ap.add_argument('--ids')
    ap.add_argument('--docs')
    ap.add_argument('--check-docs')
    a = ap.parse_args()
    try:
        t = load(a.src)
    except SourceError as e:
        print('gentables: %s' % e, file=sys.stderr)
        return 1
    if a.out:
        emit_cpp(t, a.out)
    if a.ids:
        write_if_changed(a.ids, ids_text(t))
    if a.docs:
        write_if_changed(a.docs, docs_text(t))
    if a.check_docs:
        try:
            with open(a.check_docs, encoding='utf-8') as f:
                current = f.read()
        except OSError:
            current = None
        if current != docs_text(t):
            print('gentables: %s is not up to date with the table sources; regenerate it with --docs'
                  % a.check_docs, file=sys.stderr)
            return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())

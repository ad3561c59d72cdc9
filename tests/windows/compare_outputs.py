#!/usr/bin/env python3
"""Compares what the Windows build (under Wine) and the Linux build wrote from the same
mailboxes. .eml, .emlx and .msg: the same files, byte for byte. .pst: each store read
by every independent reader (readpst, pffexport, pypff, pst-extractor) gives the same
result for both (a store's own identifiers differ from run to run, its messages do not).
Usage: compare_outputs.py KIND LINUX_DIR WINDOWS_DIR WORK_DIR [--js-readers NODE_MODULES]"""
import argparse
import filecmp
import hashlib
import json
import os
import re
import subprocess
import sys

failures = []


def fail(what):
    failures.append(what)
    print('FAIL: ' + what)


def tree(top):
    out = {}
    for d, _, files in os.walk(top):
        for f in files:
            p = os.path.join(d, f)
            out[os.path.relpath(p, top)] = p
    return out


# Lines that hold the time of the run (a message without a date gets the time it was
# stored), different in any two runs.
RUN_TIMES = (b'Creation time:', b'Modification time:')
# readpst numbers its MIME boundaries from a random generator seeded with the time:
# its runs on the two stores agree only when they fall in the same second.
READPST_BOUNDARY = re.compile(rb'LibPST-iamunique-\d+_')


def digest_tree(top, skip=()):
    """Relative path -> sha256 of every file below `top` (times of the run left out)."""
    out = {}
    for rel, p in tree(top).items():
        if os.path.basename(rel) in skip:
            continue
        with open(p, 'rb') as f:
            data = b'\n'.join(l for l in f.read().split(b'\n') if not l.startswith(RUN_TIMES))
        data = READPST_BOUNDARY.sub(b'LibPST-iamunique-N_', data)
        out[rel] = hashlib.sha256(data).hexdigest()
    return out


def pypff_dump(path):
    import pypff
    f = pypff.file()
    f.open(path)
    rows = []

    def walk(folder, where):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            body = m.plain_text_body or b''
            html = m.html_body or b''
            rows.append([where, m.subject, m.sender_name, hashlib.sha256(body).hexdigest(),
                         hashlib.sha256(html).hexdigest(), m.number_of_attachments,
                         hashlib.sha256((m.transport_headers or '').encode()).hexdigest()])
        for i in range(folder.number_of_sub_folders):
            sub = folder.get_sub_folder(i)
            walk(sub, where + '/' + (sub.name or ''))
    walk(f.get_root_folder(), '')
    f.close()
    return rows


def compare_pst(lin, win, work, js):
    lt, wt = tree(lin), tree(win)
    if sorted(lt) != sorted(wt):
        fail('pst: different files: linux %s, windows %s' % (sorted(lt), sorted(wt)))
        return
    for rel in sorted(lt):
        if not rel.endswith('.pst'):
            continue
        a, b = lt[rel], wt[rel]
        # readpst (always -j 0), one file per message.
        outs = []
        for side, p in (('linux', a), ('windows', b)):
            o = os.path.join(work, 'readpst', side, rel)
            os.makedirs(o, exist_ok=True)
            r = subprocess.run(['readpst', '-j', '0', '-D', '-M', '-q', '-o', o, p], capture_output=True)
            if r.returncode != 0:
                fail('readpst cannot read %s (%s): %s' % (rel, side, r.stderr.decode(errors='replace')[-300:]))
            outs.append(digest_tree(o))
        if outs[0] != outs[1]:
            fail('readpst reads %s differently (%d vs %d files)' % (rel, len(outs[0]), len(outs[1])))
        # pffexport: the items as text; the export log names the file, so it is left out.
        outs = []
        for side, p in (('linux', a), ('windows', b)):
            o = os.path.join(work, 'pffexport', side, rel)
            os.makedirs(os.path.dirname(o), exist_ok=True)
            r = subprocess.run(['pffexport', '-q', '-t', o, p], capture_output=True)
            if r.returncode != 0:
                fail('pffexport cannot read %s (%s)' % (rel, side))
            outs.append(digest_tree(o + '.export', skip=('Folder.txt',)) if os.path.isdir(o + '.export') else {})
        if outs[0] != outs[1] or not outs[0]:
            diff = sorted(k for k in set(outs[0]) | set(outs[1]) if outs[0].get(k) != outs[1].get(k))
            fail('pffexport reads %s differently: %s' % (rel, diff[:5]))
        # pypff
        try:
            da, db = pypff_dump(a), pypff_dump(b)
            if da != db or not da:
                fail('pypff reads %s differently (%d vs %d messages)' % (rel, len(da), len(db)))
        except ImportError:
            fail('pypff is not installed')
        # pst-extractor
        if js:
            script = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'readers', 'pst_extractor_dump.js')
            dumps = []
            for p in (a, b):
                r = subprocess.run(['node', script, p], capture_output=True, env=dict(os.environ, NODE_PATH=js))
                try:
                    d = json.loads(r.stdout.decode())
                except ValueError:
                    d = None
                dumps.append(d)
            # The dump is keyed by the file's path; only what was read inside is compared.
            def strip(d):
                return list(d.values()) if isinstance(d, dict) else d
            if dumps[0] is None or strip(dumps[0]) != strip(dumps[1]):
                fail('pst-extractor reads %s differently' % rel)
        print('pst %s: the same in readpst, pffexport, pypff%s' % (rel, ', pst-extractor' if js else ''))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('kind')
    ap.add_argument('linux')
    ap.add_argument('windows')
    ap.add_argument('work')
    ap.add_argument('--js-readers')
    a = ap.parse_args()
    if a.kind == 'pst':
        js = a.js_readers if a.js_readers and os.path.isdir(os.path.join(a.js_readers, 'pst-extractor')) else None
        compare_pst(a.linux, a.windows, a.work, js)
    else:
        lt, wt = tree(a.linux), tree(a.windows)
        if not lt:
            fail('%s: the Linux build wrote nothing' % a.kind)
        if sorted(lt) != sorted(wt):
            only_l = sorted(set(lt) - set(wt))[:5]
            only_w = sorted(set(wt) - set(lt))[:5]
            fail('%s: different files: only linux %s, only windows %s' % (a.kind, only_l, only_w))
        same = [r for r in lt if r in wt and filecmp.cmp(lt[r], wt[r], shallow=False)]
        for r in sorted(set(lt) & set(wt)):
            if r not in same:
                fail('%s: %s differs' % (a.kind, r))
        print('%s: %d of %d files byte-identical' % (a.kind, len(same), len(lt)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())

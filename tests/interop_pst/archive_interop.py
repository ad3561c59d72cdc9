#!/usr/bin/env python3
"""Archives as inputs, against the same mailboxes unpacked: real-world mailboxes
(tests/data/corpus/mbox, one also with CR LF line ends) are packed by Python's own
zipfile (deflate, Zip64 records), tarfile (.tar, .tgz) and gzip (.mbox.gz); brimvault-convert
converts the unpacked files and each archive. The .eml files must be byte-identical,
and the .pst stores must hold the same messages for readpst (-j 0), pypff and
pst-extractor.

Run by ctest (interop_archives)."""
import argparse
import gzip
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tarfile
import zipfile

try:
    import pypff
except ImportError:  # pragma: no cover
    pypff = None

FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print('FAIL:', what)
    return cond


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, **kw)


def files_below(root):
    """relative path -> sha256 of every file below `root`."""
    out = {}
    for base, _, names in os.walk(root):
        for n in names:
            p = os.path.join(base, n)
            with open(p, 'rb') as f:
                out[os.path.relpath(p, root)] = hashlib.sha256(f.read()).hexdigest()
    return out


def convert(tool, kind, dest, inputs):
    """Converts; only warnings may come (a message of the corpus lacks its closing
    MIME boundary, so the stores are made with a warning)."""
    shutil.rmtree(dest, ignore_errors=True)
    r = run([tool, '--to', kind, '-o', dest] + inputs)
    err = r.stderr.decode()
    check(r.returncode in (0, 1) and 'failed:' not in err and 'What failed' not in r.stdout.decode(),
          '%s %s: exit %d\n%s' % (kind, inputs, r.returncode, err[-2000:]))
    return r


def mirrored(dest, path):
    return os.path.join(dest, os.path.abspath(path).lstrip(os.sep))


def readpst_messages(store, work):
    """The message files readpst -j 0 -S writes, as a sorted list of their hashes (the
    MIME boundaries it makes up from the clock made alike)."""
    out = os.path.join(work, 'readpst')
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    r = run(['readpst', '-j', '0', '-S', '-o', out, store])
    check(r.returncode == 0, 'readpst %s: %s' % (store, r.stderr.decode()[-500:]))
    found = []
    for base, _, names in os.walk(out):
        for n in names:
            with open(os.path.join(base, n), 'rb') as f:
                text = re.sub(rb'LibPST-iamunique-\d+_', b'LibPST-iamunique-N_', f.read())
            found.append(hashlib.sha256(text).hexdigest())
    return sorted(found)


def pypff_messages(store):
    if not pypff:
        return None
    f = pypff.file()
    f.open(store)
    found = []

    def walk(folder):
        for i in range(folder.number_of_sub_messages):
            m = folder.get_sub_message(i)
            body = m.plain_text_body or b''
            found.append((m.subject or '', hashlib.sha256(body).hexdigest(), m.number_of_attachments))
        for i in range(folder.number_of_sub_folders):
            walk(folder.get_sub_folder(i))
    walk(f.get_root_folder())
    f.close()
    return sorted(found)


def extractor_messages(store, node_modules):
    script = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'readers',
                          'pst_extractor_dump.js')
    if not shutil.which('node') or not os.path.isdir(os.path.join(node_modules or '', 'pst-extractor')):
        return None
    r = run(['node', script, store], env=dict(os.environ, NODE_PATH=node_modules), timeout=300)
    if not check(r.returncode == 0, 'pst-extractor %s: %s' % (store, r.stderr.decode()[-500:])):
        return []
    summary = json.loads(r.stdout)[store]
    check('exception' not in summary, 'pst-extractor %s: %s' % (store, summary.get('exception')))
    return sorted(json.dumps(m, sort_keys=True) for fo in summary.get('folders', []) for m in fo['messages'])


def readers_view(store, work, node_modules):
    return {'readpst': readpst_messages(store, work), 'pypff': pypff_messages(store),
            'pst-extractor': extractor_messages(store, node_modules)}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--corpus', required=True)
    ap.add_argument('--work', required=True)
    ap.add_argument('--js-readers')
    a = ap.parse_args()
    if not shutil.which('readpst'):
        print('readpst not installed')
        return 1
    work = os.path.abspath(a.work)
    shutil.rmtree(work, ignore_errors=True)
    unpacked = os.path.join(work, 'unpacked', 'Export', 'Mail')
    os.makedirs(unpacked)
    # Real-world mailboxes: one with LF line ends, the same with CR LF, and one with a
    # 5000-character base64 line.
    with open(os.path.join(a.corpus, 'mbox', 'mimekit', 'content-length.mbox.txt'), 'rb') as f:
        netscape = f.read()
    boxes = {
        'Netscape.mbox': netscape,
        'Netscape CRLF.mbox': netscape.replace(b'\r\n', b'\n').replace(b'\n', b'\r\n'),
        'Issue': open(os.path.join(a.corpus, 'mbox', 'mimekit', 'issue1189.mbox.txt'), 'rb').read(),
    }
    for name, data in boxes.items():
        with open(os.path.join(unpacked, name), 'wb') as f:
            f.write(data)
    members = sorted(boxes)
    inputs = [os.path.join(unpacked, n) for n in members]

    arch = os.path.join(work, 'archives')
    os.makedirs(arch)
    archives = {}
    p = os.path.join(arch, 'export-1.zip')
    with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z:
        z.writestr('Export/', b'')
        z.writestr('Export/index.html', b'<html></html>')
        for n in members:
            with z.open('Export/Mail/' + n, 'w', force_zip64=True) as w:  # Zip64 records
                w.write(boxes[n])
    archives['zip'] = p
    for kind, mode, name in (('tar', 'w', 'export-1.tar'), ('tgz', 'w:gz', 'export-1.tgz')):
        p = os.path.join(arch, name)
        with tarfile.open(p, mode, format=tarfile.PAX_FORMAT) as t:
            t.add(os.path.join(work, 'unpacked', 'Export'), arcname='Export')
        archives[kind] = p
    gz = os.path.join(arch, 'Netscape.mbox.gz')
    with gzip.open(gz, 'wb') as g:
        g.write(netscape)

    # .eml: byte-identical files, in the folders the members' paths give.
    dest = os.path.join(work, 'eml-unpacked')
    convert(a.tool, 'eml', dest, inputs)
    expected = {n: files_below(mirrored(dest, os.path.join(unpacked, n))) for n in members}
    check(all(expected.values()), 'the unpacked mailboxes gave no .eml files')
    for kind, path in archives.items():
        d = os.path.join(work, 'eml-' + kind)
        r = convert(a.tool, 'eml', d, [path])
        for n in members:
            got = files_below(os.path.join(mirrored(d, path), 'Export', 'Mail', n))
            check(got == expected[n], '%s: %s: %d .eml files unlike the unpacked mailbox\'s %d'
                  % (kind, n, len(got), len(expected[n])))
        check(files_below(d).keys() == {os.path.join(os.path.relpath(mirrored(d, path), d), 'Export', 'Mail', n, f)
                                       for n in members for f in expected[n]},
              '%s: files written besides the mailboxes\' messages' % kind)
    d = os.path.join(work, 'eml-gz')
    convert(a.tool, 'eml', d, [gz])
    check(files_below(os.path.join(mirrored(d, gz), 'Netscape.mbox')) == expected['Netscape.mbox'],
          'mbox.gz: the .eml files differ from the unpacked mailbox\'s')

    # .pst: a store per mailbox, named after it; every reader sees the same messages.
    dest = os.path.join(work, 'pst-unpacked')
    convert(a.tool, 'pst', dest, inputs)
    stores = sorted(n for n in os.listdir(dest) if n.endswith('.pst'))
    check(stores == sorted(n.replace('.mbox', '') + '.pst' for n in members), 'unpacked stores: %r' % stores)
    views = {s: readers_view(os.path.join(dest, s), work, a.js_readers) for s in stores}
    for s, v in views.items():
        check(len(v['readpst']) > 0, 'readpst finds no message in the unpacked %s' % s)
    for kind, path in list(archives.items()) + [('gz', gz)]:
        d = os.path.join(work, 'pst-' + kind)
        convert(a.tool, 'pst', d, [path])
        for s in (stores if kind != 'gz' else ['Netscape.pst']):
            store = os.path.join(d, s)
            if not check(os.path.exists(store), '%s: no store %s' % (kind, s)):
                continue
            got = readers_view(store, work, a.js_readers)
            for reader, view in got.items():
                if view is None:
                    print('SKIP: %s is not available' % reader)
                    continue
                check(view == views[s][reader], '%s: %s: %s sees other messages than in the unpacked store '
                      '(%d messages, %d there)' % (kind, s, reader, len(view), len(views[s][reader])))
    print('%d failure(s)' % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == '__main__':
    sys.exit(main())

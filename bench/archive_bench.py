#!/usr/bin/env python3
"""Archives against unpacked mailboxes; see archive_bench.sh."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def sh(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def mount_tmpfs(path, size):
    os.makedirs(path, exist_ok=True)
    return subprocess.run(['mount', '-t', 'tmpfs', '-o', 'size=%d' % size, 'tmpfs', path],
                          capture_output=True).returncode == 0


def umount(path):
    subprocess.run(['umount', path], capture_output=True)


def timed(tool, kind, dest, src, env=None):
    """(seconds, peak KB, exit code, CPU seconds, CPU seconds of the main thread) of one
    conversion into a fresh `dest`. The main thread runs the conversion (read, cut,
    write); its CPU time is the run's critical path when a core is free for the other
    threads (read-ahead, import workers, store writer). Sampled from /proc every 5 ms."""
    shutil.rmtree(dest, ignore_errors=True)
    os.makedirs(dest)
    tick = os.sysconf('SC_CLK_TCK')
    start = time.monotonic()
    p = subprocess.Popen([tool, '--to', kind, '-o', dest, src], stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, env=env)
    main_cpu = 0.0
    while True:
        try:
            with open('/proc/%d/task/%d/stat' % (p.pid, p.pid)) as f:
                fields = f.read().rsplit(')', 1)[1].split()
            main_cpu = (int(fields[11]) + int(fields[12])) / tick
        except (OSError, IndexError):
            pass
        pid, status, usage = os.wait4(p.pid, os.WNOHANG)
        if pid:
            break
        time.sleep(0.005)
    wall = time.monotonic() - start
    err = p.stderr.read().decode('utf-8', 'replace')
    rc = os.waitstatus_to_exitcode(status)
    if rc != 0:
        print(err[-600:], file=sys.stderr)
    return wall, usage.ru_maxrss, rc, usage.ru_utime + usage.ru_stime, main_cpu


def du(path):
    total = 0
    for base, _, names in os.walk(path):
        for n in names:
            total += os.path.getsize(os.path.join(base, n))
    return total


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--tool', required=True)
    ap.add_argument('--runs', type=int, default=5)
    ap.add_argument('--kinds', default='eml,pst')
    ap.add_argument('--size-mb', type=float, default=200)
    ap.add_argument('--no-tight', action='store_true')
    a = ap.parse_args()
    tool = os.path.abspath(a.tool)
    data = os.path.join(HERE, 'data', 'archives')
    os.makedirs(data, exist_ok=True)
    box = os.path.join(data, 'Inbox.mbox')
    if not os.path.exists(box):
        sh([sys.executable, os.path.join(HERE, 'gen_mbox.py'), box, '--size-mb', str(a.size_mb), '--avg-kb', '20'])
    zpath, tpath = os.path.join(data, 'export.zip'), os.path.join(data, 'export.tar')
    if not os.path.exists(zpath) or os.path.getmtime(zpath) < os.path.getmtime(box):
        with zipfile.ZipFile(zpath + '.part', 'w', zipfile.ZIP_DEFLATED) as z:
            z.write(box, 'Export/Mail/Inbox.mbox')
        os.replace(zpath + '.part', zpath)
    if not os.path.exists(tpath) or os.path.getmtime(tpath) < os.path.getmtime(box):
        with tarfile.open(tpath + '.part', 'w') as t:
            t.add(box, 'Export/Mail/Inbox.mbox')
        os.replace(tpath + '.part', tpath)
    print('mailbox %.0f MB, zip %.0f MB, tar %.0f MB' % (os.path.getsize(box) / 2**20, os.path.getsize(zpath) / 2**20,
                                                          os.path.getsize(tpath) / 2**20))

    root = tempfile.mkdtemp(prefix='bv-archive-bench-')
    out = os.path.join(root, 'out')
    mounted = os.geteuid() == 0 and mount_tmpfs(out, 4 << 30)
    if not mounted:
        shutil.rmtree(root)
        root = tempfile.mkdtemp(prefix='bv-archive-bench-', dir='/dev/shm')
        out = os.path.join(root, 'out')
    sources = {'unpacked': box, 'zip': zpath, 'tar': tpath}
    ok = True
    try:
        for kind in a.kinds.split(','):
            times = {s: [] for s in sources}
            peaks = {s: [] for s in sources}
            cpu = {s: [] for s in sources}
            main_cpu = {s: [] for s in sources}
            for _ in range(a.runs):  # alternated: unpacked, zip, tar, unpacked, ...
                for s, path in sources.items():
                    t, kb, rc, c, mc = timed(tool, kind, os.path.join(out, s), path)
                    main_cpu[s].append(mc)
                    ok &= rc == 0
                    times[s].append(t)
                    cpu[s].append(c)
                    peaks[s].append(kb)
                    shutil.rmtree(os.path.join(out, s), ignore_errors=True)
            base = statistics.median(times['unpacked'])
            main_base = statistics.median(main_cpu['unpacked'])
            for s in sources:
                m = statistics.median(times[s])
                mc = statistics.median(main_cpu[s])
                print('%-4s %-9s median %6.2f s (%s)  x%.3f  CPU %5.2f s, main thread %5.2f s x%.3f  peak %4d MB' % (
                    kind, s, m, ' '.join('%.2f' % x for x in times[s]), m / base, statistics.median(cpu[s]),
                    mc, mc / main_base, max(peaks[s]) // 1024))
        if not a.no_tight:
            ok &= tight(tool, root, box, zpath)
    finally:
        if mounted:
            umount(out)
        shutil.rmtree(root, ignore_errors=True)
    return 0 if ok else 1


def tight(tool, root, box, zpath):
    """The .zip converted with TMPDIR on a 4 MB tmpfs and the destination on a tmpfs
    only a little larger than the outputs, far from room for a second copy."""
    if os.geteuid() != 0:
        print('low-space run skipped: mounting needs root')
        return True
    ok = True
    tmp = os.path.join(root, 'tmp')
    if not mount_tmpfs(tmp, 4 << 20):
        print('low-space run skipped: tmpfs cannot be mounted here')
        return True
    env = dict(os.environ, TMPDIR=tmp)
    try:
        for kind in ('eml', 'pst'):
            big = os.path.join(root, 'big')
            mount_tmpfs(big, 4 << 30)
            try:
                timed(tool, kind, os.path.join(big, 'x'), box)
                need = du(os.path.join(big, 'x'))
                st = os.statvfs(big)
                used = (st.f_blocks - st.f_bfree) * st.f_frsize  # with each file's last page
            finally:
                umount(big)
            # What the outputs take there plus 16 MB: a second copy of the mailbox
            # cannot fit.
            size = used + (16 << 20)
            assert size < used + os.path.getsize(box)
            dest = os.path.join(root, 'dest')
            mount_tmpfs(dest, size)
            try:
                t, kb, rc, _, _ = timed(tool, kind, os.path.join(dest, 'x'), zpath, env=env)
                got = du(os.path.join(dest, 'x'))
                good = rc == 0 and abs(got - need) < (1 << 20)
                print('low space %s: zip -> tmpfs of %d MB (outputs %d MB), TMPDIR 4 MB: %s in %.1f s, peak %d MB' % (
                    kind, size >> 20, need >> 20, 'ok' if good else 'FAILED (exit %d, %d bytes)' % (rc, got), t, kb // 1024))
                ok &= good
            finally:
                umount(dest)
    finally:
        umount(tmp)
    return ok


if __name__ == '__main__':
    sys.exit(main())

"""brimvault-convert under faults: folders that cannot be listed, inputs that cannot
be read, destinations that cannot be written, a 2 GiB line, the destination inside
the input folder, folder links that loop, and SIGINT / SIGTERM in the middle of
.eml, .msg and .pst runs. Each case checks the exit status, what the report names
and which files exist (complete ones only)."""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from interop_common import TempDirTest as Tmp, cli, converted, out_folder, read_bytes, tree, validate  # noqa: E402

TOOL = sys.argv[1]
VALIDATE = sys.argv[2] if len(sys.argv) > 2 else ""
del sys.argv[1:3]

IS_ROOT = os.geteuid() == 0
SETPRIV = shutil.which("setpriv")


def run(*args, as_nobody=False, timeout=600):
    if as_nobody:
        return cli(SETPRIV, "--reuid=65534", "--regid=65534", "--clear-groups", TOOL, *args, timeout=timeout)
    return cli(TOOL, *args, timeout=timeout)


def mailbox(n, body=100, first=1):
    parts = []
    for i in range(first, first + n):
        parts.append("From s%d@example.org Mon Dec  7 08:00:00 2026\nSubject: %d\n\n%s\n" % (i, i, "x" * body))
    return "".join(parts)


def eml_of(n, body=100):
    return ("From s%d@example.org Mon Dec  7 08:00:00 2026\r\nSubject: %d\r\n\r\n%s\r\n" % (n, n, "x" * body)).encode()


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def can_mount():
    if not IS_ROOT or not shutil.which("mount"):
        return False
    d = tempfile.mkdtemp()
    try:
        ok = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", d], capture_output=True).returncode == 0
        if ok:
            subprocess.run(["umount", d])
        return ok
    finally:
        os.rmdir(d)


CAN_MOUNT = can_mount()


class Mount:
    """A tmpfs on a fresh folder: size-limited, or read-only."""

    def __init__(self, options):
        self.path = tempfile.mkdtemp()
        subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", self.path], check=True)

    def __enter__(self):
        return self.path

    def __exit__(self, *exc):
        subprocess.run(["umount", self.path])
        os.rmdir(self.path)



@unittest.skipUnless(IS_ROOT and SETPRIV, "needs root to run the tool as nobody")
class Permissions(Tmp):
    """Root may read and list anything, so these run the tool as nobody."""

    def test_a_folder_below_the_chosen_one_that_cannot_be_listed(self):
        src = os.path.join(self.tmp, "src")
        write(os.path.join(src, "a.mbox"), mailbox(3))
        write(os.path.join(src, "locked", "b.mbox"), mailbox(2))
        os.chmod(os.path.join(src, "locked"), 0o000)
        dest = os.path.join(self.tmp, "out")
        os.makedirs(dest)
        os.chmod(dest, 0o777)
        r = run("--to", "eml", "-o", dest, src, as_nobody=True)
        self.assertEqual(r.returncode, 1, r.stderr)
        locked = os.path.join(src, "locked")
        self.assertRegex(r.stderr, "^failed: %s/?: Cannot read the folder %s/?: Permission denied\n$"
                         % (re.escape(locked), re.escape(locked)))
        self.assertIn("not converted: 1 folder(s)", r.stdout)
        self.assertEqual(converted(r.stdout), (1, 3))
        self.assertEqual(tree(dest), [os.path.relpath(os.path.join(out_folder(dest, src), "a.mbox", "email-%d.eml" % i), dest)
                                      for i in (1, 2, 3)])

    def test_an_input_that_cannot_be_read_and_a_destination_that_cannot_be_written(self):
        a = os.path.join(self.tmp, "a.mbox")
        b = os.path.join(self.tmp, "b.mbox")
        write(a, mailbox(2))
        write(b, mailbox(2))
        os.chmod(a, 0o644)
        os.chmod(b, 0o000)
        dest = os.path.join(self.tmp, "out")
        os.makedirs(dest)
        os.chmod(dest, 0o777)
        r = run("--to", "eml", "-o", dest, a, b, as_nobody=True)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn("failed: %s: cannot open the file: Permission denied" % b, r.stderr)
        self.assertEqual(converted(r.stdout), (1, 2))
        self.assertIn("not converted: 1 mailbox(es)", r.stdout)

        locked = os.path.join(self.tmp, "locked")
        os.makedirs(locked)
        os.chmod(locked, 0o555)
        for kind in ("eml", "emlx", "msg", "pst"):
            r = run("--to", kind, "-o", locked, a, as_nobody=True)
            self.assertEqual(r.returncode, 1, (kind, r.stderr))
            self.assertNotIn("successfully", r.stdout, kind)
            self.assertEqual(converted(r.stdout), (0, 0), kind)
            self.assertEqual(os.listdir(locked), [], kind)
            if kind == "pst":
                self.assertIn("brimvault-convert: Cannot create the store %s/a.pst: Permission denied.\n" % locked,
                              r.stderr, kind)
            else:
                self.assertIn("cannot create the output folder", r.stderr, kind)


class Destinations(Tmp):
    def test_destination_that_cannot_be_created(self):
        a = os.path.join(self.tmp, "a.mbox")
        write(a, mailbox(1))
        blocker = os.path.join(self.tmp, "file")
        write(blocker, "x")
        r = run("--to", "eml", "-o", os.path.join(blocker, "out"), a)
        self.assertEqual(r.returncode, 1)
        self.assertIn("cannot create the destination folder", r.stderr)

    @unittest.skipUnless(CAN_MOUNT, "cannot mount a tmpfs here")
    def test_read_only_destination(self):
        a = os.path.join(self.tmp, "a.mbox")
        write(a, mailbox(2))
        with Mount("ro,size=1m") as dest:
            for kind in ("eml", "msg", "pst"):
                r = run("--to", kind, "-o", dest, a)
                self.assertEqual(r.returncode, 1, (kind, r.stderr))
                self.assertNotIn("successfully", r.stdout, kind)
                self.assertEqual(converted(r.stdout), (0, 0), kind)
                if kind == "pst":
                    # The cause leads: which file, why; nothing about installing anything.
                    self.assertTrue(r.stderr.startswith("brimvault-convert: Cannot create the store %s/a.pst: "
                                                        "Read-only file system.\n" % dest), r.stderr)
                    self.assertNotIn("Outlook", r.stderr)
                    self.assertNotIn("install", r.stderr)
                    self.assertEqual(r.stderr.count("Read-only file system"), 1, r.stderr)
                else:
                    self.assertIn("cannot create the output folder", r.stderr, kind)

    def test_destination_inside_the_input_folder(self):
        # Run twice: the files of the first run are not taken as mailboxes by the
        # second, and the input stays as it was.
        src = os.path.join(self.tmp, "src")
        write(os.path.join(src, "a.mbox"), mailbox(3))
        before = read_bytes(os.path.join(src, "a.mbox"))
        dest = os.path.join(src, "out")
        for attempt in (1, 2):
            r = run("--to", "eml", "-o", dest, src)
            self.assertEqual(r.returncode, 0, (attempt, r.stderr))
            # The second run finds every message file there already.
            self.assertEqual(converted(r.stdout), (1, 3 if attempt == 1 else 0), attempt)
            self.assertEqual("; all 3 message(s) already there" in r.stdout, attempt == 2, r.stdout)
            self.assertEqual(tree(dest), [os.path.relpath(os.path.join(out_folder(dest, src), "a.mbox", "email-%d.eml" % i), dest)
                                          for i in (1, 2, 3)], attempt)
        self.assertEqual(read_bytes(os.path.join(src, "a.mbox")), before)
        # .pst into the same place: the .eml files there and the store of the first
        # .pst run are not read as mailboxes; the second run finds its messages there.
        for attempt in (1, 2):
            r = run("--to", "pst", "-o", dest, src)
            self.assertEqual(r.returncode, 0, (attempt, r.stderr))
            self.assertEqual(converted(r.stdout), (1, 3 if attempt == 1 else 0), attempt)
            self.assertEqual([n for n in tree(dest) if not n.endswith(".eml")], ["a.pst"])
        if VALIDATE:
            status, count, text = validate(VALIDATE, os.path.join(dest, "a.pst"))
            self.assertEqual((status, count), (0, 3), text)

    def test_folder_links_that_loop(self):
        src = os.path.join(self.tmp, "src")
        write(os.path.join(src, "sub", "a.mbox"), mailbox(2))
        os.symlink(src, os.path.join(src, "sub", "up"))
        os.symlink("..", os.path.join(src, "sub", "parent"))
        os.symlink(".", os.path.join(src, "self"))
        start = time.time()
        r = run("--to", "eml", "-o", os.path.join(self.tmp, "out"), src, timeout=120)
        self.assertLess(time.time() - start, 60)
        self.assertEqual(r.returncode, 0, r.stderr[-2000:])
        self.assertEqual(converted(r.stdout), (1, 2))


DISK_FULL = "the disk is full (No space left on device); the conversion stopped there"


@unittest.skipUnless(CAN_MOUNT, "cannot mount a tmpfs here")
class DiskFull(Tmp):
    """A real small disk: the run stops at the first write that finds it full, with one
    failure naming the file; what was written is complete; a store is removed, or
    left as it was before the run."""

    def inputs(self, messages=400, body=4000):
        a = os.path.join(self.tmp, "in", "a.mbox")
        b = os.path.join(self.tmp, "in", "b.mbox")
        write(a, mailbox(messages, body))
        write(b, mailbox(messages, body))
        return a, b

    def one_disk_full_failure(self, r, where):
        self.assertEqual(r.returncode, 1, r.stderr[-2000:])
        lines = r.stderr.splitlines()
        self.assertEqual(len(lines), 1, r.stderr[-2000:])
        self.assertRegex(lines[0], "^failed: %s: %s$" % (where, re.escape(DISK_FULL)))

    def test_eml_and_msg_files_written_before_are_complete_and_the_run_stops(self):
        a, b = self.inputs()
        for kind in ("eml", "msg"):
            with Mount("size=512k") as dest:
                start = time.time()
                r = run("--to", kind, "-o", dest, a, b)
                self.assertLess(time.time() - start, 30, kind)
                folder = out_folder(dest, a)
                name = "email-" if kind == "eml" else "Email-"
                self.one_disk_full_failure(r, re.escape(folder + "/" + name) + r"\d+\." + kind)
                self.assertFalse(os.path.exists(out_folder(dest, b)), "the run stopped at the first mailbox")
                names = os.listdir(folder)
                self.assertGreater(len(names), 5, kind)
                self.assertEqual(converted(r.stdout), (0, len(names)), (kind, r.stdout))
                self.assertIn("not converted: 1 mailbox(es), ", r.stdout)
                for n in names:
                    data = read_bytes(os.path.join(folder, n))
                    if kind == "eml":
                        self.assertEqual(data, eml_of(int(n[6:-4]), 4000), n)
                    else:
                        self.assertEqual(data[:8], b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", n)
                        self.assertEqual(len(data) % 512, 0, n)

    def test_a_store_is_removed_or_left_as_it_was(self):
        a, b = self.inputs()
        small = os.path.join(self.tmp, "small", "a.mbox")
        write(small, mailbox(2))
        for single in (False, True):
            extra = ["--single-pst"] if single else []
            with Mount("size=1m") as dest:
                r = run("--to", "pst", *extra, "-o", dest, a, b)
                store = re.escape(dest) + ("/Brimvault[^/]*\\.pst" if single else "/a\\.pst")
                self.one_disk_full_failure(r, store)
                self.assertEqual(converted(r.stdout), (0, 0), r.stdout)
                self.assertEqual(tree(dest), [], "no store, no temporary file")
        # A store there before the run: the run adds to it in place, finds the disk full
        # and leaves it as it was: the same header (the same commit) and size, valid,
        # with its messages. (Blocks written into its free space are unreferenced.)
        with Mount("size=2m") as dest:
            r = run("--to", "pst", "-o", dest, small)
            self.assertEqual(r.returncode, 0, r.stderr)
            before = read_bytes(os.path.join(dest, "a.pst"))
            r = run("--to", "pst", "-o", dest, a)
            self.one_disk_full_failure(r, re.escape(dest + "/a.pst"))
            self.assertEqual(tree(dest), ["a.pst"])
            after = read_bytes(os.path.join(dest, "a.pst"))
            self.assertEqual((len(after), after[:564]), (len(before), before[:564]))
            if VALIDATE:
                status, count, text = validate(VALIDATE, os.path.join(dest, "a.pst"))
                self.assertEqual((status, count), (0, 2), text)

    def test_out_of_room_for_a_mailbox_folder(self):
        # Few inodes: the disk fills while a file or a mailbox's folder is made.
        a = os.path.join(self.tmp, "in", "a", "a.mbox")
        b = os.path.join(self.tmp, "in", "b", "b.mbox")
        write(a, mailbox(1))
        write(b, mailbox(1))
        failed_at = set()
        for inodes in range(3, 16):
            with Mount("size=1m,nr_inodes=%d" % inodes) as dest:
                r = run("--to", "eml", "-o", dest, a, b)
                if r.returncode == 0:
                    break
                self.one_disk_full_failure(r, ".*")
                failed_at.add(os.path.relpath(r.stderr.split(": ")[1], dest))
                self.assertEqual(converted(r.stdout)[1], len(tree(dest)), inodes)
        self.assertIn(os.path.relpath(out_folder("/", b), "/"), failed_at, "one run stopped at the second mailbox's folder")
        self.assertEqual(r.returncode, 0, "with room enough the run converts both")

    def test_two_gigabyte_line_without_a_line_end(self):
        # One message of 2 GiB and a bit (a sparse file), onto a disk of 64 MiB: the
        # write fails, nothing is left behind, the report says so.
        big = os.path.join(self.tmp, "big.mbox")
        with open(big, "wb") as f:
            f.write(b"From a@example.org Mon Dec  7 08:00:00 2026\n")
            f.truncate((2 << 30) + 100)
        with Mount("size=64m") as dest:
            start = time.time()
            r = run("--to", "eml", "-o", dest, big, timeout=900)
            self.one_disk_full_failure(r, re.escape(out_folder(dest, big) + "/email-1.eml"))
            self.assertIn("not converted: 1 mailbox(es), 1 message(s)", r.stdout)
            self.assertEqual(converted(r.stdout), (0, 0))
            self.assertEqual(os.listdir(out_folder(dest, big)), [])
            print("2 GiB line: %.1f s" % (time.time() - start), file=sys.stderr)


@unittest.skipUnless(VALIDATE, "pst-validate is not built")
class Signals(Tmp):
    def start(self, kind, *extra, boxes=1, messages=20000):
        inputs = []
        for i in range(boxes):
            p = os.path.join(self.tmp, "in", "box%d.mbox" % i)
            write(p, mailbox(messages, 300))
            inputs.append(p)
        dest = os.path.join(self.tmp, "out")
        p = subprocess.Popen([TOOL, "--to", kind, *extra, "-o", dest, *inputs],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        return p, dest, inputs

    def wait_for(self, cond, p):
        deadline = time.time() + 120
        while time.time() < deadline and p.poll() is None and not cond():
            time.sleep(0.02)
        self.assertIsNone(p.poll(), "finished before the signal could be sent")

    def store_growing(self, dest):
        """True once a store is being written and has passed 2 MiB."""
        if not os.path.isdir(dest):
            return False
        names = os.listdir(dest)
        return any(".partial" in n for n in names) and \
            sum(os.path.getsize(os.path.join(dest, n)) for n in names if os.path.exists(os.path.join(dest, n))) > 2 << 20

    def stop(self, p, sig):
        p.send_signal(sig)
        out, err = p.communicate(timeout=300)
        self.assertEqual(p.returncode, 128 + sig, err)
        self.assertIn("stopped by %s" % ("SIGINT" if sig == signal.SIGINT else "SIGTERM"), err)
        self.assertNotIn("successfully", out)
        return out, err

    def test_sigterm_in_a_single_store_leaves_it_readable_with_what_was_reported(self):
        p, dest, _ = self.start("pst", "--single-pst", boxes=2)
        self.wait_for(lambda: self.store_growing(dest), p)
        out, err = self.stop(p, signal.SIGTERM)
        files = [n for n in os.listdir(dest) if os.path.isfile(os.path.join(dest, n))]
        stores = [n for n in files if n.endswith(".pst")]
        self.assertEqual(sorted(files), stores, "no temporary file is left")
        self.assertEqual(len(stores), 1)
        status, count, text = validate(VALIDATE, os.path.join(dest, stores[0]))
        self.assertEqual(status, 0, text)
        self.assertEqual(count, converted(out)[1])
        self.assertGreater(count, 0)
        self.assertLess(count, 40000)

    def test_sigint_with_a_store_per_mailbox(self):
        p, dest, inputs = self.start("pst", boxes=2)
        self.wait_for(lambda: self.store_growing(dest), p)
        out, err = self.stop(p, signal.SIGINT)
        self.assertEqual([n for n in os.listdir(dest) if os.path.isfile(os.path.join(dest, n))], ["box0.pst"])
        status, count, text = validate(VALIDATE, os.path.join(dest, "box0.pst"))
        self.assertEqual(status, 0, text)
        self.assertEqual(count, converted(out)[1])

    def test_sigterm_in_msg_and_eml_runs_leaves_complete_files(self):
        for kind in ("msg", "eml"):
            p, dest, inputs = self.start(kind)
            folder = out_folder(dest, inputs[0])
            self.wait_for(lambda: os.path.isdir(folder) and len(os.listdir(folder)) > 50, p)
            out, err = self.stop(p, signal.SIGTERM)
            names = os.listdir(folder)
            self.assertEqual(len(names), converted(out)[1], kind)
            for name in names:
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                if kind == "eml":
                    self.assertEqual(data, eml_of(int(name[6:-4]), 300))
                else:
                    self.assertEqual(data[:8], b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")
                    self.assertEqual(len(data) % 512, 0)
            shutil.rmtree(dest)
            shutil.rmtree(os.path.join(self.tmp, "in"))


if __name__ == "__main__":
    unittest.main(verbosity=2)

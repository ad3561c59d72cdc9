"""brimvault-convert's contract: usage and exit codes, message counts and bytes
against Python's mailbox module, failure reporting, and SIGINT handling."""
import mailbox
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from interop_common import TempDirTest, cli, out_folder  # noqa: E402

TOOL = sys.argv[1]
CORPUS = sys.argv[2]
del sys.argv[1:3]


def run(*args, **kw):
    return cli(TOOL, *args, **kw)


class Usage(unittest.TestCase):
    def test_help_names_the_exit_codes_and_version_answers_to_both_spellings(self):
        r = run("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn("usage:", r.stdout)
        self.assertIn("--by-label", r.stdout)
        self.assertIn("Exit status:", r.stdout)
        for code in ("0 ", "1 ", "2 ", "130 "):
            self.assertRegex(r.stdout, r"\n  %s" % code)
        for flag in ("--version", "-V"):
            r = run(flag)
            self.assertEqual((r.returncode, r.stdout.strip(), r.stderr), (0, "brimvault-convert 2.0", ""), flag)

    def test_a_usage_error_is_one_line_naming_it_and_where_to_look(self):
        for args, reason in [((), "--to is required"), (("--to", "xyz", "-o", "d", "f"), "unknown output kind"),
                             (("--to", "eml", "f"), "-o DEST is required"), (("--to", "eml", "-o", "d"), "no input"),
                             (("--to", "eml", "--single-pst", "-o", "d", "f"), "--single-pst goes with --to pst"),
                             (("--to", "pst", "--max-pst-size", "12X", "-o", "d", "f"), "--max-pst-size takes a size"),
                             (("--to", "eml", "--max-pst-size", "1M", "-o", "d", "f"), "--max-pst-size goes with --to pst"),
                             (("--to",), "--to needs an output kind"), (("--bogus",), "unknown option --bogus")]:
            r = run(*args)
            self.assertEqual(r.returncode, 2, args)
            self.assertEqual(r.stdout, "", args)
            lines = r.stderr.splitlines()
            self.assertEqual(len(lines), 2, (args, r.stderr))
            self.assertTrue(lines[0].startswith("brimvault-convert: ") and reason in lines[0], (args, lines[0]))
            self.assertEqual(lines[1], "Try 'brimvault-convert --help'.")


class AgainstPythonMailbox(TempDirTest):
    # Files where the mbox rules of both agree (no BOM, no unescaped "From " in bodies).
    FILES = ["mbox/gmime/input/substring.mbox", "mbox/mimekit/content-length.mbox.txt",
             "mbox/mimekit/issue1189.mbox.txt"]

    def test_counts_and_bytes_agree(self):
        inputs = [os.path.join(CORPUS, f) for f in self.FILES]
        dest = os.path.join(self.tmp, "out")
        r = run("--to", "eml", "-o", dest, *inputs)
        self.assertEqual(r.returncode, 0, r.stderr)
        for path in inputs:
            box = mailbox.mbox(path, create=False)
            keys = list(box.keys())
            folder = out_folder(dest, path)
            names = sorted(os.listdir(folder), key=lambda n: int(n[6:-4]))
            self.assertEqual(names, ["email-%d.eml" % (i + 1) for i in range(len(keys))], path)
            for i, key in enumerate(keys):
                with open(os.path.join(folder, "email-%d.eml" % (i + 1)), "rb") as f:
                    ours = f.read()
                self.assertTrue(ours.startswith(b"From "))
                self.assertNotIn(b"\n", ours.replace(b"\r\n", b""), "every line end is CR LF")
                body = ours.split(b"\r\n", 1)[1].replace(b"\r\n", b"\n")
                self.assertEqual(body.rstrip(b"\n"), box.get_bytes(key).rstrip(b"\n"), (path, i))

    def test_folder_input_and_emlx(self):
        src = os.path.join(self.tmp, "src")
        os.makedirs(os.path.join(src, "sub"))
        shutil.copy(os.path.join(CORPUS, self.FILES[0]), os.path.join(src, "sub", "b.mbox"))
        shutil.copy(os.path.join(CORPUS, self.FILES[2]), os.path.join(src, "a.mbox"))
        dest = os.path.join(self.tmp, "out")
        r = run("--to", "emlx", "-o", dest, src)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("2 mailbox(es) and 7 message(s)", r.stdout)
        path = os.path.join(out_folder(dest, os.path.join(src, "a.mbox")), "email-1.emlx")
        with open(path, "rb") as f:
            data = f.read()
        count, rest = data.split(b"\n", 1)
        n = int(count)
        self.assertTrue(rest[n:].startswith(b"<?xml"))
        self.assertNotIn(b"\r", rest[:n])


class ByLabel(TempDirTest):
    BOX = ("From a\nSubject: 1\nX-Brimvault-Labels: Inbox,Unread\n\nx\n"
           "From b\nSubject: 2\n\ny\n"
           "From c\nSubject: 3\nX-Brimvault-Labels: Inbox\n\nz\n")

    def test_messages_per_folder_follow_the_summary_lines_only_when_asked(self):
        box = os.path.join(self.tmp, "m.mbox")
        with open(box, "w") as f:
            f.write(self.BOX)
        r = run("--to", "eml", "-o", os.path.join(self.tmp, "plain"), box)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertNotIn("Messages per folder", r.stdout)
        self.assertEqual(sorted(os.listdir(out_folder(os.path.join(self.tmp, "plain"), box))),
                         ["email-1.eml", "email-2.eml", "email-3.eml"])
        dest = os.path.join(self.tmp, "sorted")
        r = run("--to", "eml", "--by-label", "-o", dest, box)
        self.assertEqual(r.returncode, 0, r.stderr)
        lines = r.stdout.splitlines()
        self.assertEqual(lines[0], "1 mailbox(es) and 3 message(s) converted into %s/" % dest)
        self.assertEqual(lines[1:], ["Messages per folder:", "Folder   Messages",
                                               "Archive         1", "Inbox           2"])
        folder = out_folder(dest, box)
        self.assertEqual(sorted(os.listdir(os.path.join(folder, "Inbox"))), ["email-1.eml", "email-3.eml"])

    def test_labels_no_system_label_names_warned_then_mapped(self):
        # An account in a language the built-in names do not know: one warning naming
        # the most frequent labels (exit 1); a label map then sorts it cleanly.
        box = os.path.join(self.tmp, "m.mbox")
        with open(box, "w", encoding="utf-8") as f:
            for i, labels in enumerate(["Innboks,Ulest", "Innboks", "Prosjekt"]):
                f.write("From a\nSubject: %d\nX-Brimvault-Labels: %s\n\nx\n" % (i, labels))
        r = run("--to", "eml", "--by-label", "-o", os.path.join(self.tmp, "a"), box)
        self.assertEqual(r.returncode, 1, r.stderr)
        self.assertIn('no message carried a label known as Inbox, Sent, Unread or another system label', r.stderr)
        self.assertIn('"Innboks" (2), "Prosjekt" (1), "Ulest" (1). A label map (--label-map)', r.stderr)
        self.assertEqual(r.stderr.count("--label-map"), 1)

        labelmap = os.path.join(self.tmp, "map.txt")
        with open(labelmap, "w", encoding="utf-8") as f:
            f.write("# mine\ninnboks = Inbox\nULEST = unread\n")
        dest = os.path.join(self.tmp, "b")
        r = run("--to", "eml", "--by-label", "--label-map", labelmap, "-o", dest, box)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(r.stdout.splitlines()[3:], ["Inbox            2", "Prosjekt         1"])

        # A map that cannot be used stops the command before it starts.
        with open(labelmap, "a", encoding="utf-8") as f:
            f.write("Prosjekt Work\n")
        for args, why in ((["--label-map", labelmap], labelmap + ", line 4: no \"=\" between the label and what it means"),
                          (["--label-map", os.path.join(self.tmp, "none.txt")], "cannot read the label map "),
                          (["--label-map"], "--label-map needs a file")):
            r = run("--to", "eml", "--by-label", "-o", os.path.join(self.tmp, "c"), box, *args)
            self.assertEqual(r.returncode, 2, args)
            self.assertIn(why, r.stderr)
        r = run("--to", "eml", "--label-map", labelmap, "-o", os.path.join(self.tmp, "c"), box)
        self.assertEqual((r.returncode, r.stderr.splitlines()[0]), (2, "brimvault-convert: --label-map goes with --by-label"))
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "c")))


class NothingToConvert(TempDirTest):
    """No mailbox among the inputs is a failure (exit 1), never a success."""

    def test_an_empty_folder_for_every_kind(self):
        empty = os.path.join(self.tmp, "empty")
        os.makedirs(os.path.join(empty, "sub"))
        for kind, extra in (("eml", ()), ("msg", ()), ("pst", ()), ("pst", ("--single-pst",))):
            dest = os.path.join(self.tmp, "out-" + kind + "".join(extra))
            r = run("--to", kind, *extra, "-o", dest, empty)
            self.assertEqual(r.returncode, 1, (kind, extra))
            self.assertEqual(r.stderr, "brimvault-convert: nothing to convert: no mailbox among the inputs\n")
            self.assertEqual(r.stdout, "0 mailbox(es) and 0 message(s) converted into %s/\n" % dest)
            self.assertEqual(os.listdir(dest), [], (kind, extra))


class WhatIsAMailbox(TempDirTest):
    """A mailbox's first line, after a byte-order mark and blank lines, is a "From " line."""

    def test_text_is_not_a_mailbox_and_alone_is_nothing_to_convert(self):
        notes = os.path.join(self.tmp, "src", "notes.txt")
        os.makedirs(os.path.dirname(notes))
        with open(notes, "w") as f:
            f.write("Shopping list\nmilk\nFrom the bakery: bread\n")
        dest = os.path.join(self.tmp, "out")
        r = run("--to", "eml", "-o", dest, os.path.dirname(notes))
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.splitlines(), [
            'failed: %s: not a mailbox: its first line is not a "From " separator line' % notes,
            "brimvault-convert: nothing to convert: no mailbox among the inputs"])
        self.assertEqual(os.listdir(dest), [])
        # Beside a mailbox: that one converts, the text is named, the run is no success.
        box = os.path.join(self.tmp, "src", "m.mbox")
        with open(box, "w") as f:
            f.write("From a\nSubject: 1\n\nx\n")
        r = run("--to", "eml", "-o", dest, os.path.dirname(notes))
        self.assertEqual(r.returncode, 1)
        self.assertIn("failed: %s: not a mailbox" % notes, r.stderr)
        self.assertNotIn("nothing to convert", r.stderr)
        self.assertTrue(r.stdout.startswith("1 mailbox(es) and 1 message(s) converted"), r.stdout)
        self.assertFalse(os.path.exists(out_folder(dest, notes)))

    def test_a_bom_and_blank_lines_before_the_first_separator_make_no_message(self):
        for name, lead, eol in (("lf.mbox", b"\xef\xbb\xbf\n\n", b"\n"),
                                ("crlf.mbox", b"\xef\xbb\xbf\r\n \r\n", b"\r\n")):
            box = os.path.join(self.tmp, name)
            with open(box, "wb") as f:
                f.write(lead + eol.join([b"From a", b"Subject: 1", b"", b"x", b"From b", b"Subject: 2", b"", b"y", b""]))
            for kind in ("eml", "pst"):
                dest = os.path.join(self.tmp, kind + name)
                r = run("--to", kind, "-o", dest, box)
                self.assertEqual((r.returncode, r.stderr), (0, ""), (name, kind))
                self.assertTrue(r.stdout.startswith("1 mailbox(es) and 2 message(s) converted"), (name, kind))
            folder = out_folder(os.path.join(self.tmp, "eml" + name), box)
            self.assertEqual(sorted(os.listdir(folder)), ["email-1.eml", "email-2.eml"], name)
            with open(os.path.join(folder, "email-1.eml"), "rb") as f:
                self.assertEqual(f.read(), b"From a\r\nSubject: 1\r\n\r\nx\r\n", name)


class SameFileTwice(TempDirTest):
    def test_a_file_listed_under_several_spellings_is_read_once(self):
        box = os.path.join(self.tmp, "src", "m.mbox")
        os.makedirs(os.path.join(self.tmp, "src", "sub"))
        with open(box, "w") as f:
            f.write("From a\nSubject: 1\n\nx\nFrom b\nSubject: 2\n\ny\n")
        os.symlink(box, os.path.join(self.tmp, "link.mbox"))
        os.link(box, os.path.join(self.tmp, "hard.mbox"))
        spellings = [box, os.path.join(self.tmp, "src", "sub", "..", "m.mbox"), os.path.join(self.tmp, "link.mbox"),
                     os.path.join(self.tmp, "hard.mbox"), os.path.join(self.tmp, "src")]
        for kind in ("eml", "pst"):
            dest = os.path.join(self.tmp, "out-" + kind)
            r = run("--to", kind, "-o", dest, *spellings)
            self.assertEqual((r.returncode, r.stderr), (0, ""), kind)
            read_back = "; read back: 2 items in 1 folders, as written" if kind == "pst" else ""
            self.assertEqual(r.stdout, "1 mailbox(es) and 2 message(s) converted into %s/%s\n" % (dest, read_back), kind)
        self.assertEqual(os.listdir(os.path.join(self.tmp, "out-pst")), ["m.pst"])
        self.assertEqual(sorted(os.listdir(out_folder(os.path.join(self.tmp, "out-eml"), box))),
                         ["email-1.eml", "email-2.eml"])


class Report(TempDirTest):
    """The report is plain: one summary line on stdout, each failure once on stderr."""

    def test_a_clean_run_prints_one_summary_line_and_nothing_else(self):
        box = os.path.join(self.tmp, "m.mbox")
        with open(box, "w") as f:
            f.write("From a\nSubject: 1\n\nx\nFrom b\nSubject: 2\n\ny\n")
        for kind in ("eml", "pst"):
            dest = os.path.join(self.tmp, kind)
            r = run("--to", kind, "-o", dest, box)
            self.assertEqual(r.returncode, 0, r.stderr)
            # A store is read back: the line says so.
            read_back = "; read back: 2 items in 1 folders, as written" if kind == "pst" else ""
            self.assertEqual(r.stdout, "1 mailbox(es) and 2 message(s) converted into %s/%s\n" % (dest, read_back), kind)
            self.assertEqual(r.stderr, "", kind)

    def test_each_failure_once_on_stderr_and_the_counts_on_stdout(self):
        good = os.path.join(self.tmp, "good.mbox")
        with open(good, "w") as f:
            f.write("From a\nSubject: x\n\nbody\n")
        missing = os.path.join(self.tmp, "missing.mbox")
        r = run("--to", "eml", "-o", os.path.join(self.tmp, "out"), good, missing)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr, "failed: %s: cannot open the file: No such file or directory\n" % missing)
        self.assertEqual(r.stdout, "1 mailbox(es) and 1 message(s) converted into %s/; not converted: "
                         "1 mailbox(es)\n" % os.path.join(self.tmp, "out"))
        for text in (r.stdout, r.stderr):
            self.assertNotIn("*", text)
            self.assertNotIn("Outlook", text)
            self.assertNotIn("successfully", text)


class Progress(TempDirTest):
    def test_on_a_terminal_the_share_read_is_one_line_redrawn_and_cleared_at_the_end(self):
        import pty
        box = os.path.join(self.tmp, "m.mbox")
        with open(box, "w") as f:
            f.write("From a\nSubject: 1\n\nx\n" * 2000)
        master, slave = pty.openpty()
        p = subprocess.Popen([TOOL, "--to", "eml", "-o", os.path.join(self.tmp, "out"), box],
                             stdout=subprocess.PIPE, stderr=slave)
        os.close(slave)
        seen = b""
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:  # the terminal's other end is closed
                break
            if not chunk:
                break
            seen += chunk
        out = p.communicate(timeout=60)[0]
        os.close(master)
        self.assertEqual(p.returncode, 0)
        self.assertTrue(out.startswith(b"1 mailbox(es) and 2000 message(s)"), out)
        self.assertNotIn(b"\n", seen, "one line, redrawn in place")
        self.assertIn(b"\r\x1b[K100% Mailbox 1 (of 1) m.mbox", seen)
        self.assertTrue(seen.endswith(b"\r\x1b[K"), seen[-80:])
        # Not a terminal: no progress at all.
        box = os.path.join(self.tmp, "m.mbox")
        with open(box, "w") as f:
            f.write("From a\nSubject: 1\n\nx\n")
        self.assertEqual(run("--to", "eml", "-o", os.path.join(self.tmp, "out"), box).stderr, "")


class StoreError(TempDirTest):
    def test_a_store_of_one_mailbox_that_cannot_be_opened_costs_that_mailbox(self):
        box = os.path.join(self.tmp, "m.mbox")
        with open(box, "w") as f:
            f.write("From a\nSubject: 1\n\nx\n")
        dest = os.path.join(self.tmp, "out")
        os.makedirs(dest)
        with open(os.path.join(dest, "m.pst"), "w") as f:
            f.write("a shopping list, not a store")
        # A store of one mailbox that cannot be opened costs that mailbox only.
        other = os.path.join(self.tmp, "n.mbox")
        with open(other, "w") as f:
            f.write("From a\nSubject: 1\n\nx\n")
        r = run("--to", "pst", "-o", dest, box, other)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(r.stderr.splitlines(), ["failed: %s/m.pst: not a .pst store that can be opened: "
                                                 "HEADER size too small for a .pst header" % dest], r.stderr)
        self.assertTrue(os.path.exists(os.path.join(dest, "n.pst")))
        self.assertNotIn("Outlook", r.stderr + r.stdout)
        with open(os.path.join(dest, "m.pst")) as f:
            self.assertEqual(f.read(), "a shopping list, not a store")


class Signals(TempDirTest):
    def test_sigint_finishes_the_message_in_hand_and_exits_130(self):
        box = os.path.join(self.tmp, "big.mbox")
        with open(box, "w") as f:
            for i in range(300000):
                f.write("From a@b Mon Dec  7 08:00:00 2026\nSubject: %d\n\nbody %d\n\n" % (i, i))
        dest = os.path.join(self.tmp, "out")
        p = subprocess.Popen([TOOL, "--to", "eml", "-o", dest, box], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, text=True)
        folder = out_folder(dest, box)
        deadline = time.time() + 30
        while time.time() < deadline and not (os.path.isdir(folder) and len(os.listdir(folder)) > 100):
            time.sleep(0.01)
        p.send_signal(signal.SIGINT)
        out, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 130, err)
        names = os.listdir(folder)
        self.assertLess(len(names), 300000)
        for name in names:  # every file there is complete
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            n = int(name[6:-4]) - 1
            self.assertEqual(data, b"From a@b Mon Dec  7 08:00:00 2026\r\nSubject: %d\r\n\r\nbody %d\r\n\r\n" % (n, n))


if __name__ == "__main__":
    unittest.main(verbosity=2)

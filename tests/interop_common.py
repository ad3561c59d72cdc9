"""What the interop and command-line test scripts share: collecting failures, running
the tools (brimvault-convert, pst-validate, the JavaScript readers of tests/readers),
temporary folders, the files a run leaves, and reading the named properties of our
stores (the name-to-ID map through pstdump, the values through pypff)."""
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), 'interop_pst'))
import pstdump  # noqa: E402

FAILURES = []

PS_MAPI = bytes.fromhex('2803020000000000c000000000000046')
PS_PUBLIC_STRINGS = bytes.fromhex('2903020000000000c000000000000046')
PSETID_COMMON = bytes.fromhex('0820060000000000c000000000000046')
KEYWORDS = (PS_PUBLIC_STRINGS, 'Keywords')
FLAG_REQUEST = (PSETID_COMMON, 0x8530)
PR_MESSAGE_FLAGS = 0x0E07
PR_FLAG_STATUS = 0x1090


def check(cond, what):
    """Records a failure (and prints it) when `cond` is false; returns `cond`."""
    if not cond:
        FAILURES.append(what)
        print('FAIL:', what)
    return cond


def finish():
    """The script's exit code after printing the failure count."""
    print('%d failure(s)' % len(FAILURES))
    return 1 if FAILURES else 0


def run(cmd, text=False, **kw):
    return subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=text, **kw)


def cli(tool, *args, timeout=600, **kw):
    """brimvault-convert (`tool`) run with `args`; its output as text."""
    return run([tool, *args], text=True, timeout=timeout, **kw)


def converted(stdout):
    """(mailboxes, messages) from the summary line of a run, None without one."""
    m = re.search(r"(\d+) mailbox\(es\) and (\d+) message\(s\) converted", stdout)
    return (int(m.group(1)), int(m.group(2))) if m else None


def out_folder(dest, path):
    """Where a run puts the output of input `path`: its absolute path below `dest`."""
    return os.path.join(dest, os.path.abspath(path).lstrip(os.sep))


def tree(folder):
    """Every file below `folder`, as sorted relative paths."""
    out = []
    for root, _, files in os.walk(folder):
        out += [os.path.relpath(os.path.join(root, f), folder) for f in files]
    return sorted(out)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def validate(validator, pst):
    """(exit status, message count, report) from pst-validate (`validator`)."""
    r = run([validator, pst], text=True, timeout=300)
    m = re.search(r"(\d+) messages\s*$", r.stdout.strip())
    return r.returncode, int(m.group(1)) if m else -1, r.stdout


def js_reader(node_modules, package, args, timeout=None):
    """The JSON a JavaScript reader prints: node with `args` (its script, the files),
    `package` found in `node_modules` (tests/readers). None when it cannot run: node is
    absent (a skip, said so), or the package is missing or the reader fails (failures)."""
    if not shutil.which("node"):
        print("SKIP: node is not installed: the %s checks are skipped" % package)
        return None
    if not node_modules or not os.path.isdir(os.path.join(node_modules, package)):
        check(False, "%s is not installed in %s: run scripts/install-deps.sh" % (package, node_modules))
        return None
    r = run(["node", *args], text=True, env=dict(os.environ, NODE_PATH=node_modules), timeout=timeout)
    if not check(r.returncode == 0, "%s failed: %s" % (package, r.stderr[:300])):
        return None
    return json.loads(r.stdout)


class TempDirTest(unittest.TestCase):
    """A test case with a fresh temporary folder, `self.tmp`, removed afterwards even
    where a test took the permissions away."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp()
        os.chmod(self.tmp, 0o755)

    def tearDown(self):
        for root, dirs, _ in os.walk(self.tmp):
            for d in dirs:
                path = os.path.join(root, d)
                if not os.path.islink(path):
                    os.chmod(path, 0o755)
        shutil.rmtree(self.tmp, ignore_errors=True)


def multi_unicode(data):
    """The strings of a PT_MV_UNICODE value as a store keeps it."""
    n = struct.unpack_from('<I', data)[0]
    offs = list(struct.unpack_from('<%dI' % n, data, 4)) + [len(data)]
    return [data[offs[i]:offs[i + 1]].decode('utf-16-le').rstrip('\0') for i in range(n)]


def name_entries(guids, entries, strings):
    """Property id -> (property set GUID, name or LID), from the GUID, entry and string
    streams of a name-to-ID map (the same records in a .msg and a .pst)."""
    out = {}
    for i in range(0, len(entries) - 7, 8):
        key, word, index = struct.unpack_from('<IHH', entries, i)
        g = word >> 1
        if g == 1:
            guid = PS_MAPI
        elif g == 2:
            guid = PS_PUBLIC_STRINGS
        elif 16 * (g - 3) + 16 <= len(guids):
            guid = guids[16 * (g - 3):16 * (g - 2)]
        else:
            continue
        if word & 1:
            n = struct.unpack_from('<I', strings, key)[0]
            name = strings[key + 4:key + 4 + n].decode('utf-16-le', 'replace')
        else:
            name = key
        out[0x8000 + index] = (guid, name)
    return out


def named_ids(path):
    """(property set GUID, name or LID) -> property id, from the store's name-to-ID map."""
    p = pstdump.Pst(path)
    props = pstdump.read_pc(p, pstdump.node_of(p, 0x61))
    entries = name_entries(props.get(0x00020102, b''), props.get(0x00030102, b''), props.get(0x00040102, b''))
    return {name: pid for pid, name in entries.items()}


def pypff_messages(path, pypff):
    """Every message of a store as pypff reads it: (folder path below the top folder,
    subject, {property id: record entry})."""
    f = pypff.file()
    f.open(path)
    out = []

    def walk(folder, parts):
        for i in range(folder.get_number_of_sub_folders()):
            sub = folder.get_sub_folder(i)
            p = parts + (sub.name,)
            for k in range(sub.get_number_of_sub_messages()):
                m = sub.get_sub_message(k)
                rs = m.get_record_set(0)
                entries = {}
                for e in range(rs.get_number_of_entries()):
                    entry = rs.get_entry(e)
                    entries[entry.entry_type] = entry
                out.append((p, m.subject, entries))
            walk(sub, p)

    walk(f.get_root_folder(), ())
    f.close()
    return out

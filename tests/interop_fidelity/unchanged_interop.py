#!/usr/bin/python3
"""Nothing changed without a word, read back by independent readers.

Messages whose .msg and .pst once lost or changed text while the run said nothing: a
winmail.dat beside a text of the message's own, raw 8-bit header bytes in the charset
the message declares, a Date at the epoch, NUL characters in a body and in a
Message-ID. Each is converted by brimvault-convert to .msg and .pst, one mailbox per
message, and read back by @kenjiuno/msgreader and msgconvert (.msg) and pypff (.pst):
what a reader shows is the message's text, and what could not be stored as it was is
kept whole in a file with a warning.
"""
import argparse
import datetime
import email
import email.policy
import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
sys.path.insert(0, HERE)
from fidelity_interop import convert, output_of  # noqa: E402
from interop_common import check, finish, js_reader  # noqa: E402


def tnef(body):
    """A winmail.dat holding a plain text body (attBody)."""
    data = body.encode("cp1252")
    attr = struct.pack("<BII", 1, 0x0002800C, len(data)) + data + struct.pack("<H", sum(data) & 0xFFFF)
    return struct.pack("<IH", 0x223E9F78, 1) + attr


def b64(data):
    import base64
    return base64.encodebytes(data)


OWN = b"Please read the minutes below before Tuesday.\r\n"
NUL_TEXT = b"before\0after\r\n"
EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)
# case -> (message, expected: subject, sender name, body text, file names with their bytes, date, Message-ID)
CASES = {
    "tnef-own-text": (
        b"From: a@example.com\nSubject: minutes\nDate: Tue, 01 Dec 2026 10:00:00 +0000\nMIME-Version: 1.0\n"
        b"Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain\n\n" + OWN +
        b"--b\nContent-Type: application/ms-tnef; name=winmail.dat\nContent-Transfer-Encoding: base64\n\n" +
        b64(tnef("Board meeting: budget approved.")) + b"--b--\n",
        dict(body="Board meeting: budget approved.", files={"message-text.txt": OWN})),
    "big5-header": (
        b"From: \xa4\xa4\xa4\xe5 <zh@example.com>\nSubject: \xb4\xfa\xb8\xd5 big5\nDate: Tue, 01 Dec 2026 10:00:00 +0000\n"
        b"MIME-Version: 1.0\nContent-Type: text/plain; charset=big5\n\n\xb4\xfa\xb8\xd5\n",
        dict(subject="測試 big5", sender="中文", body="測試")),
    "gb2312-header": (
        b"From: \xd5\xc5\xc8\xfd <zs@example.com>\nSubject: \xd6\xd0\xce\xc4\nDate: Tue, 01 Dec 2026 10:00:00 +0000\n"
        b"MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=b\n\n"
        b"--b\nContent-Type: text/plain; charset=gb2312\n\n\xd6\xd0\xce\xc4\n--b--\n",
        dict(subject="中文", sender="张三")),
    "epoch-date": (
        b"From: a@example.com\nSubject: epoch\nDate: Wed, 31 Dec 1969 19:00:00 -0500\n\nbody\n",
        dict(date=EPOCH)),
    "nul-body": (
        b"From: a@example.com\nSubject: nul body\nDate: Tue, 01 Dec 2026 10:00:00 +0000\n"
        b"Content-Type: text/plain; name=notes.txt\n\n" + NUL_TEXT,
        dict(body="beforeafter", files={"notes.txt": NUL_TEXT})),
    "nul-message-id": (
        b"From: a@example.com\nSubject: nul id\nDate: Tue, 01 Dec 2026 10:00:00 +0000\n"
        b"Message-ID: <ab\0cd@example.com>\n\nbody\n",
        dict(message_id="<abcd@example.com>", files={"original-message.eml": None})),
}
WARNED = {"tnef-own-text": "message-text.txt", "nul-body": "NUL characters", "nul-message-id": "the Message-ID"}


def mailbox(message):
    return b"From sender@example.com Mon Jan  1 00:00:00 2024\n" + message.replace(b"\n", b"\r\n")


def pypff_reading(path):
    import pypff
    f = pypff.file()
    f.open(path)
    stack, out = [f.get_root_folder()], None
    while stack and out is None:
        folder = stack.pop()
        if folder.get_number_of_sub_messages():
            m = folder.get_sub_message(0)
            files = {}
            for k in range(m.get_number_of_attachments()):
                a = m.get_attachment(k)
                names = [e.data_as_string for rs in [a.get_record_set(0)] for e in rs.entries if e.entry_type == 0x3707]
                files[names[0] if names else "?"] = a.read_buffer(a.get_size())
            entries = {e.entry_type: e for e in m.get_record_set(0).entries}
            body = m.get_plain_text_body()
            out = dict(subject=m.subject, sender=m.sender_name, body=body.decode("utf-8") if body else None, files=files,
                       date=m.client_submit_time.replace(tzinfo=datetime.timezone.utc),
                       message_id=entries[0x1035].data_as_string if 0x1035 in entries else None)
        stack += [folder.get_sub_folder(i) for i in range(folder.get_number_of_sub_folders())]
    f.close()
    return out


def msgreader_reading(got):
    files = {a["fileName"]: a["size"] for a in got.get("attachments", [])}
    return dict(subject=got.get("subject"), sender=got.get("senderName"), body=got.get("body"), files=files)


def msgconvert_reading(msg_path, work):
    shutil.copyfile(msg_path, os.path.join(work, "m.msg"))
    subprocess.run(["msgconvert", "m.msg"], cwd=work, capture_output=True)
    with open(os.path.join(work, "m.eml"), "rb") as f:
        out = email.message_from_bytes(f.read(), policy=email.policy.default)
    return dict(date=email.utils.parsedate_to_datetime(out["Date"]), message_id=out["Message-ID"])


def compare(reader, case, want, got):
    for field, value in want.items():
        if field not in got:
            continue
        have = got[field]
        if field == "body":
            check(have is not None and " ".join(have.split()) == value, f"{reader} {case}: body {have!r}, expected {value!r}")
        elif field == "files":
            for name, data in value.items():
                check(name in have, f"{reader} {case}: no file {name!r} in {sorted(have)}")
                if name in have and data is not None:
                    # (the last line end of a mailbox's message is the separator's)
                    check(have[name] in (data, len(data), data + b"\r\n", len(data) + 2),
                          f"{reader} {case}: {name} holds {have[name]!r:.60}, expected {data!r}")
        else:
            check(have == value, f"{reader} {case}: {field} {have!r}, expected {value!r}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--convert", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--js-readers")
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(os.path.join(args.work, "in"))
    inputs = []
    for case, (message, _) in CASES.items():
        inputs.append(os.path.join(args.work, "in", case + ".mbox"))
        with open(inputs[-1], "wb") as f:
            f.write(mailbox(message))
    for kind in ("msg", "pst"):
        r = convert(args.convert, kind, inputs, os.path.join(args.work, kind))
        for case, text in WARNED.items():
            check(any(case in line and text in line for line in r.stderr.splitlines()),
                  f"{kind} {case}: no warning saying {text!r}")
    msgs = {case: output_of(os.path.join(args.work, "msg"), case, ".msg") for case in CASES}
    read = js_reader(args.js_readers, "@kenjiuno/msgreader",
                     [os.path.join(HERE, "..", "interop_msg", "msgreader_dump.js")] + [p for p in msgs.values() if p]) or {}
    for case, (_, want) in CASES.items():
        pst = os.path.join(args.work, "pst", case + ".pst")
        if check(os.path.exists(pst), f"{case}: no .pst written"):
            compare("pypff", case, want, pypff_reading(pst))
        if not check(msgs[case] is not None, f"{case}: no .msg written"):
            continue
        if msgs[case] in read:
            compare("msgreader", case, want, msgreader_reading(read[msgs[case]]))
        compare("msgconvert", case, want, msgconvert_reading(msgs[case], os.path.join(args.work, "msg")))
    return finish()


if __name__ == "__main__":
    sys.exit(main())

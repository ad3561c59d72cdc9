#!/usr/bin/env python3
"""Writes the extreme inputs the bounds benchmark converts (bench/extreme_bench.sh).

gen_extreme.py KIND OUT [N]
  attachment OUT [MB]   one message with one base64 attachment of MB megabytes (300)
  line OUT [MB]         one message whose body is one line of MB megabytes, no line end (200)
  recipients OUT [N]    one message with N recipients in its To field (200000)
  many-recipients OUT [N] 40 messages, each with N recipients (8000)
  attachments OUT [N]   one message with N small attachments (10000)
  mailboxes OUT.tgz [N] a .tgz of N small mailboxes, one message each (5000)
  labels OUT [N]        N messages, each with a label of its own (5000)

Every file is written in pieces, so generating the 300 MB case needs little memory."""
import base64
import io
import random
import sys
import tarfile

HEAD = ("From sender@example.org Mon Dec  7 08:00:00 2026\n"
        "From: Sender <sender@example.org>\n"
        "To: {to}\n"
        "Subject: {subject}\n"
        "Date: Mon, 7 Dec 2026 08:00:00 +0000\n"
        "Message-ID: <{mid}@example.org>\n"
        "MIME-Version: 1.0\n")


def attachment(out, mb):
    boundary = "b-extreme"
    rng = random.Random(1)
    with open(out, "w", newline="\n") as f:
        f.write(HEAD.format(to="Recipient <rcpt@example.net>", subject="one large attachment", mid="attachment"))
        f.write('Content-Type: multipart/mixed; boundary="%s"\n\n--%s\n' % (boundary, boundary))
        f.write("Content-Type: text/plain; charset=utf-8\n\nThe file is attached.\n\n--%s\n" % boundary)
        f.write('Content-Type: application/octet-stream; name="large.bin"\n'
                'Content-Disposition: attachment; filename="large.bin"\n'
                "Content-Transfer-Encoding: base64\n\n")
        # Base64 lines of 76 characters from 57 bytes each; the bytes vary so nothing
        # downstream can shortcut them.
        left = mb * 3 * (1 << 20) // 4
        chunk = 57 * 4096
        pool = bytes(rng.getrandbits(8) for _ in range(chunk * 2))
        i = 0
        while left > 0:
            n = min(chunk, left)
            start = (i * 4099) % chunk
            data = base64.encodebytes(pool[start:start + n]).decode("ascii")
            f.write(data)
            left -= n
            i += 1
        f.write("--%s--\n\n" % boundary)


def line(out, mb):
    with open(out, "w", newline="\n") as f:
        f.write(HEAD.format(to="Recipient <rcpt@example.net>", subject="one long line", mid="line"))
        f.write("Content-Type: text/plain; charset=utf-8\n\n")
        piece = ("abcdefghij" * 100)
        for _ in range(mb * (1 << 20) // len(piece)):
            f.write(piece)
        # no line end: the file ends inside the line


def recipients(out, n):
    with open(out, "w", newline="\n") as f:
        to = ",\n ".join("Person %d <person%d@example.net>" % (i, i) for i in range(n))
        f.write(HEAD.format(to=to, subject="%d recipients" % n, mid="recipients"))
        f.write("Content-Type: text/plain; charset=utf-8\n\nTo everyone.\n\n")


def many_recipients(out, n):
    with open(out, "w", newline="\n") as f:
        to = ",\n ".join("Person %d <person%d@example.net>" % (i, i) for i in range(n))
        for m in range(40):
            f.write(HEAD.format(to=to, subject="message %d, %d recipients" % (m, n), mid="recipients-%d" % m))
            f.write("Content-Type: text/plain; charset=utf-8\n\nTo everyone.\n\n")


def attachments(out, n):
    boundary = "b-many"
    with open(out, "w", newline="\n") as f:
        f.write(HEAD.format(to="Recipient <rcpt@example.net>", subject="%d attachments" % n, mid="attachments"))
        f.write('Content-Type: multipart/mixed; boundary="%s"\n\n--%s\n' % (boundary, boundary))
        f.write("Content-Type: text/plain; charset=utf-8\n\nMany files.\n")
        for i in range(n):
            f.write('\n--%s\nContent-Type: text/plain; name="file%05d.txt"\n'
                    'Content-Disposition: attachment; filename="file%05d.txt"\n\nfile %d\n' % (boundary, i, i, i))
        f.write("\n--%s--\n\n" % boundary)


def small_message(i, labels=None):
    text = HEAD.format(to="Recipient <rcpt@example.net>", subject="message %d" % i, mid="m%d" % i)
    if labels:
        text += "X-Brimvault-Labels: %s\n" % labels
    return text + "Content-Type: text/plain; charset=utf-8\n\nHello %d.\n\n" % i


def mailboxes(out, n):
    with tarfile.open(out, "w:gz") as t:
        for i in range(n):
            data = small_message(i).encode()
            info = tarfile.TarInfo("Export/Mail/box%05d.mbox" % i)
            info.size = len(data)
            info.mtime = 1796630400
            t.addfile(info, io.BytesIO(data))


def labels(out, n):
    with open(out, "w", newline="\n") as f:
        for i in range(n):
            f.write(small_message(i, "Label %05d" % i))


KINDS = {"attachment": (attachment, 300), "line": (line, 200), "recipients": (recipients, 200000),
         "many-recipients": (many_recipients, 8000),
         "attachments": (attachments, 10000), "mailboxes": (mailboxes, 5000), "labels": (labels, 5000)}


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[1] not in KINDS:
        sys.exit(__doc__)
    make, default = KINDS[sys.argv[1]]
    make(sys.argv[2], int(sys.argv[3]) if len(sys.argv) == 4 else default)


if __name__ == "__main__":
    main()

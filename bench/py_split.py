#!/usr/bin/env python3
"""Python's mailbox module as a peer: every message to its own file."""
import mailbox
import os
import sys

box, out = sys.argv[1], sys.argv[2]
os.makedirs(out, exist_ok=True)
mb = mailbox.mbox(box, create=False)
for i, key in enumerate(mb.iterkeys(), 1):
    with open(os.path.join(out, "email-%d.eml" % i), "wb") as f:
        f.write(mb.get_bytes(key))

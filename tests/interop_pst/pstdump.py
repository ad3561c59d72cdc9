#!/usr/bin/env python3
"""Small independent reader of Unicode .pst files for the interop tests: walks the
node and block B-trees, heaps, property and table contexts ([MS-PST] §2.2, §2.3)."""
import struct
import sys

PAGE = 512
# NDB_CRYPT_PERMUTE decoding table ([MS-PST] §5.1): stored byte -> plain byte.
DECODE = bytes([
    0x47, 0xf1, 0xb4, 0xe6, 0x0b, 0x6a, 0x72, 0x48, 0x85, 0x4e, 0x9e, 0xeb, 0xe2, 0xf8, 0x94, 0x53,
    0xe0, 0xbb, 0xa0, 0x02, 0xe8, 0x5a, 0x09, 0xab, 0xdb, 0xe3, 0xba, 0xc6, 0x7c, 0xc3, 0x10, 0xdd,
    0x39, 0x05, 0x96, 0x30, 0xf5, 0x37, 0x60, 0x82, 0x8c, 0xc9, 0x13, 0x4a, 0x6b, 0x1d, 0xf3, 0xfb,
    0x8f, 0x26, 0x97, 0xca, 0x91, 0x17, 0x01, 0xc4, 0x32, 0x2d, 0x6e, 0x31, 0x95, 0xff, 0xd9, 0x23,
    0xd1, 0x00, 0x5e, 0x79, 0xdc, 0x44, 0x3b, 0x1a, 0x28, 0xc5, 0x61, 0x57, 0x20, 0x90, 0x3d, 0x83,
    0xb9, 0x43, 0xbe, 0x67, 0xd2, 0x46, 0x42, 0x76, 0xc0, 0x6d, 0x5b, 0x7e, 0xb2, 0x0f, 0x16, 0x29,
    0x3c, 0xa9, 0x03, 0x54, 0x0d, 0xda, 0x5d, 0xdf, 0xf6, 0xb7, 0xc7, 0x62, 0xcd, 0x8d, 0x06, 0xd3,
    0x69, 0x5c, 0x86, 0xd6, 0x14, 0xf7, 0xa5, 0x66, 0x75, 0xac, 0xb1, 0xe9, 0x45, 0x21, 0x70, 0x0c,
    0x87, 0x9f, 0x74, 0xa4, 0x22, 0x4c, 0x6f, 0xbf, 0x1f, 0x56, 0xaa, 0x2e, 0xb3, 0x78, 0x33, 0x50,
    0xb0, 0xa3, 0x92, 0xbc, 0xcf, 0x19, 0x1c, 0xa7, 0x63, 0xcb, 0x1e, 0x4d, 0x3e, 0x4b, 0x1b, 0x9b,
    0x4f, 0xe7, 0xf0, 0xee, 0xad, 0x3a, 0xb5, 0x59, 0x04, 0xea, 0x40, 0x55, 0x25, 0x51, 0xe5, 0x7a,
    0x89, 0x38, 0x68, 0x52, 0x7b, 0xfc, 0x27, 0xae, 0xd7, 0xbd, 0xfa, 0x07, 0xf4, 0xcc, 0x8e, 0x5f,
    0xef, 0x35, 0x9c, 0x84, 0x2b, 0x15, 0xd5, 0x77, 0x34, 0x49, 0xb6, 0x12, 0x0a, 0x7f, 0x71, 0x88,
    0xfd, 0x9d, 0x18, 0x41, 0x7d, 0x93, 0xd8, 0x58, 0x2c, 0xce, 0xfe, 0x24, 0xaf, 0xde, 0xb8, 0x36,
    0xc8, 0xa1, 0x80, 0xa6, 0x99, 0x98, 0xa8, 0x2f, 0x0e, 0x81, 0x65, 0x73, 0xe4, 0xc2, 0xa2, 0x8a,
    0xd4, 0xe1, 0x11, 0xd0, 0x08, 0x8b, 0x2a, 0xf2, 0xed, 0x9a, 0x64, 0x3f, 0xc1, 0x6c, 0xf9, 0xec,
])


class Pst:
    def __init__(self, path):
        with open(path, 'rb') as f:
            self.data = f.read()
        d = self.data
        if d[0:4] != b'!BDN':
            raise ValueError('HEADER dwMagic')
        self.ver = struct.unpack_from('<H', d, 10)[0]
        if self.ver < 23:
            raise ValueError('not a Unicode pst (wVer %d)' % self.ver)
        self.crypt = d[513]
        self.ib_eof, self.ib_amap_last, self.cb_amap_free, self.cb_pmap_free = struct.unpack_from('<QQQQ', d, 184)
        self.nbt_root = struct.unpack_from('<QQ', d, 216)
        self.bbt_root = struct.unpack_from('<QQ', d, 232)
        self.amap_valid = d[248]
        self.nbt = {}
        self.bbt = {}
        self.nbt_pages = []
        self.bbt_pages = []
        self._walk(self.nbt_root[1], 0x81, self.nbt, self.nbt_pages)
        self._walk(self.bbt_root[1], 0x80, self.bbt, self.bbt_pages)

    def _walk(self, ib, ptype, out, pages):
        d = self.data
        p = d[ib:ib + PAGE]
        if p[496] != ptype:
            raise ValueError('PAGETRAILER ptype at %#x' % ib)
        cent, centmax, cbent, clevel = p[488], p[489], p[490], p[491]
        pages.append((ib, cent, centmax, clevel))
        for i in range(cent):
            e = p[i * cbent:(i + 1) * cbent]
            if clevel > 0:
                key, bid, cib = struct.unpack_from('<QQQ', e)
                self._walk(cib, ptype, out, pages)
            elif ptype == 0x81:
                nid, bid_data, bid_sub, parent = struct.unpack_from('<QQQI', e)
                out[nid] = (bid_data, bid_sub, parent)
            else:
                bid, bib, cb, cref = struct.unpack_from('<QQHH', e)
                out[bid] = (bib, cb, cref)

    def block(self, bid):
        bib, cb, cref = self.bbt[bid & ~1]
        raw = self.data[bib:bib + cb]
        if self.crypt == 1 and not bid & 2:
            raw = raw.translate(DECODE)
        return raw

    def data_blocks(self, bid):
        """The data blocks of a data tree, in order."""
        if bid == 0:
            return []
        raw = self.block(bid)
        if bid & 2:
            btype, clevel, cent = struct.unpack_from('<BBH', raw)
            bids = struct.unpack_from('<%dQ' % cent, raw, 8)
            out = []
            for b in bids:
                out.extend(self.data_blocks(b))
            return out
        return [raw]

    def subnodes(self, bid):
        out = {}
        if bid == 0:
            return out
        raw = self.block(bid)
        btype, clevel, cent = struct.unpack_from('<BBH', raw)
        for i in range(cent):
            if clevel == 0:
                nid, bd, bs = struct.unpack_from('<QQQ', raw, 8 + 24 * i)
                out[nid & 0xFFFFFFFF] = (bd, bs)
            else:
                nid, b = struct.unpack_from('<QQ', raw, 8 + 16 * i)
                out.update(self.subnodes(b))
        return out


class Heap:
    def __init__(self, blocks):
        self.blocks = blocks
        b0 = blocks[0]
        self.ibhnpm, self.sig, self.client_sig, self.user_root = struct.unpack_from('<HBBI', b0)
        if self.sig != 0xEC:
            raise ValueError('HNHDR bSig')

    def item(self, hid):
        if hid == 0:
            return b''
        bi, idx = hid >> 16, (hid >> 5) & 0x7FF
        b = self.blocks[bi]
        ibhnpm = struct.unpack_from('<H', b)[0]
        calloc, cfree = struct.unpack_from('<HH', b, ibhnpm)
        offs = struct.unpack_from('<%dH' % (calloc + 1), b, ibhnpm + 4)
        if idx < 1 or idx > calloc:
            raise ValueError('HID index out of range %#x' % hid)
        return b[offs[idx - 1]:offs[idx]]


def bth_records(heap, hid_header):
    hdr = heap.item(hid_header)
    btype, cbkey, cbent, levels, root = struct.unpack_from('<BBBBI', hdr)
    if btype != 0xB5:
        raise ValueError('BTHHEADER bType')
    out = []

    def walk(hid, level):
        if hid == 0:
            return
        it = heap.item(hid)
        if level > 0:
            for i in range(0, len(it), cbkey + 4):
                walk(struct.unpack_from('<I', it, i + cbkey)[0], level - 1)
        else:
            for i in range(0, len(it), cbkey + cbent):
                out.append((it[i:i + cbkey], it[i + cbkey:i + cbkey + cbent]))
    walk(root, levels)
    return out, cbkey, cbent


FIXED = {0x2: 2, 0x3: 4, 0x4: 4, 0x5: 8, 0x6: 8, 0x7: 8, 0xA: 4, 0xB: 1, 0x14: 8, 0x40: 8}


class Node:
    def __init__(self, pst, bid_data, bid_sub):
        self.pst = pst
        self.blocks = pst.data_blocks(bid_data)
        self.subs = pst.subnodes(bid_sub)

    def sub_bytes(self, nid):
        bd, bs = self.subs[nid]
        return b''.join(self.pst.data_blocks(bd))

    def hnid(self, heap, hnid):
        if hnid & 0x1F == 0:
            return heap.item(hnid)
        return self.sub_bytes(hnid)


def read_pc(pst, node):
    heap = Heap(node.blocks)
    if heap.client_sig != 0xBC:
        raise ValueError('HNHDR bClientSig is not a PC')
    recs, _, _ = bth_records(heap, heap.user_root)
    props = {}
    for k, v in recs:
        pid = struct.unpack('<H', k)[0]
        ptype, val = struct.unpack('<HI', v)
        size = FIXED.get(ptype)
        if size is not None and size <= 4:
            raw = struct.pack('<I', val)[:size]
        else:
            raw = node.hnid(heap, val)
        props[(pid << 16) | ptype] = raw
    return props


def read_tc(pst, node):
    heap = Heap(node.blocks)
    if heap.client_sig != 0x7C:
        raise ValueError('HNHDR bClientSig is not a TC')
    info = heap.item(heap.user_root)
    btype, ccols = info[0], info[1]
    rgib = struct.unpack_from('<4H', info, 2)
    hid_rowindex, hnid_rows, hid_index = struct.unpack_from('<III', info, 10)
    cols = []
    for i in range(ccols):
        tag, ib, cb, ibit = struct.unpack_from('<IHBB', info, 22 + 8 * i)
        cols.append((tag, ib, cb, ibit))
    rowsize = rgib[3]
    index, _, _ = bth_records(heap, hid_rowindex)
    if hnid_rows == 0:
        blocks = []
    elif hnid_rows & 0x1F == 0:
        blocks = [heap.item(hnid_rows)]
    else:
        bd, bs = node.subs[hnid_rows]
        blocks = pst.data_blocks(bd)
    per_block = (len(blocks[0]) // rowsize) if blocks else 0
    rows = []
    for key, val in index:
        rowid = struct.unpack('<I', key)[0]
        rownum = struct.unpack('<I', val)[0]
        b = blocks[rownum // per_block]
        off = (rownum % per_block) * rowsize
        raw = b[off:off + rowsize]
        ceb = raw[rgib[2]:rgib[3]]
        row = {}
        for tag, ib, cb, ibit in cols:
            if not (ceb[ibit // 8] >> (7 - ibit % 8)) & 1:
                continue
            cell = raw[ib:ib + cb]
            ptype = tag & 0xFFFF
            if FIXED.get(ptype) is None:
                row[tag] = node.hnid(heap, struct.unpack('<I', cell)[0])
            else:
                row[tag] = cell
        rows.append((rowid, row))
    return cols, rows, rgib


def node_of(pst, nid):
    bd, bs, parent = pst.nbt[nid]
    return Node(pst, bd, bs)


def u16(b):
    return b.decode('utf-16-le')


if __name__ == '__main__':
    p = Pst(sys.argv[1])
    print('wVer %d crypt %d eof %#x amaplast %#x amapfree %#x valid %d' % (
        p.ver, p.crypt, p.ib_eof, p.ib_amap_last, p.cb_amap_free, p.amap_valid))
    for nid, (bd, bs, parent) in sorted(p.nbt.items()):
        kind = nid & 0x1F
        line = 'nid %#8x type %#4x parent %#8x data %#x sub %#x' % (nid, kind, parent, bd, bs)
        try:
            n = node_of(p, nid)
            if n.blocks and len(n.blocks[0]) > 3 and n.blocks[0][2] == 0xEC:
                sig = n.blocks[0][3]
                if sig == 0xBC:
                    props = read_pc(p, n)
                    line += ' PC ' + ' '.join('%08x' % t for t in sorted(props))
                    dn = props.get(0x3001001F)
                    if dn is not None:
                        line += ' name=%r' % u16(dn)
                elif sig == 0x7C:
                    cols, rows, rgib = read_tc(p, n)
                    line += ' TC cols=%d rows=%d rowsize=%d' % (len(cols), len(rows), rgib[3])
        except Exception as e:  # noqa
            line += ' ERROR %s' % e
        print(line)

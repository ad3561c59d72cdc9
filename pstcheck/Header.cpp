// HEADER and ROOT ([MS-PST] §2.2.2.5, §2.2.2.6) and the counters they keep.
#include <algorithm>

#include "Context.h"

namespace bv::pstcheck {

namespace {
constexpr size_t kHeaderSize = 564;
constexpr uint32_t kMagic = 0x4E444221;  // "!BDN"
constexpr uint16_t kMagicClient = 0x4D53;  // "SM"
}  // namespace

bool CheckHeader(Context& ctx) {
    uint8_t h[kHeaderSize];
    const char* S = "HEADER";
    if (!ctx.file.read(0, h, sizeof h)) {
        ctx.error("file.truncated", S, "", 0, "at least " + std::to_string(kHeaderSize) + " bytes",
                  std::to_string(ctx.file.size()) + " bytes", "not a PST file");
        return false;
    }
    if (Le32(h) != kMagic) {
        ctx.error("header.magic", S, "dwMagic", 0, Hex(kMagic), Hex(Le32(h)), "not a PST file");
        return false;
    }
    HeaderInfo& hi = ctx.hdr;
    hi.wVer = Le16(h + 10);
    if (hi.wVer == 14 || hi.wVer == 15) {
        ctx.error("header.ansi", S, "wVer", 10, "23 (Unicode)", std::to_string(hi.wVer), "ANSI format not supported");
        return false;
    }
    if (hi.wVer < 23 || hi.wVer == 36 || hi.wVer == 37) {
        ctx.error("header.version", S, "wVer", 10, "23 (Unicode)", std::to_string(hi.wVer),
                  hi.wVer >= 36 ? "4 KiB-page or protected store not supported" : "unknown format version");
        return false;
    }
    if (hi.wVer != 23)
        ctx.warn("header.version", S, "wVer", 10, "23", std::to_string(hi.wVer), "Outlook writes 23 for Unicode files");
    if (Le16(h + 8) != kMagicClient)
        ctx.error("header.magic_client", S, "wMagicClient", 8, Hex(kMagicClient), Hex(Le16(h + 8)));
    if (Le16(h + 12) != 19)
        ctx.warn("header.version_client", S, "wVerClient", 12, "19", std::to_string(Le16(h + 12)));

    uint32_t crcPartial = PstCrc(h + 8, 471);
    if (Le32(h + 4) != crcPartial)
        ctx.error("header.crc_partial", S, "dwCRCPartial", 4, Hex(crcPartial), Hex(Le32(h + 4)), "CRC of bytes 8..478");
    uint32_t crcFull = PstCrc(h + 8, 516);
    if (Le32(h + 524) != crcFull)
        ctx.error("header.crc_full", S, "dwCRCFull", 524, Hex(crcFull), Hex(Le32(h + 524)), "CRC of bytes 8..523");

    hi.bidNextP = Le64(h + 32);
    hi.dwUnique = Le32(h + 40);
    for (int i = 0; i < 32; ++i) hi.rgnid[i] = Le32(h + 44 + 4 * i);
    hi.ibFileEof = Le64(h + 184);
    hi.ibAMapLast = Le64(h + 192);
    hi.cbAMapFree = Le64(h + 200);
    hi.cbPMapFree = Le64(h + 208);
    hi.nbt = {Le64(h + 216), Le64(h + 224)};
    hi.bbt = {Le64(h + 232), Le64(h + 240)};
    hi.fAMapValid = h[248];
    hi.cryptMethod = h[513];
    hi.bidNextB = Le64(h + 516);

    if (h[512] != 0x80) ctx.error("header.sentinel", S, "bSentinel", 512, "0x80", Hex(h[512]));
    if (hi.cryptMethod > 2)
        ctx.error("header.crypt", S, "bCryptMethod", 513, "0 (none), 1 (permute) or 2 (cyclic)", Hex(hi.cryptMethod));
    if (Le32(h + 180) != 0) ctx.warn("header.root_reserved", "ROOT", "dwReserved", 180, "0", Hex(Le32(h + 180)));

    const uint64_t size = ctx.file.size();
    // Bytes past ibFileEof are what a writer stopped between two commits left: nothing
    // the header references lies there, and a writer opening the file cuts them off.
    if (hi.ibFileEof > size)
        ctx.error("header.file_eof", "ROOT", "ibFileEof", 184, Hex(size) + " (file size)", Hex(hi.ibFileEof));
    else if (hi.ibFileEof < size)
        ctx.warn("header.file_tail", "ROOT", "ibFileEof", 184, Hex(size) + " (file size)", Hex(hi.ibFileEof),
                 "bytes past the end the header names are unreferenced (a write stopped before its commit)");
    if (hi.ibFileEof < kFirstAMap || (hi.ibFileEof - kFirstAMap) % kAMapRegion != 0)
        ctx.warn("header.file_eof_boundary", "ROOT", "ibFileEof", 184, "0x4400 + n*253952", Hex(hi.ibFileEof),
                 "the file should end on an AMap region boundary");
    if (hi.fAMapValid != 2)
        (hi.fAMapValid == 1 || hi.fAMapValid == 0 ? ctx.warn("header.amap_valid", "ROOT", "fAMapValid", 248, "2 (VALID_AMAP2)",
                                                           std::to_string(hi.fAMapValid), "readers will rebuild the AMaps")
                                                  : ctx.error("header.amap_valid", "ROOT", "fAMapValid", 248, "0, 1 or 2",
                                                            std::to_string(hi.fAMapValid)));
    if (hi.bidNextB & 3) ctx.warn("header.bid_next_b", S, "bidNextB", 516, "multiple of 4", Hex(hi.bidNextB));
    return true;
}

void CheckHeaderCounters(Context& ctx) {
    const HeaderInfo& hi = ctx.hdr;
    const uint64_t maxBlock = ctx.maxBlockBid;
    if (ctx.bbtState.entries && maxBlock >= hi.bidNextB)
        ctx.error("header.bid_next_b", "HEADER", "bidNextB", 516, "> " + Hex(maxBlock) + " (largest block BID)",
                  Hex(hi.bidNextB));
    if (ctx.maxPageBid >= hi.bidNextP)
        ctx.error("header.bid_next_p", "HEADER", "bidNextP", 32, "> " + Hex(ctx.maxPageBid) + " (largest page BID)",
                  Hex(hi.bidNextP));
    const uint32_t* maxIndex = ctx.maxNidIndex;
    const uint32_t* maxNid = ctx.maxNid;
    for (int t = 0; t < 32; ++t) {
        if (maxNid[t] == 0) continue;
        // rgnid[t] holds the last nidIndex handed out for that type (Outlook's files agree).
        if (maxIndex[t] > hi.rgnid[t])
            ctx.error("header.rgnid", "HEADER", "rgnid[" + Hex(t) + "]", 44 + 4 * t,
                      ">= " + Hex(maxIndex[t]) + " (index of node " + Hex(maxNid[t]) + ")", Hex(hi.rgnid[t]));
    }
}

}  // namespace bv::pstcheck

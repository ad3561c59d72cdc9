// Runs the checks in order: header, map pages, B-trees, blocks, allocation, LTP, messaging.
#include <algorithm>

#include "Context.h"

namespace bv::pstcheck {

uint64_t SlotMap::mark(uint64_t ib, uint64_t size) {
    uint64_t already = 0;
    for (uint64_t s = ib / 64; s < (ib + size + 63) / 64 && s < slots_; ++s) {
        uint64_t& w = bits_[s / 64];
        uint64_t m = uint64_t(1) << (s % 64);
        if (w & m) ++already; else w |= m;
    }
    return already;
}

bool Context::markPage(uint64_t ib) {
    const uint64_t index = ib / kPageSize;
    if (pageBits_.empty()) pageBits_.assign(file.size() / kPageSize / 64 + 1, 0);
    if (index / 64 < pageBits_.size()) pageBits_[index / 64] |= uint64_t(1) << (index % 64);
    return used.mark(ib, kPageSize) != 0;
}

Result ValidatePstFile(const std::string& path, const Options& options) {
    Result result;
    PstFile file;
    Context ctx(file, options, result);
    if (!file.open(path)) {
        ctx.error("file.open", "file", "", 0, "readable file", "cannot open " + path);
        result.findings.back().fatal = result.summary.fatal = true;
        return result;
    }
    result.summary.fileSize = file.size();
    if (!CheckHeader(ctx)) {
        result.summary.fatal = true;
        if (!result.findings.empty()) result.findings.back().fatal = true;
        return result;
    }
    ctx.used.reset(file.size());
    CheckMapPages(ctx);
    WalkBTrees(ctx);
    CheckBlocks(ctx);
    CheckHeaderCounters(ctx);
    CheckAllocation(ctx);
    if (options.checkLtp) CheckLtp(ctx);
    if (options.checkLtp && options.checkMessaging) CheckMessaging(ctx);
    result.summary.blocks = ctx.bbtState.entries;
    result.summary.nodes = ctx.nbtState.entries;
    return result;
}

std::vector<Finding> ValidatePst(const std::string& path, const Options& options) {
    return ValidatePstFile(path, options).findings;
}

}  // namespace bv::pstcheck

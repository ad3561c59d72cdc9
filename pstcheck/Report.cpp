// Collecting findings and printing them.
#include <algorithm>
#include <cstdio>
#include <tuple>

#include "Context.h"

namespace bv::pstcheck {

void Context::report(Severity sev, const std::string& check, const std::string& structure, const std::string& field,
                     uint64_t offset, const std::string& expected, const std::string& found, const std::string& note) {
    if (muted) return;
    if (deferring_) {
        DeferredCheck& d = deferred_[check];
        d.kept.push_back(Deferred{deferKey_, deferSeq_++, Finding{sev, check, structure, field, offset, expected, found, note, false}});
        // Only the first maxPerCheck (in file order) can be listed: keep those, count the rest.
        if (opt.maxPerCheck < d.kept.size() / 2) {
            auto byKey = [](const Deferred& a, const Deferred& b) { return std::tie(a.key, a.seq) < std::tie(b.key, b.seq); };
            std::nth_element(d.kept.begin(), d.kept.begin() + opt.maxPerCheck, d.kept.end(), byKey);
            for (auto it = d.kept.begin() + opt.maxPerCheck; it != d.kept.end(); ++it) ++d.dropped[it->finding.severity == Severity::Error];
            d.kept.resize(opt.maxPerCheck);
        }
        return;
    }
    if (sev == Severity::Error) ++result.summary.errors; else ++result.summary.warnings;
    size_t& n = perCheck[check];
    if (++n > opt.maxPerCheck) {
        ++result.summary.suppressed;
        return;
    }
    Finding f;
    f.severity = sev;
    f.check = check;
    f.structure = structure;
    f.field = field;
    f.offset = offset;
    f.expected = expected;
    f.found = found;
    f.note = note;
    result.findings.push_back(std::move(f));
}

void Context::deferFindings(bool on) {
    deferring_ = on;
    if (on) return;
    std::vector<Deferred> all;
    for (auto& [check, d] : deferred_)
        for (Deferred& f : d.kept) all.push_back(std::move(f));
    std::sort(all.begin(), all.end(), [](const Deferred& a, const Deferred& b) { return std::tie(a.key, a.seq) < std::tie(b.key, b.seq); });
    for (const Deferred& f : all) {
        const Finding& x = f.finding;
        report(x.severity, x.check, x.structure, x.field, x.offset, x.expected, x.found, x.note);
    }
    for (auto& [check, d] : deferred_) {
        result.summary.warnings += d.dropped[0];
        result.summary.errors += d.dropped[1];
        perCheck[check] += d.dropped[0] + d.dropped[1];
        result.summary.suppressed += d.dropped[0] + d.dropped[1];
    }
    deferred_.clear();
}

std::string FormatFinding(const Finding& f) {
    std::string s = f.severity == Severity::Error ? "error " : "warning ";
    s += f.check + " " + f.structure;
    if (!f.field.empty()) s += "." + f.field;
    s += " @" + Hex(f.offset);
    if (!f.expected.empty() || !f.found.empty()) s += ": expected " + f.expected + ", found " + f.found;
    if (!f.note.empty()) s += " (" + f.note + ")";
    return s;
}

std::string FormatSummary(const Summary& s) {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "%zu error(s), %zu warning(s)%s; %llu bytes, %llu pages, %llu blocks, %llu nodes, %llu heaps, "
                  "%llu folders, %llu messages",
                  s.errors, s.warnings, s.suppressed ? " (some not listed)" : "",
                  (unsigned long long)s.fileSize, (unsigned long long)s.pages, (unsigned long long)s.blocks,
                  (unsigned long long)s.nodes, (unsigned long long)s.heaps, (unsigned long long)s.folders,
                  (unsigned long long)s.messages);
    return buf;
}

}  // namespace bv::pstcheck

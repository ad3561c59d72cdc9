// Collecting findings and printing them.
#include <cstdio>

#include "Context.h"

namespace bv::pstcheck {

void Context::report(Severity sev, const std::string& check, const std::string& structure, const std::string& field,
                     uint64_t offset, const std::string& expected, const std::string& found, const std::string& note) {
    if (muted) return;
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

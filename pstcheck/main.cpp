// pst-validate FILE...: checks Unicode .pst files and prints what is wrong.
// Exit status: 0 no errors, 1 errors found, 2 a file is unreadable or not a Unicode PST.
#include <cstdio>
#include <cstring>
#include <string>

#include "PstValidate.h"

namespace {

const char* kUsage =
    "usage: pst-validate [--all] [--ndb-only|--fast] [--json] FILE...\n"
    "  --all       list every finding (default: at most 25 per check)\n"
    "  --ndb-only  check pages, maps, B-trees and blocks only\n"
    "  --fast      as --ndb-only, the data blocks' trailers and CRCs not read\n"
    "  --json      one JSON object per file instead of text\n";

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

void PrintJson(const char* path, const bv::pstcheck::Result& r) {
    using namespace bv::pstcheck;
    const Summary& s = r.summary;
    std::printf("{\"file\":%s,\"fatal\":%s,\"errors\":%zu,\"warnings\":%zu,\"suppressed\":%zu,\"findings\":[", Json(path).c_str(),
                s.fatal ? "true" : "false", s.errors, s.warnings, s.suppressed);
    for (size_t i = 0; i < r.findings.size(); ++i) {
        const Finding& f = r.findings[i];
        std::printf("%s{\"severity\":\"%s\",\"check\":%s,\"structure\":%s,\"field\":%s,\"offset\":%llu,\"expected\":%s,\"found\":%s,\"note\":%s}",
                    i ? "," : "", f.severity == Severity::Error ? "error" : "warning", Json(f.check).c_str(), Json(f.structure).c_str(),
                    Json(f.field).c_str(), (unsigned long long)f.offset, Json(f.expected).c_str(), Json(f.found).c_str(),
                    Json(f.note).c_str());
    }
    std::printf("]}\n");
}

}  // namespace

int main(int argc, char** argv) {
    using namespace bv::pstcheck;
    Options options;
    bool json = false;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (!std::strcmp(argv[first], "--all")) options.maxPerCheck = size_t(-1);
        else if (!std::strcmp(argv[first], "--ndb-only")) options.checkLtp = false;
        else if (!std::strcmp(argv[first], "--fast")) options.checkLtp = options.checkBlockData = false;
        else if (!std::strcmp(argv[first], "--json")) json = true;
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (first >= argc) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int status = 0;
    for (int i = first; i < argc; ++i) {
        Result r = ValidatePstFile(argv[i], options);
        if (json) {
            PrintJson(argv[i], r);
        } else {
            std::printf("%s\n", argv[i]);
            for (const Finding& f : r.findings) std::printf("  %s\n", FormatFinding(f).c_str());
            std::printf("  %s\n", FormatSummary(r.summary).c_str());
        }
        if (r.summary.fatal) status = 2;
        else if (r.summary.errors && status == 0) status = 1;
    }
    return status;
}

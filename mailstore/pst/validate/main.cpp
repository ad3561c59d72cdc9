// pst-validate FILE...: checks Unicode .pst files and prints what is wrong.
// Exit status: 0 no errors, 1 errors found, 2 a file is unreadable or not a Unicode PST.
#include <cstdio>
#include <cstring>

#include "PstValidate.h"

int main(int argc, char** argv) {
    using namespace bv::pstcheck;
    Options options;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (!std::strcmp(argv[first], "--all")) options.maxPerCheck = size_t(-1);
        else if (!std::strcmp(argv[first], "--ndb-only")) options.checkLtp = false;
        else {
            std::fprintf(stderr, "usage: pst-validate [--all] [--ndb-only] FILE...\n");
            return 2;
        }
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: pst-validate [--all] [--ndb-only] FILE...\n");
        return 2;
    }
    int status = 0;
    for (int i = first; i < argc; ++i) {
        Result r = ValidatePstFile(argv[i], options);
        std::printf("%s\n", argv[i]);
        for (const Finding& f : r.findings) std::printf("  %s\n", FormatFinding(f).c_str());
        std::printf("  %s\n", FormatSummary(r.summary).c_str());
        if (r.summary.fatal) status = 2;
        else if (r.summary.errors && status == 0) status = 1;
    }
    return status;
}

#pragma once
// Independent checker for Unicode .pst files ([MS-PST]). It reads the file with
// its own small structures and never shares code with the .pst writer, so that
// a mistake in the writer cannot hide in the checker.
#include <cstdint>
#include <string>
#include <vector>

namespace bv::pstcheck {

enum class Severity { Warning, Error };

struct Finding {
    Severity severity = Severity::Error;
    std::string check;      // stable id, e.g. "header.crc_partial", "bbt.cref"
    std::string structure;  // e.g. "HEADER", "BBT page", "block 0x1234"
    std::string field;      // e.g. "dwCRCPartial"
    uint64_t offset = 0;    // absolute file offset of the structure or field
    std::string expected;
    std::string found;
    std::string note;       // free text, may be empty
    bool fatal = false;     // file unreadable or not a Unicode PST: nothing else was checked
};

struct Options {
    bool checkLtp = true;        // heaps, property contexts and tables
    bool checkMessaging = true;  // mandatory nodes, folders, messages
    // Data blocks read and their trailers and CRCs verified. Without, only where they
    // lie is checked (inside the file, aligned, not overlapping); the internal blocks
    // (data and subnode trees) are read either way.
    bool checkBlockData = true;
    size_t maxPerCheck = 25;     // findings kept per check id (the rest are only counted)
};

struct Summary {
    size_t errors = 0;
    size_t warnings = 0;
    size_t suppressed = 0;   // findings over Options::maxPerCheck, not listed
    bool fatal = false;
    uint64_t fileSize = 0;
    uint64_t pages = 0;      // B-tree and map pages reached
    uint64_t blocks = 0;     // BBT entries
    uint64_t nodes = 0;      // NBT entries
    uint64_t heaps = 0;      // heap-on-node structures checked
    uint64_t folders = 0;
    uint64_t messages = 0;
};

struct Result {
    std::vector<Finding> findings;
    Summary summary;
};

Result ValidatePstFile(const std::string& path, const Options& options = {});
std::vector<Finding> ValidatePst(const std::string& path, const Options& options = {});

// One line per finding: "error header.crc_partial HEADER.dwCRCPartial @0x4: expected 0x.. found 0x.. (note)".
std::string FormatFinding(const Finding& f);
std::string FormatSummary(const Summary& s);

}  // namespace bv::pstcheck

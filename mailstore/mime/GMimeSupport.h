// What every user of GMime here shares: the library set up once with the parser
// options of a mail reader, the holders that release what GMime hands out, the
// problems its parser reports, and date reading.
#pragma once
#include <gmime/gmime.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/mime/Dates.h"

namespace bv::mailstore::mime {

// GMime initialised (once, thread-safe) and the parser options of every import:
// loose RFC compliance, UTF-8 then windows-1252 as fallback charsets, problems
// reported to the ParseIssues of the calling thread.
GMimeParserOptions* ParserOptions();

// Problems GMime reports while parsing (and while decoding headers lazily),
// collected for the import running on this thread, each with the offset in the
// parsed bytes where it was found.
struct ParseIssues {
    enum class Kind { Truncated, Malformed, DroppedLine, PartsSkipped, EmptyPart };
    struct Report {
        int64_t offset;
        Kind kind;
    };
    std::vector<Report> reports;
    int headerLinesDropped = 0;  // lines of the top header that are no field (read before GMime)

    bool truncated() const { return Has(Kind::Truncated); }          // a closing boundary is missing
    bool malformed() const { return Has(Kind::Malformed); }          // GMime lost track of the MIME structure
    bool partsSkipped() const { return Has(Kind::PartsSkipped); }    // GMime says it skipped parts
    bool emptyParts() const { return Has(Kind::EmptyPart); }         // parts with neither header nor content
    int droppedLines() const;                                        // header lines GMime could not read, and ours
    // Forgets what was found in [begin, end): an attached message's bytes, which are
    // imported on their own and report their own problems.
    void ForgetWithin(int64_t begin, int64_t end);

private:
    bool Has(Kind kind) const;
};

// The problems of the import running on this thread (nullptr outside one).
ParseIssues* CurrentParseIssues();

// Collects the parser's reports into `issues` while it lives. Scopes nest: an
// attached message may be imported while its parent is.
class ParseIssuesScope {
public:
    explicit ParseIssuesScope(ParseIssues* issues);
    ~ParseIssuesScope();
    ParseIssuesScope(const ParseIssuesScope&) = delete;
    ParseIssuesScope& operator=(const ParseIssuesScope&) = delete;

private:
    ParseIssues* previous_;
};

// Base64 content as GMime decodes it, in one pass, when it is plain: letters of the
// alphabet and blanks (CR, LF, space, tab) only, whole groups of four, padding only at
// the end. Anything else returns false with `out` unspecified, for GMime's own
// decoder to read and judge.
bool DecodePlainBase64(std::string_view raw, std::vector<uint8_t>& out);

// A string GMime or GLib allocated, freed with g_free.
struct GFree {
    char* p;
    explicit GFree(char* x) : p(x) {}
    ~GFree() { g_free(p); }
    GFree(const GFree&) = delete;
    GFree& operator=(const GFree&) = delete;
    std::string str() const { return p ? std::string(p) : std::string(); }
};

// A GObject reference, released with g_object_unref.
template <class T>
struct GObjectRef {
    T* p = nullptr;
    explicit GObjectRef(T* x = nullptr) : p(x) {}
    ~GObjectRef() {
        if (p) g_object_unref(p);
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
};

}  // namespace bv::mailstore::mime

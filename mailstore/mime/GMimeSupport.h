// What every user of GMime here shares: the library set up once with the parser
// options of a mail reader, the holders that release what GMime hands out, the
// problems its parser reports, and date reading.
#pragma once
#include <gmime/gmime.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mailstore/mime/Dates.h"

namespace bv::mailstore::mime {

// GMime initialised (once, thread-safe) and the parser options of every import:
// loose RFC compliance, UTF-8 then windows-1252 as fallback charsets, problems
// reported to the ParseIssues of the calling thread.
GMimeParserOptions* ParserOptions();

// Problems GMime reports while parsing (and while decoding headers lazily),
// collected for the import running on this thread.
struct ParseIssues {
    bool truncated = false;     // a closing boundary is missing
    bool malformed = false;     // GMime lost track of the MIME structure
    int droppedLines = 0;       // header lines GMime could not read and skipped
    bool partsSkipped = false;  // GMime says it skipped parts
    bool emptyParts = false;    // parts with neither header nor content, passed over
};

// The problems of the import running on this thread (nullptr outside one).
const ParseIssues* CurrentParseIssues();

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

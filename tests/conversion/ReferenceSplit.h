// The extraction rules written plainly over a whole file, to check the streamed
// reader against (extraction tests, fault tests and the extraction fuzz target).
#pragma once
#include <string>
#include <vector>

#include "conversion/MailboxProbe.h"

namespace bv::testing {

// Where the mailbox starts: after a UTF-8 byte-order mark and blank lines (blanks and
// tabs only, ended by CR LF, CR or LF).
inline size_t MailboxStart(const std::string& s) {
    size_t start = s.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    for (;;) {
        size_t i = s.find_first_not_of(" \t", start);
        if (i == std::string::npos || (s[i] != '\r' && s[i] != '\n')) return start;
        start = i + (s.compare(i, 2, "\r\n") == 0 ? 2 : 1);
    }
}

inline std::vector<std::string> ReferenceSplit(const std::string& whole, conversion::MboxLineEnds mode) {
    using conversion::MboxLineEnds;
    const std::string s = whole.substr(MailboxStart(whole));
    std::vector<std::string> out;
    if (mode == MboxLineEnds::None) return out;
    if (mode == MboxLineEnds::CrOrCrLf) {
        // Lines end at CR or CR LF.
        std::vector<std::string> lines;
        size_t i = 0;
        while (i < s.size()) {
            size_t cr = s.find('\r', i);
            if (cr == std::string::npos) {
                lines.push_back(s.substr(i));
                break;
            }
            lines.push_back(s.substr(i, cr - i));
            i = cr + 1;
            if (i < s.size() && s[i] == '\n') ++i;
        }
        bool in = false;
        std::string cur;
        for (auto& l : lines) {
            bool from = l.rfind("From ", 0) == 0;
            bool lflf = l.rfind("\n\nFrom ", 0) == 0;
            if (from || lflf) {
                if (in) out.push_back(cur);
                in = true;
                cur.clear();
            }
            if (in) cur += (lflf ? l.substr(2) : l) + "\r\n";
        }
        if (in) out.push_back(cur);
        return out;
    }
    std::string cur;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r') {
            cur += "\r\n";
            if (i + 1 < s.size() && s[i + 1] == '\n') {
                ++i;
                c = '\n';
            } else {
                continue;
            }
        } else if (c == '\n') {
            cur += "\r\n";
        } else {
            cur += c;
            continue;
        }
        if (s.compare(i + 1, 5, "From ") == 0) {
            out.push_back(cur);
            cur.clear();
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

}  // namespace bv::testing

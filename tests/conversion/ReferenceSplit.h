// The extraction rules written plainly over a whole file, to check the streamed
// reader against (extraction tests, fault tests and the extraction fuzz target).
#pragma once
#include <string>
#include <vector>

#include "conversion/MailboxProbe.h"

namespace bv::testing {

inline std::vector<std::string> ReferenceSplit(const std::string& s, conversion::MboxMode mode) {
    using conversion::MboxMode;
    std::vector<std::string> out;
    if (mode == MboxMode::None) return out;
    if (mode == MboxMode::Normal) {
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

#include "mailstore/ical/CalendarIdentity.h"

#include <string>
#include <vector>

#include "mailstore/base/Ascii.h"
#include "mailstore/mapi/EntryIds.h"

namespace bv::mailstore::ical {

namespace {

// The logical lines of the text: continuation lines joined, line ends dropped.
std::vector<std::string> Unfolded(std::string_view text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        const size_t end = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(pos, end - pos);
        pos = nl == std::string_view::npos ? text.size() : nl + 1;
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back().append(line.substr(1));
        else if (!line.empty())
            lines.emplace_back(line);
    }
    return lines;
}

// The property name of a line (before its parameters and value), in upper case.
std::string NameOf(std::string_view line) {
    std::string name(line.substr(0, line.find_first_of(";:")));
    for (char& c : name) c = base::AsciiToUpper(c);
    return name;
}

// What follows the name: the parameters and the value, trailing blanks left out.
std::string_view AfterName(std::string_view line, size_t nameSize) {
    std::string_view rest = line.substr(nameSize);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.remove_suffix(1);
    return rest;
}

std::string_view ValueOf(std::string_view line) {
    const size_t colon = line.find(':');
    std::string_view v = colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
    return v;
}

struct Parsed {
    std::string name;     // kind, UID, RECURRENCE-ID; "" without a UID
    std::string content;  // the normalised lines
};

Parsed Parse(std::string_view componentText) {
    const std::vector<std::string> lines = Unfolded(componentText);
    std::string kind = lines.empty() ? std::string() : lines.front();
    for (char& c : kind) c = base::AsciiToUpper(c);
    std::string_view uid, recurrenceId;
    int depth = 0;  // components inside the item (VALARM)
    Parsed out;
    out.content = kind + " LINES\n";
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string name = NameOf(line);
        if (name == "END" && i + 1 == lines.size()) break;  // the item's own END
        if (name == "BEGIN") ++depth;
        if (depth == 0 && name == "UID" && uid.empty()) uid = ValueOf(line);
        if (depth == 0 && name == "RECURRENCE-ID" && recurrenceId.empty()) recurrenceId = AfterName(line, name.size());
        if (name == "END" && depth > 0) --depth;
        if (depth == 0 && name == "DTSTAMP") continue;
        out.content += name;
        out.content += AfterName(line, name.size());
        out.content += '\n';
    }
    if (!uid.empty()) {
        out.name = kind + " UID\n";
        out.name += uid;
        if (!recurrenceId.empty()) {
            // Its parameters (a TZID, VALUE=DATE) and its value, as written.
            out.name += "\nRECURRENCE-ID";
            out.name += recurrenceId;
        }
    }
    return out;
}

}  // namespace

std::string CalendarItemName(std::string_view componentText) { return Parse(componentText).name; }

std::vector<uint8_t> CalendarItemSearchKey(std::string_view componentText, int sameNameBefore) {
    Parsed p = Parse(componentText);
    if (p.name.empty()) return mapi::MessageSearchKey(p.content);
    if (sameNameBefore > 0) p.name += "\nBEFORE " + std::to_string(sameNameBefore);
    return mapi::MessageSearchKey(p.name);
}

}  // namespace bv::mailstore::ical

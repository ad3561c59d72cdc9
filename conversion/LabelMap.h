// A person's own meanings for labels, read from a text file (--label-map FILE, or the
// file chosen in the window). One line per label:
//
//   label = Inbox | Sent Items | Drafts | Deleted Items | Junk Email | unread | starred | ignore | folder path
//
// e.g. `Posteingang = Inbox`, `Zu erledigen = starred`, `Newsletter = ignore`,
// `Kunden = Work/Clients`. Labels are compared as the table's names are, without regard
// to case and to diacritics; a label holding "=" or blanks at its ends is written in
// double quotes. Blank lines and lines beginning with "#" are passed over. The file is
// UTF-8 (a byte order mark is allowed). An entry wins over the table of system labels.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "conversion/LabelNames.h"

namespace bv::conversion {

struct LabelTarget {
    enum class Kind { Role, Folder, Ignore } kind = Kind::Ignore;
    LabelRole role = LabelRole::Inbox;  // Role: a folder role, Unread or Starred
    std::vector<std::string> folder;    // Folder: the path, outermost first
};

class LabelMap {
public:
    // Reads the file; throws std::runtime_error naming the file and the line when it
    // cannot be read or a line says nothing this grammar knows.
    static LabelMap Read(const std::string& path);
    // The same from the file's text; `name` names it in errors.
    static LabelMap Parse(std::string_view text, const std::string& name);

    const LabelTarget* Find(std::string_view label) const;
    bool empty() const { return entries_.empty(); }

private:
    std::unordered_map<std::string, LabelTarget> entries_;  // by folded label
};

}  // namespace bv::conversion

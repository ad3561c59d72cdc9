#include "conversion/LabelMap.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <algorithm>

#include "conversion/Labels.h"
#include "mailstore/base/Ascii.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/mime/LabelsField.h"

namespace bv::conversion {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::optional<LabelTarget> TargetOf(std::string_view text) {
    using mailstore::base::EqualsNoCase;
    static const std::pair<std::string_view, LabelRole> kRoles[] = {
        {"Inbox", LabelRole::Inbox},           {"Sent Items", LabelRole::Sent}, {"Drafts", LabelRole::Drafts},
        {"Deleted Items", LabelRole::Trash},   {"Junk Email", LabelRole::Spam}, {"unread", LabelRole::Unread},
        {"starred", LabelRole::Starred},
    };
    for (const auto& [name, role] : kRoles)
        if (EqualsNoCase(text, name)) return LabelTarget{LabelTarget::Kind::Role, role, {}};
    if (EqualsNoCase(text, "ignore")) return LabelTarget{};
    LabelTarget t{LabelTarget::Kind::Folder, LabelRole::Inbox, FolderPathOfLabel(text)};
    if (t.folder.empty()) return std::nullopt;
    return t;
}

}  // namespace

LabelMap LabelMap::Parse(std::string_view text, const std::string& name) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    LabelMap map;
    int lineNumber = 0;
    while (!text.empty()) {
        const size_t nl = std::min(text.find('\n'), text.size());
        const std::string_view line = Trim(text.substr(0, nl));
        text.remove_prefix(std::min(nl + 1, text.size()));
        ++lineNumber;
        if (line.empty() || line.front() == '#') continue;
        auto fail = [&](const std::string& why) {
            throw std::runtime_error(name + ", line " + std::to_string(lineNumber) + ": " + why);
        };
        if (mailstore::base::ValidUtf8Prefix(line) != line.size()) fail("not UTF-8 text");
        // The label: in quotes ("" a quote inside), or up to the first "=".
        std::string label;
        std::string_view rest;
        if (line.front() == '"') {
            size_t i = 1;
            for (; i < line.size(); ++i) {
                if (line[i] != '"') label += line[i];
                else if (i + 1 < line.size() && line[i + 1] == '"') label += line[++i];
                else break;
            }
            if (i >= line.size()) fail("the quoted label has no closing quote");
            rest = Trim(line.substr(i + 1));
            if (rest.empty() || rest.front() != '=') fail("no \"=\" after the label");
            rest.remove_prefix(1);
        } else {
            const size_t eq = line.find('=');
            if (eq == std::string_view::npos) fail("no \"=\" between the label and what it means");
            label = std::string(Trim(line.substr(0, eq)));
            rest = line.substr(eq + 1);
        }
        if (label.empty()) fail("no label before the \"=\"");
        std::optional<LabelTarget> target = TargetOf(Trim(rest));
        if (!target) fail("no folder or meaning after the \"=\"");
        map.entries_[mailstore::mime::FoldedLabel(label)] = std::move(*target);
    }
    return map;
}

LabelMap LabelMap::Read(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) throw std::runtime_error("cannot read the label map " + path);
    return Parse(text.str(), path);
}

const LabelTarget* LabelMap::Find(std::string_view label) const {
    if (entries_.empty()) return nullptr;
    auto it = entries_.find(mailstore::mime::FoldedLabel(label));
    return it == entries_.end() ? nullptr : &it->second;
}

}  // namespace bv::conversion

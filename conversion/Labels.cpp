#include "conversion/Labels.h"

#include <unordered_set>

#include "conversion/PathHelpers.h"
#include "mailstore/base/Ascii.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/mime/LabelsField.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::conversion {

using mailstore::base::EqualsNoCase;
using mailstore::base::StartsWithNoCase;
using mailstore::mime::HeaderFields;

namespace {

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::vector<std::string> FolderPathOfLabel(std::string_view label) {
    std::vector<std::string> path;
    size_t pos = 0;
    while (pos <= label.size()) {
        size_t slash = label.find('/', pos);
        if (slash == std::string_view::npos) slash = label.size();
        std::string_view segment = TrimBlanks(label.substr(pos, slash - pos));
        if (!segment.empty()) path.emplace_back(segment);
        pos = slash + 1;
    }
    return path;
}

namespace {

constexpr int32_t kFollowupFlagged = 2;  // PidTagFlagStatus ([MS-OXOFLAG] 2.2.1.1)
constexpr int32_t kFollowupIconRed = 6;  // PidTagFollowupIcon, Outlook's default flag colour
const mailstore::mapi::PropertyName kFlagRequest{mailstore::mapi::PSETID_Common, uint32_t{0x8530}};       // PidLidFlagRequest
const mailstore::mapi::PropertyName kKeywords{mailstore::mapi::PS_PUBLIC_STRINGS, std::string("Keywords")};  // Outlook's categories

}  // namespace

std::vector<std::string> ReadLabels(const HeaderFields& fields) {
    std::vector<std::string> labels;
    for (const mailstore::mime::HeaderField& f : fields) {
        if (mailstore::mime::IsLabelsFieldName(f.name)) {
            labels.clear();  // Keywords met before it do not count
            mailstore::mime::SplitLabelsValue(f.raw, labels);
            return labels;
        }
        if (EqualsNoCase(f.name, "Keywords")) mailstore::mime::SplitLabelsValue(f.raw, labels);
    }
    return labels;
}

std::vector<std::string> ReadLabels(std::string_view messageText) {
    return ReadLabels(mailstore::mime::ReadMessageTop(messageText).header.fields);
}

MessageLabels SortLabels(const std::vector<std::string>& labels, const LabelRules& rules) {
    MessageLabels out;
    const std::string_view language = rules.language;
    std::optional<LabelRole> best;  // the folder role that chooses, when one does
    bool userFolder = false;        // a user label chose the folder
    std::unordered_set<std::string_view> seen;  // the header is untrusted: no quadratic walks
    auto user = [&](const std::string& label, std::vector<std::string> folder) {
        if (seen.insert(label).second) out.categories.push_back(label);
        if (!userFolder && !folder.empty()) out.folder = std::move(folder), userFolder = true;
    };
    for (const std::string& label : labels) {
        std::optional<LabelRole> role;
        if (const LabelTarget* t = rules.map ? rules.map->Find(label) : nullptr) {
            out.recognised = true;
            if (t->kind == LabelTarget::Kind::Folder) user(label, t->folder);
            if (t->kind != LabelTarget::Kind::Role) continue;
            role = t->role;
        } else if (!(role = RoleOfLabel(label, language))) {
            user(label, FolderPathOfLabel(label));
            continue;
        }
        out.recognised = out.recognised || *role != LabelRole::Ignored;
        if (IsFolderRole(*role)) {
            if (!best || *role < *best) best = role;
        } else if (*role == LabelRole::Unread) {
            out.unread = true;
        } else if (*role == LabelRole::Starred) {
            out.starred = true;
        } else if (*role == LabelRole::Important || *role == LabelRole::Category) {
            user(label, {});
        }
    }
    if (best) out.folder = {std::string(FolderOfRole(*best))};
    else if (out.folder.empty()) out.folder = {"Archive"};
    return out;
}

bool SameLabelFolder(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!EqualsNoCase(a[i], b[i])) return false;
    return true;
}

std::optional<std::vector<std::string>> LabelsOfSorted(const std::vector<std::string>& labelFolder,
                                                       const std::vector<std::string>& categories,
                                                       const LabelRules& rules) {
    std::vector<std::string> labels = categories;
    if (SameLabelFolder(SortLabels(labels, rules).folder, labelFolder)) return labels;
    for (LabelRole role : {LabelRole::Trash, LabelRole::Spam, LabelRole::Drafts, LabelRole::Sent, LabelRole::Inbox,
                           LabelRole::Chat}) {
        if (labelFolder.size() != 1 || !EqualsNoCase(labelFolder[0], FolderOfRole(role))) continue;
        labels.insert(labels.begin(), NameOfRole(role, rules.language));
        return labels;
    }
    return std::nullopt;
}

MessageLabels LabelsOfMessage(std::string_view messageText, const LabelRules& rules) {
    return SortLabels(ReadLabels(messageText), rules);
}
MessageLabels LabelsOfMessage(const HeaderFields& fields, const LabelRules& rules) {
    return SortLabels(ReadLabels(fields), rules);
}

void ApplyLabels(const MessageLabels& labels, mailstore::mapi::Message& message) {
    mailstore::mapi::PropertyBag& props = message.props;
    if (labels.unread)
        props.SetInt(mailstore::mapi::PR_MESSAGE_FLAGS, props.GetInt(mailstore::mapi::PR_MESSAGE_FLAGS).value_or(0) & ~mailstore::mapi::MSGFLAG_READ);
    if (labels.starred) {
        props.SetInt(mailstore::mapi::PR_FLAG_STATUS, kFollowupFlagged);
        props.SetInt(mailstore::mapi::PR_FOLLOWUP_ICON, kFollowupIconRed);
        props.SetNamed(kFlagRequest, mailstore::mapi::PT_UNICODE, std::string("Follow up"));
    }
    if (!labels.categories.empty()) props.SetNamed(kKeywords, mailstore::mapi::PT_MV_UNICODE, labels.categories);
}

std::string FolderNameOnDisk(std::string_view name) {
    constexpr size_t kMaxBytes = 200;
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool forbidden = u < 0x20 || u == 0x7F || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
        out.push_back(forbidden ? '_' : c);
    }
    if (out.size() > kMaxBytes) {
        size_t cut = kMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
        out.resize(cut);
    }
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    if (out.empty()) return "_";
    // Device names are reserved with any extension: "con", "NUL.txt", "com1.x".
    std::string_view stem = std::string_view(out).substr(0, out.find('.'));
    stem = TrimBlanks(stem);
    static constexpr std::string_view kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    bool reserved = false;
    for (std::string_view d : kDevices) reserved = reserved || EqualsNoCase(stem, d);
    if (stem.size() == 4 && (StartsWithNoCase(stem, "COM") || StartsWithNoCase(stem, "LPT")) && stem[3] >= '0' &&
        stem[3] <= '9')
        reserved = true;
    if (reserved) out += '_';
    return out;
}

std::string LabelFolderOnDisk(std::string_view mailboxFolder, const std::vector<std::string>& folder) {
    std::string path(mailboxFolder);
    for (const std::string& segment : folder) {
        path = WithTrailingSeparator(path);
        path += FolderNameOnDisk(segment);
    }
    return path;
}

}  // namespace bv::conversion

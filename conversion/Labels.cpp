#include "conversion/Labels.h"

#include <array>
#include <unordered_set>

#include "conversion/HeaderFields.h"
#include "conversion/PathHelpers.h"
#include "mailstore/mapi/Message.h"

namespace bv::conversion {

namespace {

bool IsAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// "X-<word>-Labels", any case.
bool IsLabelsFieldName(std::string_view name) {
    constexpr std::string_view kSuffix = "-labels";
    if (name.size() < 2 + 1 + kSuffix.size() || !StartsWithNoCase(name, "x-")) return false;
    if (!EqualsNoCase(name.substr(name.size() - kSuffix.size()), kSuffix)) return false;
    std::string_view word = name.substr(2, name.size() - 2 - kSuffix.size());
    for (char c : word)
        if (!IsAsciiAlnum(c)) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Length of the RFC 2047 encoded word "=?charset?X?text?=" at the start of `s`, or 0.
// The standard allows 75 characters; longer ones are met, so up to 1000 are taken (the
// bound keeps a header full of "=?" from being scanned over and over).
size_t EncodedWordLength(std::string_view s) {
    constexpr size_t kMaxLength = 1000;
    s = s.substr(0, kMaxLength);
    if (s.size() < 8 || s[0] != '=' || s[1] != '?') return 0;
    size_t q1 = s.find('?', 2);
    if (q1 == std::string_view::npos || q1 + 2 >= s.size() || s[q1 + 2] != '?') return 0;
    char enc = s[q1 + 1];
    if (enc != 'Q' && enc != 'q' && enc != 'B' && enc != 'b') return 0;
    size_t end = s.find("?=", q1 + 3);
    if (end == std::string_view::npos) return 0;
    for (size_t i = q1 + 3; i < end; ++i)
        if (s[i] == ' ' || s[i] == '\t') return 0;
    return end + 2;
}

// Encoded words decoded and other bytes made UTF-8; plain ASCII is returned as it is.
std::string DecodeLabel(std::string_view label) {
    bool plain = label.find("=?") == std::string_view::npos;
    for (char c : label)
        if (static_cast<unsigned char>(c) >= 0x80) plain = false;
    if (plain) return std::string(label);
    return std::string(TrimBlanks(DecodeText(label)));
}

// Splits a labels value at its commas (not inside double quotes or encoded words).
void SplitLabels(std::string_view value, std::vector<std::string>& out) {
    std::string current;
    bool quoted = false;
    auto finish = [&] {
        std::string_view label = TrimBlanks(current);
        if (!label.empty()) out.push_back(DecodeLabel(label));
        current.clear();
    };
    for (size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (quoted) {
            if (c == '"') quoted = false;
            else if (c == '\\' && i + 1 < value.size()) current.push_back(value[++i]);
            else current.push_back(c);
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            finish();
        } else if (size_t n = c == '=' ? EncodedWordLength(value.substr(i)) : 0) {
            current.append(value.substr(i, n));
            i += n - 1;
        } else {
            current.push_back(c);
        }
    }
    finish();
}

enum class Kind { State, Folder };  // every other label is a user label

struct SystemLabel {
    std::string_view name;
    Kind kind;
    int rank;                 // folder labels: precedence, lower wins
    std::string_view folder;  // folder labels: the folder they choose
};

constexpr std::array<SystemLabel, 11> kSystemLabels{{
    {"Trash", Kind::Folder, 0, "Deleted Items"},
    {"Spam", Kind::Folder, 1, "Junk Email"},
    {"Drafts", Kind::Folder, 2, "Drafts"},
    {"Draft", Kind::Folder, 2, "Drafts"},
    {"Sent", Kind::Folder, 3, "Sent Items"},
    {"Inbox", Kind::Folder, 4, "Inbox"},
    {"Chat", Kind::Folder, 5, "Chats"},
    {"Unread", Kind::State, 0, {}},
    {"Opened", Kind::State, 0, {}},
    {"Starred", Kind::State, 0, {}},
    {"Archived", Kind::State, 0, {}},
}};

const SystemLabel* FindSystemLabel(std::string_view label) {
    for (const SystemLabel& s : kSystemLabels)
        if (EqualsNoCase(label, s.name)) return &s;
    return nullptr;
}

// The nested folder a user label names, or empty when it may not choose one.
std::vector<std::string> FolderOfUserLabel(std::string_view label) {
    std::vector<std::string> path;
    if (EqualsNoCase(label, "Important") || StartsWithNoCase(label, "Category ")) return path;
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

constexpr int32_t kFollowupFlagged = 2;  // PidTagFlagStatus ([MS-OXOFLAG] 2.2.1.1)
constexpr int32_t kFollowupIconRed = 6;  // PidTagFollowupIcon, Outlook's default flag colour
const mailstore::mapi::PropertyName kFlagRequest{mailstore::mapi::PSETID_Common, uint32_t{0x8530}};       // PidLidFlagRequest
const mailstore::mapi::PropertyName kKeywords{mailstore::mapi::PS_PUBLIC_STRINGS, std::string("Keywords")};  // Outlook's categories

}  // namespace

std::vector<std::string> ReadLabels(const HeaderFields& fields) {
    std::vector<std::string> labels;
    std::string keywords;
    for (const mailstore::mime::HeaderField& f : fields) {
        if (IsLabelsFieldName(f.name)) {
            SplitLabels(UnfoldFieldValue(f.raw), labels);
            return labels;
        }
        if (EqualsNoCase(f.name, "Keywords")) {
            if (!keywords.empty()) keywords += ',';
            keywords += UnfoldFieldValue(f.raw);
        }
    }
    SplitLabels(keywords, labels);
    return labels;
}

std::vector<std::string> ReadLabels(std::string_view messageText) {
    return ReadLabels(mailstore::mime::ReadMessageTop(messageText).header.fields);
}

MessageLabels SortLabels(const std::vector<std::string>& labels) {
    MessageLabels out;
    const SystemLabel* best = nullptr;
    std::unordered_set<std::string_view> seen;  // the header is untrusted: no quadratic walks
    for (const std::string& label : labels) {
        const SystemLabel* s = FindSystemLabel(label);
        if (!s) {
            if (seen.insert(label).second) out.categories.push_back(label);
            if (out.folder.empty()) out.folder = FolderOfUserLabel(label);
        } else if (s->kind == Kind::Folder) {
            if (!best || s->rank < best->rank) best = s;
        } else if (EqualsNoCase(s->name, "Unread")) {
            out.unread = true;
        } else if (EqualsNoCase(s->name, "Starred")) {
            out.starred = true;
        }
    }
    if (best) out.folder = {std::string(best->folder)};
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
                                                       const std::vector<std::string>& categories) {
    std::vector<std::string> labels = categories;
    if (SameLabelFolder(SortLabels(labels).folder, labelFolder)) return labels;
    for (const SystemLabel& s : kSystemLabels) {
        if (s.kind != Kind::Folder || labelFolder.size() != 1 || !EqualsNoCase(labelFolder[0], s.folder)) continue;
        labels.insert(labels.begin(), std::string(s.name));
        return labels;
    }
    return std::nullopt;
}

MessageLabels LabelsOfMessage(std::string_view messageText) { return SortLabels(ReadLabels(messageText)); }
MessageLabels LabelsOfMessage(const HeaderFields& fields) { return SortLabels(ReadLabels(fields)); }

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

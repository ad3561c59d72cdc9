#include "conversion/LabelNames.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

#include "mailstore/mime/LabelsField.h"

namespace bv::conversion {

namespace {

using R = LabelRole;
constexpr NameSource E = NameSource::Export, W = NameSource::Web;

// One line per name. To add a language or a name met in an export, add its lines; a
// name written in an export is marked E, one known only as a web folder name W.
// Category names are prefixes: "Kategorie" matches `Kategorie: "Persönlich"`.
const std::vector<SystemLabelName> kNames = {
    {"en", R::Inbox, "Inbox", E}, {"en", R::Sent, "Sent", E}, {"en", R::Drafts, "Drafts", E},
    {"en", R::Drafts, "Draft", E}, {"en", R::Trash, "Trash", E}, {"en", R::Spam, "Spam", E},
    {"en", R::Chat, "Chat", E}, {"en", R::Unread, "Unread", E}, {"en", R::Starred, "Starred", E},
    {"en", R::Opened, "Opened", E}, {"en", R::Archived, "Archived", E}, {"en", R::Important, "Important", E},
    {"en", R::Category, "Category", E}, {"en", R::Ignored, "Muted", E},

    {"de", R::Inbox, "Posteingang", E}, {"de", R::Sent, "Gesendet", E}, {"de", R::Drafts, "Entwürfe", E},
    {"de", R::Trash, "Papierkorb", E}, {"de", R::Unread, "Ungelesen", E}, {"de", R::Opened, "Geöffnet", E},
    {"de", R::Archived, "Archiviert", E}, {"de", R::Important, "Wichtig", E}, {"de", R::Category, "Kategorie", E},
    {"de", R::Spam, "Spam", W}, {"de", R::Starred, "Markiert", W},

    {"fr", R::Inbox, "Boîte de réception", E}, {"fr", R::Sent, "Messages envoyés", E}, {"fr", R::Sent, "Envoyé", E},
    {"fr", R::Drafts, "Brouillons", E}, {"fr", R::Trash, "Corbeille", E}, {"fr", R::Unread, "Non lus", E},
    {"fr", R::Opened, "Ouvert", E}, {"fr", R::Archived, "Messages archivés", E}, {"fr", R::Archived, "Archivés", E},
    {"fr", R::Important, "Important", E}, {"fr", R::Category, "Catégorie", E},
    {"fr", R::Spam, "Spam", W}, {"fr", R::Starred, "Suivis", W},

    {"es", R::Inbox, "Recibidos", E}, {"es", R::Sent, "Enviados", E}, {"es", R::Drafts, "Borradores", E},
    {"es", R::Trash, "Papelera", E}, {"es", R::Unread, "No leídos", E}, {"es", R::Opened, "Abierto", E},
    {"es", R::Archived, "Archivados", E}, {"es", R::Important, "Importante", E}, {"es", R::Category, "Categoría", E},
    {"es", R::Spam, "Spam", W}, {"es", R::Starred, "Destacados", W},

    {"ca", R::Inbox, "Safata d'entrada", E}, {"ca", R::Sent, "Enviats", E}, {"ca", R::Drafts, "Esborranys", E},
    {"ca", R::Trash, "Paperera", E}, {"ca", R::Unread, "No llegits", E}, {"ca", R::Opened, "Oberts", E},
    {"ca", R::Important, "Importants", E}, {"ca", R::Category, "Categoria", E},
    {"ca", R::Spam, "Correu brossa", W}, {"ca", R::Starred, "Destacats", W},

    {"cs", R::Inbox, "Doručené", E}, {"cs", R::Sent, "Odesláno", E}, {"cs", R::Unread, "Nepřečtené", E},
    {"cs", R::Important, "Důležité", E},
    {"cs", R::Inbox, "Doručená pošta", W}, {"cs", R::Sent, "Odeslaná pošta", W}, {"cs", R::Drafts, "Koncepty", W},
    {"cs", R::Trash, "Koš", W}, {"cs", R::Spam, "Spam", W}, {"cs", R::Starred, "S hvězdičkou", W},

    {"it", R::Unread, "Da leggere", E},
    {"it", R::Inbox, "Posta in arrivo", W}, {"it", R::Sent, "Posta inviata", W}, {"it", R::Drafts, "Bozze", W},
    {"it", R::Trash, "Cestino", W}, {"it", R::Spam, "Spam", W}, {"it", R::Starred, "Speciali", W},
    {"it", R::Important, "Importanti", W},

    {"nl", R::Archived, "Gearchiveerd", E},
    {"nl", R::Inbox, "Postvak IN", W}, {"nl", R::Sent, "Verzonden", W}, {"nl", R::Drafts, "Concepten", W},
    {"nl", R::Trash, "Prullenbak", W}, {"nl", R::Spam, "Spam", W}, {"nl", R::Starred, "Met ster", W},
    {"nl", R::Important, "Belangrijk", W},

    {"pt", R::Inbox, "Caixa de entrada", W}, {"pt", R::Sent, "Enviados", W}, {"pt", R::Drafts, "Rascunhos", W},
    {"pt", R::Trash, "Lixeira", W}, {"pt", R::Trash, "Lixo", W}, {"pt", R::Spam, "Spam", W},
    {"pt", R::Starred, "Com estrela", W}, {"pt", R::Important, "Importante", W},

    {"pl", R::Inbox, "Odebrane", W}, {"pl", R::Sent, "Wysłane", W}, {"pl", R::Drafts, "Wersje robocze", W},
    {"pl", R::Trash, "Kosz", W}, {"pl", R::Spam, "Spam", W}, {"pl", R::Starred, "Oznaczone gwiazdką", W},
    {"pl", R::Important, "Ważne", W},

    {"ru", R::Inbox, "Входящие", W}, {"ru", R::Sent, "Отправленные", W}, {"ru", R::Drafts, "Черновики", W},
    {"ru", R::Trash, "Корзина", W}, {"ru", R::Spam, "Спам", W}, {"ru", R::Starred, "Помеченные", W},
    {"ru", R::Important, "Важное", W},

    {"ja", R::Inbox, "受信トレイ", W}, {"ja", R::Sent, "送信済みメール", W}, {"ja", R::Drafts, "下書き", W},
    {"ja", R::Trash, "ゴミ箱", W}, {"ja", R::Spam, "迷惑メール", W}, {"ja", R::Starred, "スター付き", W},
    {"ja", R::Important, "重要", W},

    {"zh", R::Inbox, "收件箱", W}, {"zh", R::Sent, "已发邮件", W}, {"zh", R::Drafts, "草稿", W},
    {"zh", R::Trash, "已删除邮件", W}, {"zh", R::Spam, "垃圾邮件", W}, {"zh", R::Starred, "已加星标", W},
    {"zh", R::Important, "重要", W},

    {"ko", R::Inbox, "받은편지함", W}, {"ko", R::Sent, "보낸편지함", W}, {"ko", R::Drafts, "임시보관함", W},
    {"ko", R::Trash, "휴지통", W}, {"ko", R::Spam, "스팸함", W}, {"ko", R::Starred, "별표편지함", W},
    {"ko", R::Important, "중요", W},

    {"tr", R::Inbox, "Gelen Kutusu", W}, {"tr", R::Sent, "Gönderilmiş Postalar", W}, {"tr", R::Drafts, "Taslaklar", W},
    {"tr", R::Trash, "Çöp Kutusu", W}, {"tr", R::Spam, "Spam", W}, {"tr", R::Starred, "Yıldızlı", W},
    {"tr", R::Important, "Önemli", W},
};

// The name of the mailbox of all mail in exports, as far as known; exports cut long
// file names, so a mailbox name matches a start of it, or it a start of the name.
const std::pair<std::string_view, std::string_view> kAllMailNames[] = {
    {"en", "All mail Including Spam and Trash"},
    {"de", "Alle E-Mails einschliesslich Spam-Nachrichten und E-Mails im Papierkorb"},
};

// Client keywords an export carries along ("IMAP_$NotJunk", "IMAP_Junk").
constexpr std::string_view kClientKeywordPrefix = "imap_";

struct Index {
    std::unordered_map<std::string, std::vector<const SystemLabelName*>> exact;
    std::vector<std::pair<std::string, const SystemLabelName*>> prefixes;  // Category
    std::set<std::pair<std::string_view, LabelRole>> named;  // (language, role) with a name seen in exports

    Index() {
        for (const SystemLabelName& n : kNames) {
            if (n.source == NameSource::Export) named.insert({n.language, n.role});
            if (n.role == LabelRole::Category) prefixes.emplace_back(mailstore::mime::FoldedLabel(n.name), &n);
            else exact[mailstore::mime::FoldedLabel(n.name)].push_back(&n);
        }
    }
    // Whether `n` counts in a mailbox of `language`: English stands in for the roles
    // whose name in that language no export has shown.
    bool Counts(const SystemLabelName& n, std::string_view language) const {
        if (language.empty() || n.language == language) return true;
        return n.language == "en" && !named.count({language, n.role});
    }
};

const Index& TheIndex() {
    static const Index index;
    return index;
}

// "kategorie" starts `kategorie: "personlich"`: the prefix, then a blank or a colon.
bool StartsCategory(const std::string& folded, const std::string& prefix) {
    return folded.size() > prefix.size() && folded.compare(0, prefix.size(), prefix) == 0 &&
           (folded[prefix.size()] == ' ' || folded[prefix.size()] == ':');
}

// Every name a folded label matches, of any language.
std::vector<const SystemLabelName*> Matches(const std::string& folded) {
    const Index& index = TheIndex();
    if (auto it = index.exact.find(folded); it != index.exact.end()) return it->second;
    std::vector<const SystemLabelName*> out;
    for (const auto& [prefix, n] : index.prefixes)
        if (StartsCategory(folded, prefix)) out.push_back(n);
    return out;
}

}  // namespace

bool IsFolderRole(LabelRole role) { return role <= LabelRole::Chat; }

std::string_view FolderOfRole(LabelRole role) {
    switch (role) {
        case LabelRole::Trash: return "Deleted Items";
        case LabelRole::Spam: return "Junk Email";
        case LabelRole::Drafts: return "Drafts";
        case LabelRole::Sent: return "Sent Items";
        case LabelRole::Inbox: return "Inbox";
        case LabelRole::Chat: return "Chats";
        default: return {};
    }
}

const std::vector<SystemLabelName>& SystemLabelNames() { return kNames; }

std::optional<LabelRole> RoleOfLabel(std::string_view label, std::string_view language) {
    const std::string folded = mailstore::mime::FoldedLabel(label);
    if (folded.compare(0, kClientKeywordPrefix.size(), kClientKeywordPrefix) == 0) return LabelRole::Ignored;
    for (const SystemLabelName* n : Matches(folded))
        if (TheIndex().Counts(*n, language)) return n->role;
    return std::nullopt;
}

std::vector<std::string_view> LanguagesOfLabels(const std::vector<std::string>& labels) {
    std::vector<std::string_view> out;
    for (const std::string& label : labels) {
        const std::vector<const SystemLabelName*> names = Matches(mailstore::mime::FoldedLabel(label));
        if (names.empty()) continue;
        const std::string_view language = names.front()->language;
        if (!std::all_of(names.begin(), names.end(), [&](const SystemLabelName* n) { return n->language == language; }))
            continue;
        if (std::find(out.begin(), out.end(), language) == out.end()) out.push_back(language);
    }
    return out;
}

std::string_view LanguageOfMailboxName(std::string_view mailboxName) {
    const std::string folded = mailstore::mime::FoldedLabel(mailboxName);
    constexpr size_t kShortest = 12;  // a shorter start of the all-mail name tells nothing
    for (const auto& [language, name] : kAllMailNames) {
        const std::string all = mailstore::mime::FoldedLabel(name);
        const size_t n = std::min(all.size(), folded.size());
        if (n >= kShortest && all.compare(0, n, folded, 0, n) == 0) return language;
    }
    std::vector<std::string_view> languages = LanguagesOfLabels({std::string(mailboxName)});
    return languages.size() == 1 ? languages.front() : std::string_view();
}

std::string NameOfRole(LabelRole role, std::string_view language) {
    const SystemLabelName* english = nullptr;
    for (const SystemLabelName& n : kNames) {
        if (n.role != role) continue;
        if (n.language == language) return std::string(n.name);
        if (!english && n.language == "en") english = &n;
    }
    return english ? std::string(english->name) : std::string();
}

void LanguageVote::Add(const std::vector<std::string>& labels) {
    const std::vector<std::string_view> languages = LanguagesOfLabels(labels);
    if (languages.size() != 1) return;
    auto it = std::find_if(votes_.begin(), votes_.end(), [&](const auto& v) { return v.first == languages.front(); });
    if (it == votes_.end()) votes_.emplace_back(languages.front(), 1);
    else ++it->second;
}

namespace {
constexpr int kEnoughVotes = 16;
}

bool LanguageVote::Settled() const {
    int top = 0;
    for (const auto& v : votes_) top = std::max(top, v.second);
    return top >= kEnoughVotes && !Language().empty();
}

std::string LanguageVote::Language() const {
    int total = 0;
    const std::pair<std::string_view, int>* top = nullptr;
    for (const auto& v : votes_) {
        total += v.second;
        if (!top || v.second > top->second) top = &v;
    }
    // Nine in ten: an English user label in a German account does not split the vote.
    if (!top || top->second * 10 < total * 9) return std::string();
    return std::string(top->first);
}

}  // namespace bv::conversion

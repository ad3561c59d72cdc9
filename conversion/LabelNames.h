// The system labels of an export in each language the exports are known in: which
// names mean Inbox, Unread, a category and so on, and how sure that is. A label is
// matched without regard to case and to diacritics (mime::FoldedLabel).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bv::conversion {

// What a system label means. The folder roles come first, in their precedence: when a
// message carries several, the first of this order chooses its folder.
enum class LabelRole {
    Trash, Spam, Drafts, Sent, Inbox, Chat,  // choose a folder
    Unread, Starred,                         // set a state
    Opened, Archived,                        // change nothing
    Important, Category,                     // user labels that choose no folder (Category: a prefix)
    Ignored,                                 // neither folder nor user label (Muted, IMAP_ keywords)
};

bool IsFolderRole(LabelRole role);
// The folder a folder role chooses ("Deleted Items" for Trash).
std::string_view FolderOfRole(LabelRole role);

// How a name is known.
enum class NameSource {
    Export,  // written so in exports of accounts in that language
    Web,     // the service's web folder name in that language, not seen in an export
};

// One line of the table: a language's name for a role.
struct SystemLabelName {
    std::string_view language;  // ISO 639-1 ("de"), "en" for English
    LabelRole role;
    std::string_view name;
    NameSource source;
};
// The whole table, in the order written.
const std::vector<SystemLabelName>& SystemLabelNames();

// The role of a label in a mailbox whose language is `language` ("" when not known).
// With a language, that language's names count, and English names for the roles no
// export in that language has shown a name for; names of other languages are user labels. Without one,
// every language's names count.
std::optional<LabelRole> RoleOfLabel(std::string_view label, std::string_view language);

// The languages whose names a list of labels uses that belong to one language only
// ("Posteingang" is German; "Important" is English and French, so tells nothing);
// each language once, in the order first met.
std::vector<std::string_view> LanguagesOfLabels(const std::vector<std::string>& labels);

// The language a mailbox's name tells: a name of a system folder or the all-mail
// mailbox in one language only ("Posteingang", "Alle E-Mails einschliesslich
// Spam-Nachrichten und E..."); "" otherwise.
std::string_view LanguageOfMailboxName(std::string_view mailboxName);

// A name of `role` that RoleOfLabel reads as `role` in a mailbox of `language`.
std::string NameOfRole(LabelRole role, std::string_view language);

// Guesses a mailbox's language from the labels of its first messages: each message
// whose labels use names of one language only votes for it. Clear once a language has
// most of the votes (at least 9 in 10) and enough of them, or when the sample ends
// (Settle) with any votes at all.
class LanguageVote {
public:
    void Add(const std::vector<std::string>& labels);
    // A language has enough votes that more messages would not change the outcome.
    bool Settled() const;
    // The language, or "" when the votes are none or split.
    std::string Language() const;

private:
    std::vector<std::pair<std::string_view, int>> votes_;
};

}  // namespace bv::conversion

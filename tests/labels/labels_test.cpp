// Sorting by labels: the test mailbox cut by the real splitter, then each message's
// folder, states and categories; the on-disk folder names; the labels on a MAPI message.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "conversion/AppendStrings.h"
#include "conversion/Labels.h"
#include "conversion/MessageExtraction.h"
#include "conversion/PathHelpers.h"
#include "mailstore/mapi/Message.h"

using namespace bv::conversion;
using Strings = std::vector<std::string>;

namespace {

struct Collect : MessageSink {
    std::vector<std::string> texts;
    void OutputMessage(int32_t, AppendStrings& text) override { texts.push_back(text.Take()); }
    bool ShouldStop() override { return false; }
};

std::vector<std::string> LabelsMailbox() {
    const std::string path = std::string(BV_TEST_DATA) + "/labels.mbox";
    Collect sink;
    AppendStrings acc;
    ExtractionResult r = ExtractMailbox(path, ProbeMailboxFile(path).lineEnds, sink, acc);
    EXPECT_TRUE(r.error.empty()) << r.error;
    return sink.texts;
}

struct Expected {
    Strings folder;
    bool unread, starred;
    Strings categories;
};

}  // namespace

TEST(Labels, EveryMessageOfTheTestMailbox) {
    // Message number -> what its labels decide.
    const std::map<int, Expected> expected = {
        {1, {{"Inbox"}, true, false, {"Work"}}},
        {2, {{"Deleted Items"}, false, false, {}}},          // Trash before Spam
        {3, {{"Junk Email"}, false, false, {}}},             // Spam before Drafts
        {4, {{"Drafts"}, false, false, {}}},                 // Drafts before Sent
        {5, {{"Drafts"}, false, false, {}}},                 // Draft too
        {6, {{"Sent Items"}, false, false, {}}},             // Sent before Inbox
        {7, {{"Inbox"}, false, false, {}}},                  // Inbox before Chat
        {8, {{"Chats"}, false, false, {"Family"}}},          // Chat before a user label
        {9, {{"Work", "Projects"}, false, false, {"Work/Projects", "Personal"}}},
        {10, {{"Clients, Europe"}, false, true, {"Clients, Europe"}}},
        {11, {{"Reçus, 2026"}, false, false, {"Reçus, 2026"}}},
        {12, {{"Письма", "Важное"}, false, false, {"Письма/Важное"}}},
        {13, {{"Inbox"}, false, false, {"Über/Straße"}}},
        {14, {{"Archive"}, false, false, {}}},
        {15, {{"Projects"}, true, false, {"Projects"}}},
        {16, {{"Archive"}, true, true, {}}},
        {17, {{"Archive"}, false, false, {"Important"}}},
        {18, {{"Archive"}, false, false, {"Category Travel"}}},
        {19, {{"Receipts"}, false, false, {"Important", "Category Updates", "Receipts"}}},
        {20, {{"Inbox"}, true, true, {}}},
        {21, {{"Sent Items"}, false, false, {"Work, Q3"}}},
        {22, {{"Inbox"}, false, false, {"Kept"}}},
        {23, {{"Archive"}, false, false, {}}},               // labels in the body do not count
        {24, {{"Bills: 2026?"}, false, false, {"Bills: 2026?"}}},
        {25, {{"..", "..", "etc", "CON"}, false, false, {"../../etc/CON"}}},
    };
    std::vector<std::string> messages = LabelsMailbox();
    ASSERT_EQ(messages.size(), expected.size());
    for (const auto& [n, want] : expected) {
        SCOPED_TRACE("message " + std::to_string(n));
        MessageLabels got = LabelsOfMessage(messages[size_t(n - 1)]);
        EXPECT_EQ(got.folder, want.folder);
        EXPECT_EQ(got.unread, want.unread);
        EXPECT_EQ(got.starred, want.starred);
        EXPECT_EQ(got.categories, want.categories);
    }
}

TEST(Labels, ReadingTheField) {
    // CR LF line ends, a separator line, a folded value, escapes inside quotes.
    EXPECT_EQ(ReadLabels("From x\r\nSubject: s\r\nX-Brimvault-Labels: a,\r\n\t\"b \\\"c\\\", d\" , ,e\r\n\r\nbody"),
              (Strings{"a", "b \"c\", d", "e"}));
    // Any word between X- and -Labels, but a word: no empty one, no punctuation.
    EXPECT_EQ(ReadLabels("X-Other2-Labels: a\n\n"), Strings{"a"});
    EXPECT_TRUE(ReadLabels("X-Labels: a\n\n").empty());
    EXPECT_TRUE(ReadLabels("X-Some.Word-Labels: a\n\n").empty());
    // Several Keywords fields are read together; the first labels field alone counts.
    EXPECT_EQ(ReadLabels("Keywords: a, b\nKeywords: c\n\n"), (Strings{"a", "b", "c"}));
    EXPECT_EQ(ReadLabels("X-A-Labels: a\nX-B-Labels: b\nKeywords: c\n\n"), Strings{"a"});
    // Adjacent encoded words join; a Latin-1 byte is read as text, not lost.
    EXPECT_EQ(ReadLabels("X-A-Labels: =?UTF-8?Q?Caf=C3=A9?= =?UTF-8?Q?_Bar?=\n\n"), Strings{"Café Bar"});
    Strings latin1 = ReadLabels("X-A-Labels: Caf\xE9\n\n");
    ASSERT_EQ(latin1.size(), 1u);
    EXPECT_EQ(latin1[0], "Café");
    // An encoded word inside quotes is decoded as well (senders do write that).
    EXPECT_EQ(ReadLabels("X-A-Labels: \"=?UTF-8?B?w6l0w6k=?=\"\n\n"), Strings{"été"});
    // The header ends at the first empty line; an attached message's header is body.
    EXPECT_TRUE(ReadLabels("Subject: s\n\nX-A-Labels: Trash\n").empty());
    EXPECT_TRUE(ReadLabels("").empty());
}

TEST(Labels, Sorting) {
    // Header order decides between user labels, precedence between folder labels.
    EXPECT_EQ(SortLabels({"B", "A"}).folder, Strings{"B"});
    EXPECT_EQ(SortLabels({"Inbox", "Trash"}).folder, Strings{"Deleted Items"});
    // Separators only, or empty segments: no folder from that label, the next one chooses.
    EXPECT_EQ(SortLabels({"/", "x//y/"}).folder, (Strings{"x", "y"}));
    EXPECT_EQ(SortLabels({" Work / Projects "}).folder, (Strings{"Work", "Projects"}));
    // "Category" alone or without the blank is an ordinary user label.
    EXPECT_EQ(SortLabels({"Categoryless"}).folder, Strings{"Categoryless"});
    EXPECT_EQ(SortLabels({"category news", "x"}).folder, Strings{"x"});
    // A label given twice is one category; Opened and Archived change nothing.
    MessageLabels twice = SortLabels({"Work", "Opened", "Work", "Archived"});
    EXPECT_EQ(twice.categories, Strings{"Work"});
    EXPECT_FALSE(twice.unread);
    EXPECT_EQ(SortLabels({}).folder, Strings{"Archive"});
}

TEST(Labels, FolderNamesOnDisk) {
    EXPECT_EQ(FolderNameOnDisk("Work"), "Work");
    EXPECT_EQ(FolderNameOnDisk("Bills: 2026?"), "Bills_ 2026_");
    EXPECT_EQ(FolderNameOnDisk("a<b>c\"d|e*f\\g/h"), "a_b_c_d_e_f_g_h");
    EXPECT_EQ(FolderNameOnDisk(std::string("tab\there\x01")), "tab_here_");
    EXPECT_EQ(FolderNameOnDisk("Notes. . "), "Notes");
    EXPECT_EQ(FolderNameOnDisk(" lead"), " lead");
    EXPECT_EQ(FolderNameOnDisk("Reçus"), "Reçus");
    // Nothing may name the folder itself, its parent, or a device.
    EXPECT_EQ(FolderNameOnDisk(""), "_");
    EXPECT_EQ(FolderNameOnDisk("."), "_");
    EXPECT_EQ(FolderNameOnDisk(".."), "_");
    EXPECT_EQ(FolderNameOnDisk("..."), "_");
    EXPECT_EQ(FolderNameOnDisk("CON"), "CON_");
    EXPECT_EQ(FolderNameOnDisk("nul.txt"), "nul.txt_");
    EXPECT_EQ(FolderNameOnDisk("com7"), "com7_");
    EXPECT_EQ(FolderNameOnDisk("LPT1 "), "LPT1_");
    EXPECT_EQ(FolderNameOnDisk("COM"), "COM");
    EXPECT_EQ(FolderNameOnDisk("Console"), "Console");
    // Long names are cut at a character boundary.
    std::string longName;
    for (int i = 0; i < 150; ++i) longName += "é";
    std::string cut = FolderNameOnDisk(longName);
    EXPECT_LE(cut.size(), 200u);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_EQ(cut, longName.substr(0, cut.size()));
}

TEST(Labels, LabelFolderStaysInsideTheMailboxFolder) {
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(LabelFolderOnDisk("out" + sep + "Inbox.mbox", {"Work", "Projects"}),
              "out" + sep + "Inbox.mbox" + sep + "Work" + sep + "Projects");
    const std::string mine = "out" + sep + "a.mbox";
    for (const MessageLabels& l : {LabelsOfMessage("X-A-Labels: ../../etc\n\n"),
                                   LabelsOfMessage("X-A-Labels: \"..\\\\..\\\\x\"\n\n"),
                                   LabelsOfMessage("X-A-Labels: C:/Windows\n\n")}) {
        std::string path = LabelFolderOnDisk(mine, l.folder);
        ASSERT_EQ(path.rfind(mine + sep, 0), 0u) << path;
        std::string rest = path.substr(mine.size() + 1);
        // No drive and no separator of the other system inside the mailbox's folder.
        EXPECT_EQ(rest.find_first_of(kPathSeparator == '/' ? ":\\" : ":/"), std::string::npos) << path;
        for (size_t pos = 0; pos <= rest.size();) {
            size_t end = std::min(rest.find(kPathSeparator, pos), rest.size());
            std::string segment = rest.substr(pos, end - pos);
            EXPECT_TRUE(segment != "" && segment != "." && segment != "..") << path;
            pos = end + 1;
        }
    }
}

TEST(Labels, StatesAndCategoriesOnAMapiMessage) {
    using namespace bv::mailstore::mapi;
    const PropertyName keywords{PS_PUBLIC_STRINGS, std::string("Keywords")};
    const PropertyName flagRequest{PSETID_Common, uint32_t{0x8530}};

    Message m;
    m.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH);
    ApplyLabels(LabelsOfMessage("X-A-Labels: Inbox,Unread,Starred,Work/Projects,\"a, b\",Important\n\n"), m);
    EXPECT_EQ(m.props.GetInt(PR_MESSAGE_FLAGS), MSGFLAG_HASATTACH);
    EXPECT_EQ(m.props.GetInt(PR_FLAG_STATUS), 2);
    EXPECT_EQ(m.props.GetInt(PR_FOLLOWUP_ICON), 6);
    const Property* request = m.props.FindNamed(flagRequest);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->type, PT_UNICODE);
    EXPECT_EQ(std::get<std::string>(request->value), "Follow up");
    const Property* categories = m.props.FindNamed(keywords);
    ASSERT_NE(categories, nullptr);
    EXPECT_EQ(categories->type, PT_MV_UNICODE);
    EXPECT_EQ(std::get<Strings>(categories->value), (Strings{"Work/Projects", "a, b", "Important"}));

    // Read and unflagged, no user labels: the message is left as it was.
    Message plain;
    plain.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ);
    ApplyLabels(LabelsOfMessage("X-A-Labels: Sent,Opened\n\n"), plain);
    EXPECT_EQ(plain.props.GetInt(PR_MESSAGE_FLAGS), MSGFLAG_READ);
    EXPECT_EQ(plain.props.Size(), 1u);
    EXPECT_TRUE(plain.props.AllNamed().empty());
}

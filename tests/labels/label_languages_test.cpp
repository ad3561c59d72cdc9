// The labels field as exports of non-English accounts write it (the whole list in
// encoded words, folded anywhere), the system labels of each language of the table,
// the mailbox's language, and the person's label map.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion/LabelMap.h"
#include "conversion/LabelNames.h"
#include "conversion/Labels.h"
#include "mailstore/mime/LabelsField.h"

using namespace bv::conversion;
using Strings = std::vector<std::string>;

TEST(LabelsField, DecodedWholeThenSplit) {
    const struct {
        const char* field;  // the header line(s), CR LF folded as exports fold them
        Strings labels;
    } cases[] = {
        // The whole list in one Q word; in one B word.
        {"X-Brimvault-Labels: =?UTF-8?Q?Posteingang,Ungelesen,Projekte/K=C3=B6ln?=",
         {"Posteingang", "Ungelesen", "Projekte/Köln"}},
        {"X-Brimvault-Labels: =?UTF-8?B?SW5ib3gsQ2Fmw6ksVW5yZWFk?=", {"Inbox", "Café", "Unread"}},
        // Folded into two words, the cut inside a label (and a quoted label with a comma).
        {"X-Brimvault-Labels: =?UTF-8?Q?Bo=C3=AEte_de_r=C3=A9ception,Cat=C3=A9gorie=C2=A0:_E-mails_?=\r\n"
         " =?UTF-8?Q?personnels,\"Culture,_associations\"?=",
         {"Boîte de réception", "Catégorie\u00A0: E-mails personnels", "Culture, associations"}},
        // The cut inside a UTF-8 sequence (ö is C3 B6), in B words.
        {"X-Brimvault-Labels: =?UTF-8?B?V2ljaHRpZyxLww==?=\r\n =?UTF-8?Q?=B6ln,Gesendet?=", {"Wichtig", "Köln", "Gesendet"}},
        // Doubled quotes inside a quoted label, inside the encoded word.
        {"X-Brimvault-Labels: =?UTF-8?Q?Posteingang,\"Kategorie:_\"\"Pers=C3=B6nlich\"\"\"?=",
         {"Posteingang", "Kategorie: \"Persönlich\""}},
        // Another charset; raw UTF-8 and plain ASCII as before.
        {"X-Brimvault-Labels: =?ISO-8859-1?Q?Re=E7us,Opened?=", {"Reçus", "Opened"}},
        {"X-Brimvault-Labels: Inbox,Café,Unread", {"Inbox", "Café", "Unread"}},
        {"X-Brimvault-Labels: \"a, \\\"b\\\"\" , ,c", {"a, \"b\"", "c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(ReadLabels(std::string(c.field) + "\r\nSubject: s\r\n\r\nbody"), c.labels);
    }
}

TEST(LabelsField, OneNameRule) {
    using bv::mailstore::mime::IsLabelsFieldName;
    EXPECT_TRUE(IsLabelsFieldName("X-Brimvault-Labels"));
    EXPECT_TRUE(IsLabelsFieldName("x-other2-labels"));
    EXPECT_FALSE(IsLabelsFieldName("X-Labels"));
    EXPECT_FALSE(IsLabelsFieldName("X--Labels"));
    EXPECT_FALSE(IsLabelsFieldName("X-Some.Word-Labels"));
    EXPECT_FALSE(IsLabelsFieldName("Keywords"));
}

TEST(LabelLanguages, EachLanguageOfTheTable) {
    const struct {
        const char* header;  // the labels of one message of an account in that language
        Strings folder;
        bool unread;
        Strings categories;
    } cases[] = {
        {"Inbox,Unread,Category Updates,Muted,IMAP_$NotJunk,IMAP_Junk,IMAP_$Forwarded", {"Inbox"}, true, {"Category Updates"}},
        {"=?UTF-8?Q?Posteingang,Ungelesen,Projekte/K=C3=B6ln?=", {"Inbox"}, true, {"Projekte/Köln"}},
        {"Gesendet,Geöffnet,Wichtig", {"Sent Items"}, false, {"Wichtig"}},
        {"ENTWURFE,archiviert", {"Drafts"}, false, {}},  // without case or diacritics
        {"=?UTF-8?Q?Papierkorb,\"Kategorie:_\"\"Pers=C3=B6nlich\"\"\",Reisen?=", {"Deleted Items"}, false,
         {"Kategorie: \"Persönlich\"", "Reisen"}},
        {"=?UTF-8?Q?Bo=C3=AEte_de_r=C3=A9ception,Non_lus,Cat=C3=A9gorie=C2=A0:_E-mails_personnels?=", {"Inbox"}, true,
         {"Catégorie\u00A0: E-mails personnels"}},
        {"=?UTF-8?Q?Messages_envoy=C3=A9s,Ouvert,Messages_archiv=C3=A9s?=", {"Sent Items"}, false, {}},
        {"Envoyé,Brouillons", {"Drafts"}, false, {}},
        {"Corbeille,Archivés,Important", {"Deleted Items"}, false, {"Important"}},
        {"Recibidos,No leídos,Categoría: Social", {"Inbox"}, true, {"Categoría: Social"}},
        {"Enviados,Abierto,Archivados,Importante", {"Sent Items"}, false, {"Importante"}},
        {"Borradores,Papelera", {"Deleted Items"}, false, {}},
        {"Safata d'entrada,No llegits,Categoria Promocions", {"Inbox"}, true, {"Categoria Promocions"}},
        {"Enviats,Oberts,Importants", {"Sent Items"}, false, {"Importants"}},
        {"Esborranys,Paperera", {"Deleted Items"}, false, {}},
        {"Doručené,Nepřečtené,Důležité", {"Inbox"}, true, {"Důležité"}},
        {"Odesláno,Práce", {"Sent Items"}, false, {"Práce"}},
        {"Da leggere,Lavoro", {"Lavoro"}, true, {"Lavoro"}},
        {"Gearchiveerd,Werk", {"Werk"}, false, {"Werk"}},
        {"受信トレイ,仕事", {"Inbox"}, false, {"仕事"}},  // web folder names, as aliases
        {"Входящие,Работа", {"Inbox"}, false, {"Работа"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        MessageLabels got = LabelsOfMessage("X-Brimvault-Labels: " + std::string(c.header) + "\n\n");
        EXPECT_EQ(got.folder, c.folder);
        EXPECT_EQ(got.unread, c.unread);
        EXPECT_EQ(got.categories, c.categories);
        EXPECT_TRUE(got.recognised);
    }
    // Muted and client keywords alone: no folder, no category, nothing recognised.
    MessageLabels muted = SortLabels({"Muted", "IMAP_$NotJunk"});
    EXPECT_EQ(muted.folder, Strings{"Archive"});
    EXPECT_TRUE(muted.categories.empty());
    EXPECT_FALSE(muted.recognised);
}

TEST(LabelLanguages, TheMailboxsLanguage) {
    // A name of another language than the mailbox's is a user label.
    EXPECT_EQ(SortLabels({"Sent", "Projekte"}, {"de"}).folder, Strings{"Sent"});
    EXPECT_EQ(SortLabels({"Posteingang", "Work"}, {"en"}).folder, Strings{"Posteingang"});
    EXPECT_EQ(SortLabels({"Gesendet"}, {"de"}).folder, Strings{"Sent Items"});
    // English stands in for a role no export of the language has shown (Starred in German).
    EXPECT_TRUE(SortLabels({"Starred"}, {"de"}).starred);
    // Not known: every language's names count.
    EXPECT_EQ(SortLabels({"Ungelesen", "Sent"}).folder, Strings{"Sent Items"});

    EXPECT_EQ(LanguageOfMailboxName("Alle E-Mails einschliesslich Spam-Nachrichten und E"), "de");
    EXPECT_EQ(LanguageOfMailboxName("All mail Including Spam and Trash"), "en");
    EXPECT_EQ(LanguageOfMailboxName("Posteingang"), "de");
    EXPECT_EQ(LanguageOfMailboxName("Important"), "");  // English and French
    EXPECT_EQ(LanguageOfMailboxName("anna"), "");

    LanguageVote vote;
    for (int i = 0; i < 20; ++i) vote.Add({"Posteingang", "Ungelesen"});
    vote.Add({"Inbox"});  // one English user label does not split it
    EXPECT_TRUE(vote.Settled());
    EXPECT_EQ(vote.Language(), "de");
    for (int i = 0; i < 20; ++i) vote.Add({"Recibidos"});
    EXPECT_EQ(vote.Language(), "");
}

TEST(LabelMap, WinsOverTheTable) {
    const LabelMap map = LabelMap::Parse(
        "\xEF\xBB\xBF# mine\n"
        "Eingang = Inbox\n"
        "  zu erledigen = starred\r\n"
        "Posteingang = Work/Mail\n"
        "\"a = b\" = Junk Email\n"
        "Rundbriefe = ignore\n"
        "\n"
        "Neu = unread\n",
        "map.txt");
    MessageLabels got = SortLabels({"Posteingang", "EINGANG", "Zu Erledigen", "Rundbriefe", "Neu"}, {"de", &map});
    EXPECT_EQ(got.folder, Strings{"Inbox"});
    EXPECT_TRUE(got.starred);
    EXPECT_TRUE(got.unread);
    EXPECT_EQ(got.categories, Strings{"Posteingang"});
    EXPECT_EQ(SortLabels({"Posteingang"}, {"de", &map}).folder, (Strings{"Work", "Mail"}));
    EXPECT_EQ(SortLabels({"Inbox", "a = b"}, {"", &map}).folder, Strings{"Junk Email"});
    EXPECT_TRUE(SortLabels({"Rundbriefe"}, {"", &map}).recognised);

    for (const char* bad : {"Inbox\n", "= Inbox\n", "\"a = Inbox\n", "a = \n", "a = /\n", "a = \xFF\n"})
        EXPECT_THROW(LabelMap::Parse(bad, "map.txt"), std::runtime_error) << bad;
    try {
        LabelMap::Parse("# x\nno equals sign\n", "map.txt");
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "map.txt, line 2: no \"=\" between the label and what it means");
    }
    EXPECT_THROW(LabelMap::Read("/nonexistent/map.txt"), std::runtime_error);
}

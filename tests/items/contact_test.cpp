// vCard files read card by card and each card as a contact item.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "mailstore/mapi/ContactProps.h"
#include "mailstore/vcard/CardReader.h"
#include "mailstore/vcard/ContactItem.h"

namespace {

using namespace bv::mailstore::mapi;
using bv::mailstore::vcard::Card;
using bv::mailstore::vcard::CardReader;
using bv::mailstore::vcard::ContactFromCard;

std::vector<Card> ReadAll(const std::string& text) {
    std::istringstream in(text);
    CardReader reader(in);
    std::vector<Card> cards;
    Card c;
    while (reader.Next(c)) cards.push_back(c);
    return cards;
}

Message ContactOf(const std::string& text) {
    auto cards = ReadAll(text);
    EXPECT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards.at(0).error, "");
    return ContactFromCard(cards.at(0));
}

std::string Named(const Message& m, uint32_t lid) {
    const Property* p = m.props.FindNamed(AddressLid(lid));
    if (!p) return "<none>";
    if (auto s = std::get_if<std::string>(&p->value)) return *s;
    if (auto i = std::get_if<int32_t>(&p->value)) return std::to_string(*i);
    return "<other>";
}

std::string Tag(const Message& m, uint32_t tag) { return m.props.GetString(tag).value_or("<none>"); }

TEST(VCardContact, Version21QuotedPrintableCharsetFoldingAndBase64Photo) {
    const Message m = ContactOf(
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=FCrgen;;Dr.;\r\n"
        "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Dr. J=FCrgen M=FCller\r\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:first line=0D=0Asecond =\r\nline\r\n"
        "TEL;WORK;VOICE:+49 30 1\r\nTEL;WORK;FAX:+49 30 2\r\nTEL;CELL:+49 170 3\r\nTEL;PAGER:4\r\n"
        "ADR;WORK:;;Main St 1;Berlin;;10115;Germany\r\n"
        "LABEL;WORK;ENCODING=QUOTED-PRINTABLE:Main St 1=0D=0A10115 Berlin=0D=0AGermany\r\n"
        "LABEL;HOME:Elm Rd 2, Potsdam\r\n"
        "PHOTO;TYPE=JPEG;ENCODING=BASE64:\r\n    /9j/4AAQ\r\n    SkZJRg==\r\n\r\n"
        "END:VCARD\r\n");
    EXPECT_EQ(Tag(m, PR_SURNAME), "M\xC3\xBCller");
    EXPECT_EQ(Tag(m, PR_GIVEN_NAME), "J\xC3\xBCrgen");
    EXPECT_EQ(Tag(m, PR_DISPLAY_NAME_PREFIX), "Dr.");
    EXPECT_EQ(Tag(m, PR_DISPLAY_NAME), "Dr. J\xC3\xBCrgen M\xC3\xBCller");
    EXPECT_EQ(Named(m, LID_FILE_UNDER), "M\xC3\xBCller, J\xC3\xBCrgen");
    // The LABEL of the work address is its text; a LABEL without an address goes to the notes.
    EXPECT_EQ(Named(m, LID_WORK_ADDRESS), "Main St 1\r\n10115 Berlin\r\nGermany");
    EXPECT_EQ(Tag(m, PR_POSTAL_ADDRESS), "Main St 1\r\n10115 Berlin\r\nGermany");
    EXPECT_EQ(Tag(m, PR_BODY), "first line\r\nsecond line\r\n\r\nAddress: Elm Rd 2, Potsdam");
    EXPECT_EQ(Tag(m, PR_BUSINESS_TELEPHONE_NUMBER), "+49 30 1");
    EXPECT_EQ(Tag(m, PR_BUSINESS_FAX_NUMBER), "+49 30 2");
    EXPECT_EQ(Tag(m, PR_MOBILE_TELEPHONE_NUMBER), "+49 170 3");
    EXPECT_EQ(Tag(m, PR_PAGER_TELEPHONE_NUMBER), "4");
    ASSERT_EQ(m.attachments.size(), 1u);
    const Binary* photo = m.attachments[0].props.GetBinary(PR_ATTACH_DATA_BIN);
    ASSERT_NE(photo, nullptr);
    EXPECT_EQ(photo->size(), 10u);
    EXPECT_EQ((*photo)[0], 0xFF);
    EXPECT_EQ(m.attachments[0].props.GetBool(PR_ATTACHMENT_CONTACTPHOTO), true);
    EXPECT_EQ(m.attachments[0].props.GetString(PR_ATTACH_LONG_FILENAME), "ContactPicture.jpg");
    EXPECT_EQ(Tag(m, PR_MESSAGE_CLASS), "IPM.Contact");
}

TEST(VCardContact, Version40EscapesGroupsDataUriAndLeftoversInNotes) {
    const Message m = ContactOf(
        "BEGIN:VCARD\nVERSION:4.0\nFN:Ann Example\nN:Example;Ann;Marie;;\n"
        "ORG:Example\\, Inc.;Research;Lab 2\nTITLE:Lead\n"
        "item1.EMAIL:ann@home.example\nitem1.X-ABLabel:_$!<Home>!$_\n"
        "EMAIL;TYPE=work;PREF=1:ann@work.example\nEMAIL:third@example.org\nEMAIL:fourth@example.org\n"
        "item2.TEL:+1 555 0100\nitem2.X-ABLabel:_$!<Mobile>!$_\n"
        "ADR;TYPE=home:;;1 Home Rd;Springfield;IL;62701;USA\n"
        "ADR;TYPE=work;PREF=1;LABEL=\"2 Work Ave\\nShelbyville\":;Suite 5;2 Work Ave;Shelbyville;IL;62565;USA\n"
        "BDAY:19800321\nANNIVERSARY:2005-06-04\nURL:https://ann.example\n"
        "CATEGORIES:Friends,Work\\,Team\nNOTE:Line one\\nLine two\\; more\n"
        "X-SHOE-SIZE:38\nPHOTO:data:image/png;base64,iVBORw0KGgo=\nEND:VCARD\n");
    EXPECT_EQ(Tag(m, PR_COMPANY_NAME), "Example, Inc.");
    EXPECT_EQ(Tag(m, PR_DEPARTMENT_NAME), "Research, Lab 2");
    EXPECT_EQ(Tag(m, PR_MIDDLE_NAME), "Marie");
    // The preferred address first; three of four as Email1..3, the fourth in the notes.
    EXPECT_EQ(Named(m, LID_EMAIL1_ADDRESS), "ann@work.example");
    EXPECT_EQ(Named(m, LID_EMAIL1_DISPLAY_NAME), "Ann Example (ann@work.example)");
    EXPECT_EQ(Named(m, LID_EMAIL1_ADDRESS_TYPE), "SMTP");
    EXPECT_EQ(Named(m, LID_EMAIL1_ADDRESS + kEmailLidStep), "ann@home.example");
    EXPECT_EQ(Named(m, LID_EMAIL1_ADDRESS + 2 * kEmailLidStep), "third@example.org");
    EXPECT_EQ(Named(m, LID_ADDRESS_BOOK_ARRAY_TYPE), "7");
    EXPECT_EQ(Tag(m, PR_MOBILE_TELEPHONE_NUMBER), "+1 555 0100");
    EXPECT_EQ(Tag(m, PR_HOME_ADDRESS_STREET), "1 Home Rd");
    EXPECT_EQ(Tag(m, PR_HOME_ADDRESS_CITY), "Springfield");
    EXPECT_EQ(Named(m, LID_WORK_ADDRESS_STREET), "2 Work Ave\r\nSuite 5");
    EXPECT_EQ(Named(m, LID_WORK_ADDRESS_CITY), "Shelbyville");
    // The preferred address is the mailing address.
    EXPECT_EQ(Named(m, LID_POSTAL_ADDRESS_ID), std::to_string(POSTAL_ADDRESS_WORK));
    EXPECT_EQ(Tag(m, PR_LOCALITY), "Shelbyville");
    EXPECT_EQ(Tag(m, PR_POSTAL_ADDRESS), "2 Work Ave\r\nShelbyville");
    // Dates fall on their day in every zone: noon UTC.
    EXPECT_EQ(m.props.GetTime(PR_BIRTHDAY), UnixToFileTime(322488000));     // 1980-03-21 12:00 UTC
    EXPECT_EQ(m.props.GetTime(PR_WEDDING_ANNIVERSARY), UnixToFileTime(1117886400));  // 2005-06-04 12:00
    EXPECT_EQ(Named(m, LID_HTML), "https://ann.example");
    const Property* cats = m.props.FindNamed(PropertyName{PS_PUBLIC_STRINGS, std::string("Keywords")});
    ASSERT_NE(cats, nullptr);
    EXPECT_EQ(std::get<std::vector<std::string>>(cats->value), (std::vector<std::string>{"Friends", "Work,Team"}));
    const std::string body = Tag(m, PR_BODY);
    EXPECT_EQ(body.rfind("Line one\r\nLine two; more", 0), 0u) << body;
    EXPECT_NE(body.find("E-mail: fourth@example.org"), std::string::npos) << body;
    EXPECT_NE(body.find("Shoe Size: 38"), std::string::npos) << body;
    ASSERT_EQ(m.attachments.size(), 1u);
    EXPECT_EQ(m.attachments[0].props.GetString(PR_ATTACH_LONG_FILENAME), "ContactPicture.png");
    EXPECT_EQ(m.attachments[0].props.GetBinary(PR_ATTACH_DATA_BIN)->size(), 8u);
}

TEST(VCardReader, ManyCardsABrokenOneFailsAloneWithItsLine) {
    const auto cards = ReadAll(
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:One\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Two\r\nthis line has no colon\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Three\r\n"  // never ended
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Fo\r\n ur\r\nEND:VCARD\r\n");
    ASSERT_EQ(cards.size(), 4u);
    EXPECT_EQ(cards[0].error, "");
    EXPECT_NE(cards[1].error, "");
    EXPECT_EQ(cards[1].errorLine, 8);
    EXPECT_EQ(cards[2].error, "the card has no END:VCARD");
    EXPECT_EQ(cards[2].errorLine, 10);
    EXPECT_EQ(cards[3].error, "");
    EXPECT_EQ(cards[3].firstLine, 13);
    EXPECT_EQ(ContactFromCard(cards[3]).props.GetString(PR_DISPLAY_NAME), "Four");
}

// Every card of the public test files becomes a contact with a name.
TEST(VCardContact, PublicTestFiles) {
    for (const char* name : {"ezvcard-2003-export.vcf", "ezvcard-2007-export.vcf", "ezvcard-john-doe-5.vcf",
                             "ezvcard-rfc6350-example.vcf", "libical-test.vcf", "vobject-radicale-1587.vcf"}) {
        std::ifstream in(std::string(BV_TEST_DATA) + "/contacts/" + name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        CardReader reader(in);
        Card c;
        int n = 0;
        while (reader.Next(c)) {
            ++n;
            EXPECT_EQ(c.error, "") << name;
            const Message m = ContactFromCard(c);
            EXPECT_NE(m.props.GetString(PR_DISPLAY_NAME).value_or(""), "") << name;
        }
        EXPECT_GE(n, 1) << name;
    }
}

// How a store recognises a contact it holds already: its card's search key.
Binary KeyOf(const Card& card) {
    const Message m = ContactFromCard(card);
    const Binary* key = m.props.GetBinary(PR_SEARCH_KEY);
    return key ? *key : Binary();
}

std::string FileText(const std::string& name) {
    std::ifstream in(std::string(BV_TEST_DATA) + "/contacts/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The same card read twice is the same contact; a card's UID names it; different cards
// never share a key.
TEST(VCardContact, IdentityIsTheUidOrTheContentOfTheCard) {
    std::set<Binary> keys;
    size_t cards = 0;
    for (const char* name : {"ezvcard-2003-export.vcf", "ezvcard-2007-export.vcf", "ezvcard-john-doe-1.vcf",
                             "ezvcard-john-doe-3.vcf", "ezvcard-john-doe-5.vcf", "ezvcard-john-doe-6.vcf",
                             "ezvcard-rfc2426-example.vcf", "ezvcard-rfc6350-example.vcf", "libical-test.vcf",
                             "vobject-radicale-1587.vcf"}) {
        const std::string text = FileText(name);
        // Read again with LF line ends, after another card: other lines, the same cards.
        std::string lf = "BEGIN:VCARD\nVERSION:3.0\nFN:Someone Else\nEND:VCARD\n";
        for (char c : text)
            if (c != '\r') lf += c;
        const auto first = ReadAll(text), again = ReadAll(lf);
        ASSERT_EQ(again.size(), first.size() + 1) << name;
        for (size_t i = 0; i < first.size(); ++i) {
            ASSERT_EQ(first[i].error, "") << name;
            EXPECT_EQ(KeyOf(first[i]).size(), 16u) << name;
            EXPECT_EQ(KeyOf(first[i]), KeyOf(again[i + 1])) << name << " card " << i;
            keys.insert(KeyOf(first[i]));
            ++cards;
        }
    }
    EXPECT_EQ(keys.size(), cards);  // no two cards alike

    const std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nFN:Jane Doe\r\n"
                             "TEL;TYPE=CELL:+1 555 0100\r\nREV:2024-01-01T00:00:00Z\r\nEND:VCARD\r\n";
    const Binary plain = KeyOf(ReadAll(card).at(0));
    // Written at another time, by another program, folded elsewhere: the same card.
    EXPECT_EQ(KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//other//EN\r\nN:Doe;Ja\r\n ne;;;\r\nFN:Jane Doe\r\n"
                            "TEL;TYPE=CELL:+1 555 0100\r\nREV:2025-06-01T12:00:00Z\r\nEND:VCARD\r\n")
                        .at(0)),
              plain);
    // Another phone number, or the number under another kind: another card.
    EXPECT_NE(KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nFN:Jane Doe\r\n"
                            "TEL;TYPE=CELL:+1 555 0101\r\nEND:VCARD\r\n")
                        .at(0)),
              plain);
    EXPECT_NE(KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nFN:Jane Doe\r\n"
                            "TEL;TYPE=WORK:+1 555 0100\r\nEND:VCARD\r\n")
                        .at(0)),
              plain);
    // A UID names the contact whatever else the card says (a later version of it).
    EXPECT_EQ(KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:4fbe8971\r\nFN:Jane\r\nEND:VCARD\r\n").at(0)),
              KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Jane Doe\r\nUID:urn:uuid:4fbe8971 \r\nEND:VCARD\r\n").at(0)));
    EXPECT_NE(KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:4fbe8971\r\nFN:Jane\r\nEND:VCARD\r\n").at(0)),
              KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:4fbe8972\r\nFN:Jane\r\nEND:VCARD\r\n").at(0)));
    // A file that gives one UID to two cards keeps both apart, the same way every time.
    const std::string twice = "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:4fbe8971\r\nFN:Jane\r\nEND:VCARD\r\n"
                              "BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:4fbe8971\r\nFN:John\r\nEND:VCARD\r\n";
    const auto both = ReadAll(twice), bothAgain = ReadAll(twice);
    EXPECT_NE(KeyOf(both.at(0)), KeyOf(both.at(1)));
    EXPECT_EQ(KeyOf(both.at(0)), KeyOf(ReadAll("BEGIN:VCARD\r\nUID:urn:uuid:4fbe8971\r\nEND:VCARD\r\n").at(0)));
    EXPECT_EQ(KeyOf(both.at(1)), KeyOf(bothAgain.at(1)));
    // Stores written by earlier runs hold these keys: they must not change between
    // versions or platforms.
    const Binary pinned = KeyOf(ReadAll("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jane Doe\r\nEND:VCARD\r\n").at(0));
    char hex[33] = {};
    for (size_t i = 0; i < pinned.size() && i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", pinned[i]);
    EXPECT_EQ(std::string(hex), "dd4254d6c05a9940949ef5534e5ad20f");
}

}  // namespace

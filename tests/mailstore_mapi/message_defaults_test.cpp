// What a message carries before either writer sees it: flags, recipient defaults and
// attachment defaults, decided once for .msg and .pst alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "mailstore/mapi/AppointmentProps.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mapi/MessageDefaults.h"

using namespace bv::mailstore::mapi;

namespace {

Attachment File(const std::string& name) {
    Attachment a;
    a.props.SetString(PR_ATTACH_LONG_FILENAME, name);
    a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary{1, 2, 3});
    return a;
}

}  // namespace

TEST(MessageDefaults, ABareRecipientGetsWhatEveryRowCarriesAndOwnValuesStay) {
    Message m;
    PropertyBag bare;
    bare.SetString(PR_EMAIL_ADDRESS, "ann@example.org");
    m.recipients.push_back(bare);
    PropertyBag own;
    own.SetString(PR_DISPLAY_NAME, "Bob");
    own.SetString(PR_EMAIL_ADDRESS, "bob@example.org");
    own.SetInt(PR_RECIPIENT_TYPE, MAPI_CC);
    m.recipients.push_back(own);
    PropertyBag noAddress;
    noAddress.SetString(PR_DISPLAY_NAME, "Undisclosed");
    m.recipients.push_back(noAddress);
    CompleteMessage(m);
    // The rows stay as they came; each is completed as it is written.
    EXPECT_EQ(m.recipients[0].Props().Size(), 1u);

    const PropertyBag r = CompletedRecipient(m.recipients[0], 0);
    EXPECT_EQ(r.GetString(PR_DISPLAY_NAME), "ann@example.org");  // no name: the address
    EXPECT_EQ(r.GetString(PR_ADDRTYPE), "SMTP");
    EXPECT_EQ(r.GetInt(PR_RECIPIENT_TYPE), MAPI_TO);
    EXPECT_EQ(r.GetInt(PR_OBJECT_TYPE), MAPI_MAILUSER);
    EXPECT_EQ(r.GetBool(PR_RESPONSIBILITY), false);
    EXPECT_EQ(r.GetBool(PR_SEND_RICH_INFO), false);
    ASSERT_TRUE(r.GetBinary(PR_SEARCH_KEY));
    EXPECT_EQ(*r.GetBinary(PR_SEARCH_KEY), SmtpSearchKey("ann@example.org"));
    ASSERT_TRUE(r.GetBinary(PR_ENTRYID));
    EXPECT_EQ(r.GetInt(PR_ROWID), 0);
    const PropertyBag bob = CompletedRecipient(m.recipients[1], 1);
    EXPECT_EQ(bob.GetString(PR_DISPLAY_NAME), "Bob");
    EXPECT_EQ(bob.GetInt(PR_RECIPIENT_TYPE), MAPI_CC);
    EXPECT_EQ(bob.GetInt(PR_ROWID), 1);
    // Without an address there is nothing to address: no type, entry ID or key.
    const PropertyBag undisclosed = CompletedRecipient(m.recipients[2], 2);
    EXPECT_FALSE(undisclosed.Has(PR_ADDRTYPE) || undisclosed.Has(PR_ENTRYID) || undisclosed.Has(PR_SEARCH_KEY));
    // What readers show of the recipients.
    EXPECT_EQ(m.props.GetString(PR_DISPLAY_TO), "ann@example.org; Undisclosed");
    EXPECT_EQ(m.props.GetString(PR_DISPLAY_CC), "Bob");
    EXPECT_FALSE(m.props.Has(PR_DISPLAY_BCC));
}

// A typed recipient (the importer's and a calendar's) is written as the same row as one
// given property by property: name or none, an address or none, non-ASCII, with more
// of its own; the display lists read it the same way.
TEST(MessageDefaults, ATypedRecipientIsWrittenAsItsRowOfProperties) {
    struct Case {
        int32_t type;
        std::string name, address;
        bool more;
    } cases[] = {{MAPI_TO, "Ann Lee", "ann@example.org", false}, {MAPI_CC, "", "bob@example.org", false},
                 {MAPI_BCC, "Undisclosed", "", false},          {MAPI_TO, "Zo\xC3\xAB", "zoe@example.org", true}};
    Message typed, given;
    for (const Case& c : cases) {
        Recipient r(c.type, c.name, c.address);
        PropertyBag bag;
        const std::string shown = c.name.empty() ? c.address : c.name;
        bag.SetInt(PR_RECIPIENT_TYPE, c.type);
        bag.SetString(PR_DISPLAY_NAME, shown);
        bag.SetString(PR_ADDRTYPE, "SMTP");
        bag.SetString(PR_EMAIL_ADDRESS, c.address);
        if (!c.address.empty()) bag.SetString(PR_SMTP_ADDRESS, c.address);
        bag.SetBinary(PR_ENTRYID, OneOffEntryId(shown, c.address));
        bag.SetBinary(PR_SEARCH_KEY, SmtpSearchKey(c.address));
        if (c.more) {
            r.More().SetInt(PR_RECIPIENT_FLAGS, 3);
            bag.SetInt(PR_RECIPIENT_FLAGS, 3);
        }
        typed.recipients.push_back(r);
        given.recipients.push_back(bag);
    }
    CompleteMessage(typed);
    CompleteMessage(given);
    for (size_t i = 0; i < typed.recipients.size(); ++i) {
        const PropertyBag a = CompletedRecipient(typed.recipients[i], i), b = CompletedRecipient(given.recipients[i], i);
        EXPECT_EQ(a.All().size(), b.All().size()) << i;
        for (const auto& [id, p] : b.All()) {
            const Property* q = a.Find(MakeTag(id, p.type));
            ASSERT_TRUE(q) << i << " " << id;
            EXPECT_TRUE(q->type == p.type && q->value == p.value) << i << " " << id;
        }
    }
    for (uint32_t tag : {PR_DISPLAY_TO, PR_DISPLAY_CC, PR_DISPLAY_BCC})
        EXPECT_EQ(typed.props.GetString(tag), given.props.GetString(tag));
    EXPECT_EQ(typed.props.GetString(PR_DISPLAY_TO), "Ann Lee; Zo\xC3\xAB");
}

TEST(MessageDefaults, HasAttachmentsFollowsTheAttachmentsAtEveryLevel) {
    Message m;
    m.props.SetString(PR_SUBJECT, "RE: plans");
    m.props.SetInt(PR_MESSAGE_FLAGS, 0);  // unread, and no has-attachments bit yet
    auto inner = std::make_unique<Message>();
    inner->props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH);  // says so, has none
    Attachment attached;
    attached.embedded = std::move(inner);
    m.attachments.push_back(std::move(attached));
    m.attachments.push_back(File("notes.txt"));
    CompleteMessage(m);

    EXPECT_EQ(m.props.GetInt(PR_MESSAGE_FLAGS), MSGFLAG_HASATTACH);  // unread stays unread
    EXPECT_EQ(m.props.GetString(PR_MESSAGE_CLASS), "IPM.Note");
    EXPECT_EQ(m.props.GetString(PR_SUBJECT_PREFIX), "RE: ");
    EXPECT_EQ(m.props.GetString(PR_NORMALIZED_SUBJECT), "plans");
    const Message& in = *m.attachments[0].embedded;
    EXPECT_EQ(in.props.GetInt(PR_MESSAGE_FLAGS), MSGFLAG_READ);
    EXPECT_EQ(in.props.GetString(PR_MESSAGE_CLASS), "IPM.Note");
    EXPECT_EQ(m.attachments[0].props.GetInt(PR_ATTACH_METHOD), ATTACH_EMBEDDED_MSG);
    const PropertyBag& file = m.attachments[1].props;
    EXPECT_EQ(file.GetInt(PR_ATTACH_METHOD), ATTACH_BY_VALUE);
    EXPECT_EQ(file.GetInt(PR_ATTACH_NUM), 1);
    EXPECT_EQ(file.GetInt(PR_RENDERING_POSITION), -1);
    EXPECT_EQ(file.GetString(PR_ATTACH_FILENAME), "notes.txt");

    // A message without flags is read; completing twice changes nothing.
    Message plain;
    CompleteMessage(plain);
    EXPECT_EQ(plain.props.GetInt(PR_MESSAGE_FLAGS), MSGFLAG_READ);
    const size_t count = m.props.Size();
    CompleteMessage(m);
    EXPECT_EQ(m.props.Size(), count);
}

namespace {
// Whether two bags hold the same properties.
bool SameProps(const PropertyBag& a, const PropertyBag& b) {
    return std::equal(a.All().begin(), a.All().end(), b.All().begin(), b.All().end(), [](const auto& x, const auto& y) {
        return x.first == y.first && x.second.type == y.second.type && x.second.value == y.second.value;
    });
}

}  // namespace

// A row that views its text reads as one that holds it; a copy holds its own, and a
// name that does not stand before its address is copied at once.
TEST(Recipient, ViewingRowsReadAsHeldOnes) {
    const std::string text = "'Ann Lee' <ann@example.org>, bob@example.org";
    const std::string_view v = text;
    const struct {
        std::string_view name, address;
    } cases[] = {{v.substr(1, 7), v.substr(11, 15)}, {v.substr(0, 0), v.substr(29)}, {v.substr(11, 3), v.substr(1, 3)}};
    for (const auto& c : cases) {
        const Recipient held(MAPI_CC, c.name, c.address);
        Recipient viewing = Recipient::Viewing(MAPI_CC, c.name, c.address);
        EXPECT_EQ(viewing.Name(), c.name);
        EXPECT_EQ(viewing.Address(), c.address);
        EXPECT_TRUE(SameProps(viewing.Props(), held.Props()));
        const Recipient copy = viewing, moved = std::move(viewing);
        for (const Recipient* r : {&copy, &moved}) {
            EXPECT_EQ(r->Name(), c.name);
            EXPECT_EQ(r->Address(), c.address);
            EXPECT_EQ(r->type, MAPI_CC);
        }
        EXPECT_NE(copy.Address().data(), c.address.data());
        EXPECT_EQ(moved.Address().data() == c.address.data(), c.name.data() <= c.address.data());
    }
}

#include "mailstore/mapi/MessageDefaults.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "mailstore/base/Ascii.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mapi/SubjectPrefix.h"

namespace bv::mailstore::mapi {

namespace {

// The flags of the one-off entry ID given to a recipient without one: Unicode strings,
// no rich info, as Outlook writes them for SMTP recipients of a store.
constexpr uint16_t kRecipientOneOffFlags = 0x8001;

constexpr uint32_t PR_RECIPIENT_DISPLAY_NAME = 0x5FF6001F;
constexpr uint32_t PR_RECIPIENT_ENTRYID = 0x5FF70102;
constexpr uint32_t PR_RECIPIENT_FLAGS = 0x5FFD0003;
constexpr uint32_t PR_RECIPIENT_TRACK_STATUS = 0x5FFF0003;
constexpr int32_t kRecipientSendable = 1;

void SetIfAbsent(PropertyBag& bag, uint32_t tag, PropValue value) {
    if (!bag.Has(tag)) bag.Set(tag, std::move(value));
}

}  // namespace

void CompleteAttachment(Attachment& a, int32_t index) {
    PropertyBag& p = a.props;
    SetIfAbsent(p, PR_ATTACH_NUM, index);
    if (a.embedded) {
        p.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
        CompleteMessage(*a.embedded);
    } else {
        SetIfAbsent(p, PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    }
    SetIfAbsent(p, PR_RENDERING_POSITION, int32_t(-1));
    if (!p.Has(PR_ATTACH_FILENAME))
        if (const Property* longName = p.Find(PR_ATTACH_LONG_FILENAME))
            p.Set(MakeTag(TagId(PR_ATTACH_FILENAME), longName->type), longName->value);
}

namespace {

// A recipient's address, and the name shown for it (its address when it has none).
std::string RecipientAddress(const PropertyBag& r) {
    return r.GetString(PR_EMAIL_ADDRESS).value_or(r.GetString(PR_SMTP_ADDRESS).value_or(""));
}
std::string RecipientName(const PropertyBag& r, const std::string& address) {
    return r.GetString(PR_DISPLAY_NAME).value_or(address);
}

}  // namespace

void CompleteRecipient(PropertyBag& r) {
    const std::string email = RecipientAddress(r);
    const std::string name = RecipientName(r, email);
    const std::string type = r.GetString(PR_ADDRTYPE).value_or("SMTP");
    SetIfAbsent(r, PR_RECIPIENT_TYPE, MAPI_TO);
    SetIfAbsent(r, PR_OBJECT_TYPE, MAPI_MAILUSER);
    SetIfAbsent(r, PR_DISPLAY_TYPE, DT_MAILUSER);
    SetIfAbsent(r, PR_RESPONSIBILITY, false);
    SetIfAbsent(r, PR_SEND_RICH_INFO, false);
    SetIfAbsent(r, PR_DISPLAY_NAME, name);
    if (!email.empty()) {
        SetIfAbsent(r, PR_ADDRTYPE, type);
        if (!r.Has(PR_ENTRYID)) r.SetBinary(PR_ENTRYID, OneOffEntryId(name, email, type, kRecipientOneOffFlags));
        if (!r.Has(PR_SEARCH_KEY)) {
            std::string key = type + ":" + email;
            for (char& c : key) c = base::AsciiToUpper(c);
            Binary bytes(key.begin(), key.end());
            bytes.push_back(0);
            r.SetBinary(PR_SEARCH_KEY, std::move(bytes));
        }
    }
    SetIfAbsent(r, PR_RECIPIENT_DISPLAY_NAME, name);
    if (const Binary* entryId = r.GetBinary(PR_ENTRYID)) SetIfAbsent(r, PR_RECIPIENT_ENTRYID, *entryId);
    SetIfAbsent(r, PR_RECIPIENT_FLAGS, kRecipientSendable);
    SetIfAbsent(r, PR_RECIPIENT_TRACK_STATUS, int32_t(0));
}

void Recipient::SetText(std::string_view name, std::string_view address) {
    if (name.size() > UINT32_MAX || address.size() > UINT32_MAX)
        throw std::length_error("a recipient's name or address past 4 GiB");
    char* text = name.empty() && address.empty() ? nullptr : new char[name.size() + address.size()];
    if (text) {
        std::copy(name.begin(), name.end(), text);
        std::copy(address.begin(), address.end(), text + name.size());
    }
    FreeText();
    text_ = text;
    owned_ = text != nullptr;
    addressGap_ = 0;
    nameSize_ = uint32_t(name.size());
    addressSize_ = uint32_t(address.size());
}

Recipient Recipient::Viewing(int32_t type, std::string_view name, std::string_view address) {
    if (name.empty()) name = address.substr(0, 0);
    const char* nameEnd = name.data() + name.size();
    if (address.data() < nameEnd || size_t(address.data() - nameEnd) > UINT16_MAX || address.size() > UINT32_MAX)
        return Recipient(type, name, address);
    Recipient r;
    r.smtp = true;
    r.type = type;
    r.text_ = name.data();
    r.addressGap_ = uint16_t(address.data() - nameEnd);
    r.nameSize_ = uint32_t(name.size());
    r.addressSize_ = uint32_t(address.size());
    return r;
}

PropertyBag Recipient::Props() const {
    if (!smtp) return more ? *more : PropertyBag();
    PropertyBag r = more ? *more : PropertyBag();
    const std::string shown(Shown()), address(Address());
    r.SetInt(PR_RECIPIENT_TYPE, type);
    r.SetString(PR_DISPLAY_NAME, shown);
    r.SetString(PR_ADDRTYPE, "SMTP");
    r.SetString(PR_EMAIL_ADDRESS, address);
    if (!address.empty()) r.SetString(PR_SMTP_ADDRESS, address);
    r.SetBinary(PR_ENTRYID, OneOffEntryId(shown, address));
    r.SetBinary(PR_SEARCH_KEY, SmtpSearchKey(address));
    return r;
}

PropertyBag CompletedRecipient(const Recipient& recipient, size_t row) {
    PropertyBag r = recipient.Props();
    SetIfAbsent(r, PR_ROWID, int32_t(row));
    CompleteRecipient(r);
    return r;
}

namespace {

// The display lists are what readers show of the recipients: an absent one reads as
// empty. A recipient without a type is a To recipient, as its row is completed. (The
// importer gives all three, as the header names the recipients.)
void SetDisplayLists(Message& m) {
    PropertyBag& p = m.props;
    const uint32_t tags[3] = {PR_DISPLAY_TO, PR_DISPLAY_CC, PR_DISPLAY_BCC};
    if (p.Has(tags[0]) && p.Has(tags[1]) && p.Has(tags[2])) return;
    std::string lists[3];
    auto add = [&lists](int32_t type, std::string_view name) {
        if (type != MAPI_TO && type != MAPI_CC && type != MAPI_BCC) return;
        std::string& list = lists[type == MAPI_TO ? 0 : type == MAPI_CC ? 1 : 2];
        if (!list.empty()) list += "; ";
        list += name;
    };
    ForEachRecipient(m, [&add](const Recipient& row) {
        if (row.smtp) {
            add(row.type, row.Shown());
            return;
        }
        if (!row.more) {
            add(MAPI_TO, "");
            return;
        }
        const PropertyBag& r = *row.more;
        const std::optional<int32_t> given = r.GetInt(PR_RECIPIENT_TYPE);
        if (!given && r.Has(PR_RECIPIENT_TYPE)) return;  // a type that is no number
        add(given.value_or(MAPI_TO), RecipientName(r, RecipientAddress(r)));
    });
    for (int k = 0; k < 3; ++k)
        if (!p.Has(tags[k]) && !lists[k].empty()) p.SetString(tags[k], std::move(lists[k]));
}

}  // namespace

void CompleteMessage(Message& m) {
    PropertyBag& p = m.props;
    SetIfAbsent(p, PR_MESSAGE_CLASS, std::string("IPM.Note"));
    int32_t flags = p.GetInt(PR_MESSAGE_FLAGS).value_or(MSGFLAG_READ);
    flags = AttachmentCount(m) == 0 ? flags & ~MSGFLAG_HASATTACH : flags | MSGFLAG_HASATTACH;
    p.SetInt(PR_MESSAGE_FLAGS, flags);
    SetIfAbsent(p, PR_MESSAGE_STATUS, int32_t(0));
    if (std::optional<std::string> subject = p.GetString(PR_SUBJECT)) {
        if (!p.Has(PR_NORMALIZED_SUBJECT) || !p.Has(PR_SUBJECT_PREFIX)) {
            auto [prefix, normalized] = SplitSubjectPrefix(*subject);
            SetIfAbsent(p, PR_SUBJECT_PREFIX, std::move(prefix));
            SetIfAbsent(p, PR_NORMALIZED_SUBJECT, std::move(normalized));
        }
    }
    SetDisplayLists(m);
    // (Attachments made as they are read come completed.)
    for (size_t i = 0; i < m.attachments.size(); ++i) CompleteAttachment(m.attachments[i], int32_t(AttachmentNumber(m, i)));
}

}  // namespace bv::mailstore::mapi

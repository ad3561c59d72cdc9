// The MAPI property model shared by the RFC 822 importer, the .msg writer and the
// .pst writer: a message is a property bag plus its recipient rows and attachments.
#pragma once
#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "mailstore/mapi/PropTags.h"

namespace bv::mailstore::mapi {

using Binary = std::vector<uint8_t>;

// One property value. The property type (kept next to the value in PropertyBag)
// says how to read it:
//   PT_SHORT -> int16_t; PT_LONG, PT_ERROR -> int32_t; PT_BOOLEAN -> bool;
//   PT_LONGLONG, PT_SYSTIME (FILETIME, 100 ns since 1601 UTC), PT_CURRENCY -> int64_t;
//   PT_DOUBLE, PT_APPTIME -> double; PT_FLOAT -> float;
//   PT_UNICODE, PT_STRING8 -> std::string holding UTF-8;
//   PT_BINARY, PT_CLSID (16 bytes) -> Binary;
//   PT_MV_LONG -> std::vector<int32_t>; PT_MV_UNICODE -> std::vector<std::string>;
//   PT_MV_BINARY -> std::vector<Binary>.
using PropValue = std::variant<std::monostate, int16_t, int32_t, bool, int64_t, double, float,
                               std::string, Binary, std::vector<int32_t>, std::vector<std::string>,
                               std::vector<Binary>>;

struct Property {
    uint16_t type = PT_UNSPECIFIED;
    PropValue value;
};

// The name of a named property ([MS-OXPROPS] §1.3.2): a property set GUID and either a
// numeric long id (LID) or a string name. Writers give each name a property id of 0x8000
// and up in their file's name-to-id map.
struct PropertyName {
    using Guid = std::array<uint8_t, 16>;  // in its little-endian storage order
    Guid guid{};
    std::variant<uint32_t, std::string> id;  // LID, or the name in UTF-8
    bool isString() const { return std::holds_alternative<std::string>(id); }
    auto operator<=>(const PropertyName&) const = default;
};

// Property sets used by this program (their GUIDs in storage order).
// PS_PUBLIC_STRINGS {00020329-0000-0000-C000-000000000046}
inline constexpr PropertyName::Guid PS_PUBLIC_STRINGS{0x29, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// PSETID_Common {00062008-0000-0000-C000-000000000046}
inline constexpr PropertyName::Guid PSETID_Common{0x08, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                  0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Properties keyed by property id; at most one type per id. Iteration is in id order.
// Named properties are kept apart, by name; a writer maps them to ids when it writes.
class PropertyBag {
public:
    using Map = std::map<uint16_t, Property>;

    void Set(uint32_t tag, PropValue value) { props_[TagId(tag)] = Property{TagType(tag), std::move(value)}; }
    void SetInt(uint32_t tag, int32_t v) { Set(tag, v); }
    void SetBool(uint32_t tag, bool v) { Set(tag, v); }
    void SetTime(uint32_t tag, int64_t filetime) { Set(tag, filetime); }
    void SetString(uint32_t tag, std::string utf8) { Set(tag, std::move(utf8)); }
    void SetBinary(uint32_t tag, Binary data) { Set(tag, std::move(data)); }

    bool Has(uint32_t tag) const { return props_.count(TagId(tag)) != 0; }
    void Remove(uint32_t tag) { props_.erase(TagId(tag)); }

    // The property with the tag's id, or null. The type is not compared.
    const Property* Find(uint32_t tag) const {
        auto it = props_.find(TagId(tag));
        return it == props_.end() ? nullptr : &it->second;
    }
    std::optional<int32_t> GetInt(uint32_t tag) const { return GetAs<int32_t>(tag); }
    std::optional<bool> GetBool(uint32_t tag) const { return GetAs<bool>(tag); }
    std::optional<int64_t> GetTime(uint32_t tag) const { return GetAs<int64_t>(tag); }
    std::optional<std::string> GetString(uint32_t tag) const { return GetAs<std::string>(tag); }
    const Binary* GetBinary(uint32_t tag) const {
        const Property* p = Find(tag);
        return p ? std::get_if<Binary>(&p->value) : nullptr;
    }

    const Map& All() const { return props_; }
    // The values, for a writer that consumes the bag and moves them out.
    Map& All() { return props_; }
    size_t Size() const { return props_.size(); }

    using NamedMap = std::map<PropertyName, Property>;
    void SetNamed(const PropertyName& name, uint16_t type, PropValue value) {
        named_[name] = Property{type, std::move(value)};
    }
    const Property* FindNamed(const PropertyName& name) const {
        auto it = named_.find(name);
        return it == named_.end() ? nullptr : &it->second;
    }
    void RemoveNamed(const PropertyName& name) { named_.erase(name); }
    const NamedMap& AllNamed() const { return named_; }
    NamedMap& AllNamed() { return named_; }

private:
    template <class T>
    std::optional<T> GetAs(uint32_t tag) const {
        const Property* p = Find(tag);
        if (!p) return std::nullopt;
        if (auto v = std::get_if<T>(&p->value)) return *v;
        return std::nullopt;
    }
    Map props_;
    NamedMap named_;
};

// One recipient row. A message may bring hundreds of thousands of them, so what the
// importer and a calendar know of a recipient is kept typed, in a row of fixed size
// and the text of its name and address: a mail user of an SMTP address, its row
// (Props) the recipient type, PR_DISPLAY_NAME (the address when it has no name),
// PR_ADDRTYPE "SMTP", PR_EMAIL_ADDRESS, PR_SMTP_ADDRESS (when there is an address),
// the one-off entry ID and the search key "SMTP:ADDRESS". What else a row carries is
// in `more`, made only for a row that has some; a row made property by property (a
// PropertyBag) keeps all of them there. The writers complete each row as they write
// it (CompletedRecipient). A row's text is its own, or, for a row made by Viewing,
// where it lies in text that outlives the row (the message's bytes, held by the
// writer until the message is written).
struct Recipient {
    bool smtp = false;         // Name() and Address() say who this is
private:
    bool owned_ = false;       // text_ is the row's own (and freed with it)
    uint16_t addressGap_ = 0;  // bytes between the name's end and the address
public:
    int32_t type = MAPI_TO;    // PR_RECIPIENT_TYPE
    std::unique_ptr<PropertyBag> more;  // with `smtp`: none of the properties above

    Recipient() = default;
    // (A name or address past 4 GiB throws std::length_error.)
    Recipient(int32_t type, std::string_view name, std::string_view address) : smtp(true), type(type) {
        SetText(name, address);
    }
    Recipient(PropertyBag props)  // NOLINT: a row of properties is a recipient
        : more(std::make_unique<PropertyBag>(std::move(props))) {}
    // A typed row whose name and address stay where they lie, in text that must outlive
    // it (and its moves; a copy has a text of its own). A name that is not before the
    // address, or far from it, is copied.
    static Recipient Viewing(int32_t type, std::string_view name, std::string_view address);
    Recipient(const Recipient& r) { *this = r; }
    Recipient(Recipient&& r) noexcept { *this = std::move(r); }
    ~Recipient() { FreeText(); }
    Recipient& operator=(const Recipient& r) {
        if (this == &r) return *this;
        smtp = r.smtp;
        type = r.type;
        SetText(r.Name(), r.Address());
        more = r.more ? std::make_unique<PropertyBag>(*r.more) : nullptr;
        return *this;
    }
    Recipient& operator=(Recipient&& r) noexcept {
        if (this == &r) return *this;
        FreeText();
        smtp = r.smtp;
        type = r.type;
        more = std::move(r.more);
        text_ = std::exchange(r.text_, nullptr);
        owned_ = std::exchange(r.owned_, false);
        addressGap_ = std::exchange(r.addressGap_, 0);
        nameSize_ = std::exchange(r.nameSize_, 0);
        addressSize_ = std::exchange(r.addressSize_, 0);
        return *this;
    }

    // The name as given (empty: none) and the address (with `smtp`).
    std::string_view Name() const { return {text_, nameSize_}; }
    std::string_view Address() const { return {text_ + nameSize_ + addressGap_, addressSize_}; }
    // The name shown for the recipient (with `smtp`).
    std::string_view Shown() const { return nameSize_ ? Name() : Address(); }
    // The properties of `more`, made when there are none yet.
    PropertyBag& More() {
        if (!more) more = std::make_unique<PropertyBag>();
        return *more;
    }
    // The row as it was given, not completed.
    PropertyBag Props() const;

private:
    void SetText(std::string_view name, std::string_view address);
    void FreeText() {
        if (owned_) delete[] text_;
        text_ = nullptr;
        owned_ = false;
    }

    const char* text_ = nullptr;  // the name, then (after addressGap_ bytes) the address
    uint32_t nameSize_ = 0, addressSize_ = 0;
};

// Recipient rows made as a writer reads them rather than held: the rows of a message
// of very many recipients, read again from its header, which the writer keeps at hand
// until it has written them.
class RecipientRows {
public:
    virtual ~RecipientRows() = default;
    virtual size_t Count() const = 0;
    // Hands each row to `row`, in order; a row is valid during its call only.
    virtual void ForEach(const std::function<void(const Recipient&)>& row) const = 0;
};

struct Message;

struct Attachment {
    PropertyBag props;                 // PR_ATTACH_METHOD, PR_ATTACH_DATA_BIN, file names, ...
    std::unique_ptr<Message> embedded; // set when PR_ATTACH_METHOD is ATTACH_EMBEDDED_MSG
};

// Attachments made as a writer reads them rather than held: those of a message of very
// many parts, made again from its bytes, which the writer keeps at hand until it has
// written them. Each comes completed (CompleteAttachment), numbered where it stands.
class AttachmentRows {
public:
    virtual ~AttachmentRows() = default;
    virtual size_t Count() const = 0;
    // Hands each attachment to `each`, in order; it is valid during its call only (and
    // may be moved from).
    virtual void ForEach(const std::function<void(Attachment&)>& each) const = 0;
};

struct Message {
    PropertyBag props;
    std::vector<Recipient> recipients;
    // Rows after those of `recipients`, made as they are read (none when null): only a
    // writer that keeps the message's bytes at hand until it is written is given them
    // (mime::BytesAtHand::UntilWritten). ForEachRecipient reads both.
    std::shared_ptr<const RecipientRows> moreRecipients;
    // Recipients the message names past its rows, whose rows were not made (a writer
    // that keeps fewer asked the importer for no more): the display lists and the
    // message's text name them.
    size_t recipientsLeftOut = 0;
    std::vector<Attachment> attachments;
    // Attachments made as they are read, after the first `moreAttachmentsAt` of
    // `attachments` (none when null): only a writer that keeps the message's bytes at
    // hand until it is written is given them (mime::BytesAtHand::UntilWritten).
    // ForEachAttachment reads them all.
    std::shared_ptr<const AttachmentRows> moreAttachments;
    size_t moreAttachmentsAt = 0;
    // Attachments past those a writer keeps (the importer was asked for no more):
    // made, for what they say of the message, then let go, only counted.
    size_t attachmentsLeftOut = 0;
    // Problems met while building the message (content that could not be read).
    // Empty when the message came through whole.
    std::vector<std::string> warnings;
};

// Every recipient row of a message, in order: those held, then those made as they are read.
inline size_t RecipientCount(const Message& m) {
    return m.recipients.size() + (m.moreRecipients ? m.moreRecipients->Count() : 0);
}
template <class Row>
void ForEachRecipient(const Message& m, Row&& row) {
    for (const Recipient& r : m.recipients) row(r);
    if (m.moreRecipients) m.moreRecipients->ForEach(row);
}

// Every attachment of a message, in order: those held and those made as they are read.
inline size_t AttachmentCount(const Message& m) {
    return m.attachments.size() + (m.moreAttachments ? m.moreAttachments->Count() : 0);
}
// The number of held attachment i among all of them.
inline size_t AttachmentNumber(const Message& m, size_t i) {
    return m.moreAttachments && i >= m.moreAttachmentsAt ? i + m.moreAttachments->Count() : i;
}
template <class M, class Each>  // M: Message, or const Message
void ForEachAttachment(M& m, Each&& each) {
    const size_t at = m.moreAttachments ? std::min(m.moreAttachmentsAt, m.attachments.size()) : m.attachments.size();
    for (size_t i = 0; i < at; ++i) each(m.attachments[i]);
    if (m.moreAttachments) m.moreAttachments->ForEach([&each](Attachment& a) { each(a); });
    for (size_t i = at; i < m.attachments.size(); ++i) each(m.attachments[i]);
}

// Helpers for times: FILETIME <-> Unix seconds.
constexpr int64_t kFileTimeUnixEpoch = 116444736000000000LL;
// Times outside what a FILETIME holds (years 1601 to about 30828) are clamped to its ends.
inline int64_t UnixToFileTime(int64_t unixSeconds) {
    constexpr int64_t kMin = -kFileTimeUnixEpoch / 10000000LL;
    constexpr int64_t kMax = (INT64_MAX - kFileTimeUnixEpoch) / 10000000LL;
    if (unixSeconds < kMin) unixSeconds = kMin;
    if (unixSeconds > kMax) unixSeconds = kMax;
    return unixSeconds * 10000000LL + kFileTimeUnixEpoch;
}
inline int64_t FileTimeToUnix(int64_t ft) { return (ft - kFileTimeUnixEpoch) / 10000000LL; }

}  // namespace bv::mailstore::mapi

// Unicode .msg writer: [MS-OXMSG] storages and streams inside a compound file
// ([MS-CFB], written by CompoundFile).
//
// Layout written for a message:
//   __nameid_version1.0/             named-property mapping (top level only; it maps
//                                    the names of embedded messages as well)
//   __properties_version1.0          property stream (header 32 bytes top level,
//                                    24 bytes in an embedded message)
//   __substg1.0_PPPPTTTT             one stream per variable-size property
//   __recip_version1.0_#XXXXXXXX/    one storage per recipient (8-byte header)
//   __attach_version1.0_#XXXXXXXX/   one storage per attachment (8-byte header)
//       __substg1.0_3701000D/        embedded message (no nameid storage inside)
//
// We first wrote through libgsf's OLE2 writer; it costs about 10 µs per stream (one
// GObject and a 4 KB buffer each, children kept in a sorted list), i.e. ~0.5 ms for a
// typical message and 40 ms for one with 300 recipients, so the compound file is now
// laid out here in one pass. Attachment bytes are written straight from the message.
#include "mailstore/msg/MsgWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/base/CompleteFile.h"
#include "mailstore/base/LittleEndian.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mapi/NameIdMap.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/msg/CompoundFile.h"
#include "mailstore/msg/MsgFormat.h"

namespace bv::mailstore::msg {

using namespace bv::mailstore::mapi;

namespace {

// Thrown inside the writer; turned into MailStoreError with the file name by WriteMsgFile.
struct WriteFailure {
    std::string what;
};

using base::Append32;
using base::Append64;

using Entry = CompoundFile::Entry;

static_assert(kMsgRecipientRows == kMaxRecipientStorages);
static_assert(kMsgAttachments == kMaxAttachmentStorages);

// The properties of one object: the caller's bag plus a few values the writer adds
// or overrides (never binary ones), merged by property id without copying the bag.
struct PropView {
    const PropertyBag& bag;
    const PropertyBag* extra = nullptr;

    template <class F>
    void ForEach(F&& f) const {
        static const PropertyBag::Map kNone;
        const PropertyBag::Map& more = extra ? extra->All() : kNone;
        auto a = bag.All().begin(), ae = bag.All().end();
        auto b = more.begin(), be = more.end();
        while (a != ae || b != be) {
            if (b == be || (a != ae && a->first < b->first)) {
                f(a->first, a->second);
                ++a;
            } else {  // the writer's value wins over the bag's
                if (a != ae && a->first == b->first) ++a;
                f(b->first, b->second);
                ++b;
            }
        }
    }
};

// A long text goes to the file in UTF-16 made from this many bytes at a time (the
// file's writes are buffered anyway).
constexpr size_t kTextPiece = size_t(64) << 10;

// The stream of a string: UTF-16 without its terminating NUL. Returns the size the
// property stream gives it (with the NUL).
uint32_t AddTextStream(Entry* st, uint32_t tag, const std::string& text) {
    if (text.size() >= kLongText) {
        // Made into UTF-16 as the file is written: never held in both forms.
        const size_t size = Utf16LeSize(text);
        CompoundFile::AddMadeStream(st, SubstgName(tag), size, [&text](const CompoundFile::Piece& piece) {
            Utf8ToUtf16LeInPieces(text, kTextPiece, piece);
        });
        return uint32_t(size + 2);
    }
    std::vector<uint8_t> u16 = Utf8ToUtf16Le(text);
    const uint32_t size = uint32_t(u16.size() + 2);
    CompoundFile::AddStream(st, SubstgName(tag), std::move(u16));
    return size;
}

// What the top level's message and its last attachment are given apart (MsgApart).
struct Apart {
    const std::string_view* data = nullptr;  // PR_ATTACH_DATA_BIN
    const MsgApart* header = nullptr;        // PR_TRANSPORT_MESSAGE_HEADERS
};

// Writes one property of an object: a variable-size value as streams into `st`; its
// 16-byte entry of the property stream appended to `entries`.
void WriteProperty(Entry* st, uint16_t id, const Property& prop, bool hasEmbeddedObject, std::vector<uint8_t>& entries,
                   const Apart& apart = {}) {
    uint16_t type = prop.type;
    if (type == PT_STRING8) type = PT_UNICODE;  // strings are always written as Unicode
    if (type == PT_OBJECT || type == PT_UNSPECIFIED || type == PT_NULL) return;
    if (std::holds_alternative<std::monostate>(prop.value)) return;
    const uint32_t tag = MakeTag(id, type);
    auto fixedEntry = [&](uint64_t v) {
        Append32(entries, tag);
        Append32(entries, kPropFlagsReadWrite);
        Append64(entries, v);
    };
    auto sizeEntry = [&](uint32_t size) {
        Append32(entries, tag);
        Append32(entries, kPropFlagsReadWrite);
        Append32(entries, size);
        Append32(entries, 0);
    };
    switch (type) {
    case PT_SHORT:
        if (auto v = std::get_if<int16_t>(&prop.value)) fixedEntry(uint16_t(*v));
        else if (auto w = std::get_if<int32_t>(&prop.value)) fixedEntry(uint16_t(*w));
        break;
    case PT_LONG:
    case PT_ERROR:
        if (auto v = std::get_if<int32_t>(&prop.value)) fixedEntry(uint32_t(*v));
        break;
    case PT_BOOLEAN:
        if (auto v = std::get_if<bool>(&prop.value)) fixedEntry(*v ? 1 : 0);
        break;
    case PT_FLOAT:
        if (auto v = std::get_if<float>(&prop.value)) {
            uint32_t bits;
            std::memcpy(&bits, v, 4);
            fixedEntry(bits);
        }
        break;
    case PT_DOUBLE:
    case PT_APPTIME:
        if (auto v = std::get_if<double>(&prop.value)) {
            uint64_t bits;
            std::memcpy(&bits, v, 8);
            fixedEntry(bits);
        }
        break;
    case PT_CURRENCY:
    case PT_LONGLONG:
    case PT_SYSTIME:
        if (auto v = std::get_if<int64_t>(&prop.value)) fixedEntry(uint64_t(*v));
        break;
    case PT_UNICODE:
        if (id == TagId(PR_TRANSPORT_MESSAGE_HEADERS) && apart.header) {
            CompoundFile::AddMadeStream(st, SubstgName(tag), apart.header->headerUtf16Size, apart.header->header);
            sizeEntry(uint32_t(apart.header->headerUtf16Size + 2));
            break;
        }
        if (auto v = std::get_if<std::string>(&prop.value)) sizeEntry(AddTextStream(st, tag, *v));
        break;
    case PT_BINARY:
    case PT_CLSID:
        if (auto v = std::get_if<Binary>(&prop.value)) {
            if (id == TagId(PR_ATTACH_DATA_BIN) && hasEmbeddedObject) break;
            if (id == TagId(PR_ATTACH_DATA_BIN) && apart.data) {
                CompoundFile::AddBorrowedStream(st, SubstgName(tag), reinterpret_cast<const uint8_t*>(apart.data->data()),
                                                apart.data->size());
                sizeEntry(uint32_t(apart.data->size()));
                break;
            }
            CompoundFile::AddBorrowedStream(st, SubstgName(tag), v->data(), v->size());
            sizeEntry(uint32_t(v->size()));
        }
        break;
    case PT_MV_LONG:
        if (auto v = std::get_if<std::vector<int32_t>>(&prop.value)) {
            std::vector<uint8_t> data;
            for (int32_t x : *v) Append32(data, uint32_t(x));
            const uint32_t size = uint32_t(data.size());
            CompoundFile::AddStream(st, SubstgName(tag), std::move(data));
            sizeEntry(size);
        }
        break;
    case PT_MV_UNICODE:
        // [MS-OXMSG] 2.1.4.2: a lengths stream (4 bytes per value) plus one stream
        // per value, strings with their terminating NUL.
        if (auto v = std::get_if<std::vector<std::string>>(&prop.value)) {
            std::vector<uint8_t> lengths;
            for (size_t i = 0; i < v->size(); ++i) {
                std::vector<uint8_t> u16 = Utf8ToUtf16Le((*v)[i]);
                u16.push_back(0);
                u16.push_back(0);
                Append32(lengths, uint32_t(u16.size()));
                CompoundFile::AddStream(st, SubstgName(tag, int(i)), std::move(u16));
            }
            const uint32_t size = uint32_t(lengths.size());
            CompoundFile::AddStream(st, SubstgName(tag), std::move(lengths));
            sizeEntry(size);
        }
        break;
    case PT_MV_BINARY:
        // Lengths stream of 8 bytes per value (size, reserved) plus one stream per value.
        if (auto v = std::get_if<std::vector<Binary>>(&prop.value)) {
            std::vector<uint8_t> lengths;
            for (size_t i = 0; i < v->size(); ++i) {
                CompoundFile::AddBorrowedStream(st, SubstgName(tag, int(i)), (*v)[i].data(), (*v)[i].size());
                Append32(lengths, uint32_t((*v)[i].size()));
                Append32(lengths, 0);
            }
            const uint32_t size = uint32_t(lengths.size());
            CompoundFile::AddStream(st, SubstgName(tag), std::move(lengths));
            sizeEntry(size);
        }
        break;
    default:
        break;  // types the model does not carry for mail items
    }
}

// Writes the properties of one object, the tagged ones and then the named ones under
// the ids `names` gives them; returns the property stream entries (16 bytes each).
std::vector<uint8_t> WriteProperties(Entry* st, const PropView& view, bool hasEmbeddedObject, NameIdMap& names,
                                     const Apart& apart = {}) {
    std::vector<uint8_t> entries;
    entries.reserve((view.bag.Size() + view.bag.AllNamed().size()) * 16 + 64);
    view.ForEach([&](uint16_t id, const Property& prop) { WriteProperty(st, id, prop, hasEmbeddedObject, entries, apart); });
    for (const auto& [name, prop] : view.bag.AllNamed()) {
        uint16_t id = 0;
        try {
            id = names.IdOf(name);
        } catch (const std::length_error&) {
            throw WriteFailure{"too many named properties"};
        }
        WriteProperty(st, id, prop, hasEmbeddedObject, entries);
    }
    return entries;
}

void WriteMessage(Entry* st, const Message& m, bool topLevel, int depth, NameIdMap& names,
                  const MsgApart* apart = nullptr);

// The named-property mapping storage of the whole file (embedded messages included):
// the three streams, empty when no names are used, and the hash buckets that hold any.
void AddNameIdStorage(Entry* root, const NameIdMap& names) {
    Entry* nameid = CompoundFile::AddStorage(root, kNameIdStorage);
    CompoundFile::AddStream(nameid, kNameIdGuidStream, names.GuidStream());
    CompoundFile::AddStream(nameid, kNameIdEntryStream, names.EntryStream());
    CompoundFile::AddStream(nameid, kNameIdStringStream, names.StringStream());
    for (auto& [bucket, records] : names.HashBuckets())
        CompoundFile::AddStream(nameid, SubstgName(MakeTag(uint16_t(kNameIdFirstBucket + bucket), PT_BINARY)),
                                std::move(records));
}

void AddPropertyStream(Entry* st, std::vector<uint8_t> header, const std::vector<uint8_t>& entries) {
    header.insert(header.end(), entries.begin(), entries.end());
    CompoundFile::AddStream(st, kPropertiesStream, std::move(header));
}

void WriteAttachment(Entry* parent, const Attachment& a, uint32_t index, int depth, NameIdMap& names,
                     const std::string_view* data) {
    Entry* st = CompoundFile::AddStorage(parent, AttachStorageName(index));
    const bool embedded = a.embedded != nullptr;
    std::vector<uint8_t> entries = WriteProperties(st, PropView{a.props, nullptr}, embedded, names, Apart{data, nullptr});
    if (embedded) {
        Entry* msgDir = CompoundFile::AddStorage(st, SubstgName(PR_ATTACH_DATA_OBJ));
        WriteMessage(msgDir, *a.embedded, false, depth + 1, names);
        // [MS-OXMSG] 2.4.2.2: the size of an embedded message entry is 0xFFFFFFFF.
        Append32(entries, PR_ATTACH_DATA_OBJ);
        Append32(entries, kPropFlagsReadWrite);
        Append32(entries, 0xFFFFFFFFu);
        Append32(entries, 0);
    }
    AddPropertyStream(st, std::vector<uint8_t>(kSubObjectHeaderSize, 0), entries);
}

void WriteMessage(Entry* st, const Message& m, bool topLevel, int depth, NameIdMap& names, const MsgApart* apart) {
    if (depth > kMaxEmbeddingDepth) throw WriteFailure{"embedded messages nested too deeply"};
    if (m.attachments.size() > kMaxAttachmentStorages)
        throw WriteFailure{"too many attachments (" + std::to_string(m.attachments.size()) + ", at most " +
                           std::to_string(kMaxAttachmentStorages) + ")"};


    // A Unicode .msg says so in its store support mask ([MS-OXMSG] 2.1.2).
    PropertyBag extra;
    if (topLevel) {
        int32_t mask = m.props.GetInt(PR_STORE_SUPPORT_MASK).value_or(0);
        extra.SetInt(PR_STORE_SUPPORT_MASK, mask | kStoreUnicodeOk);
    }
    std::vector<uint8_t> entries =
        WriteProperties(st, PropView{m.props, &extra}, false, names, Apart{nullptr, apart && apart->header ? apart : nullptr});

    // A .msg holds at most 2048 recipient rows ([MS-OXMSG] 2.2.1); further rows are
    // left out (PR_DISPLAY_TO/CC/BCC and the transport headers still name everyone).
    const size_t recipientCount = std::min(m.recipients.size(), kMaxRecipientStorages);
    for (size_t i = 0; i < recipientCount; ++i) {
        Entry* rs = CompoundFile::AddStorage(st, RecipStorageName(uint32_t(i)));
        const PropertyBag row = CompletedRecipient(m.recipients[i], i);
        std::vector<uint8_t> re = WriteProperties(rs, PropView{row, nullptr}, false, names);
        CompoundFile::OwnStreams(rs);  // (the completed row goes before the file is written)
        AddPropertyStream(rs, std::vector<uint8_t>(kSubObjectHeaderSize, 0), re);
    }
    for (size_t i = 0; i < m.attachments.size(); ++i)
        WriteAttachment(st, m.attachments[i], uint32_t(i), depth, names,
                        apart && apart->lastAttachmentData && i + 1 == m.attachments.size() ? &*apart->lastAttachmentData
                                                                                           : nullptr);

    std::vector<uint8_t> header;
    Append64(header, 0);                                   // reserved
    Append32(header, uint32_t(recipientCount));            // next recipient id
    Append32(header, uint32_t(m.attachments.size()));      // next attachment id
    Append32(header, uint32_t(recipientCount));            // recipient count
    Append32(header, uint32_t(m.attachments.size()));      // attachment count
    if (topLevel) Append64(header, 0);                     // reserved (top level only)
    AddPropertyStream(st, std::move(header), entries);
}

}  // namespace

bool FitsMsgFile(const mapi::Message& message) {
    if (message.attachments.size() > kMaxAttachmentStorages || message.recipients.size() > kMaxRecipientStorages ||
        message.recipientsLeftOut > 0 || message.moreRecipients || message.attachmentsLeftOut > 0)
        return false;
    for (const Attachment& a : message.attachments)
        if (a.embedded && !FitsMsgFile(*a.embedded)) return false;
    return true;
}

namespace {
// Keeps the first `n` recipient rows and lets the others' room go (a message may have
// brought hundreds of thousands).
void KeepRecipients(Message& m, size_t n) {
    m.recipients.resize(n);
    m.recipients.shrink_to_fit();
}

// Leaves out what an embedded message holds past the limits.
void FitEmbedded(Message& m) {
    if (m.attachments.size() > kMaxAttachmentStorages) m.attachments.resize(kMaxAttachmentStorages);
    if (m.recipients.size() > kMaxRecipientStorages) KeepRecipients(m, kMaxRecipientStorages);
    m.recipientsLeftOut = 0;
    m.moreRecipients.reset();
    m.attachmentsLeftOut = 0;
    for (Attachment& a : m.attachments)
        if (a.embedded) FitEmbedded(*a.embedded);
}
}  // namespace

std::string FitToMsgFile(mapi::Message& message) {
    if (FitsMsgFile(message)) return "";
    std::string kept;
    auto tell = [&kept](size_t fit, size_t all, const char* what) {
        if (fit == all) return;
        if (!kept.empty()) kept += " and ";
        kept += std::to_string(fit) + " of its " + std::to_string(all) + " " + what;
    };
    const size_t attachments = message.attachments.size() + message.attachmentsLeftOut;
    const size_t recipients = mapi::RecipientCount(message) + message.recipientsLeftOut;
    if (attachments >= kMaxAttachmentStorages) message.attachments.resize(kMaxAttachmentStorages - 1);
    if (message.recipients.size() > kMaxRecipientStorages) KeepRecipients(message, kMaxRecipientStorages);
    message.recipientsLeftOut = 0;
    message.moreRecipients.reset();
    message.attachmentsLeftOut = 0;
    tell(message.attachments.size(), attachments, "attachments");
    tell(message.recipients.size(), recipients, "recipients");
    for (Attachment& a : message.attachments)
        if (a.embedded) FitEmbedded(*a.embedded);
    if (kept.empty()) kept = "some of the attachments of its attached messages";
    return kept;
}

bool WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path) {
    return WriteMsgFile(message, path, MsgApart{});
}

bool WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path, const MsgApart& apart) {
    // Build the whole tree first: a message that cannot be written leaves no file at all.
    CompoundFile cfb;
    cfb.SetRootClsid(kMessageClsid);
    try {
        NameIdMap names(kNameIdBucketCount);
        WriteMessage(cfb.root(), message, true, 0, names, &apart);
        AddNameIdStorage(cfb.root(), names);
    } catch (const WriteFailure& e) {
        throw MailStoreError("cannot write " + path.string() + ": " + e.what);
    }

    try {
        return base::WriteCompleteFileUnlessSame(path, [&cfb](FILE* file) { cfb.Write(file); });
    } catch (const MailStoreError& e) {
        throw MailStoreError("cannot write " + path.string() + ": " + e.what(), e.SystemError());
    }
}

}  // namespace bv::mailstore::msg

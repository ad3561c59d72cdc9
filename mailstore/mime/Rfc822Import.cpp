// RFC 5322 / MIME message -> MAPI property model: the importer's top level. The
// header is cut here without a parser; the MIME entity goes to GMime, unless the
// message is one text part, which is read directly.
#include "mailstore/mime/Rfc822Import.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/FileNames.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/MimeEntity.h"
#include "mailstore/mime/MimeWalk.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

using namespace bv::mailstore::mapi;

namespace {

// What a property that held NUL characters is called in a warning.
std::string NulFieldName(uint16_t id) {
    switch (id) {
        case TagId(PR_SUBJECT): case TagId(PR_NORMALIZED_SUBJECT): case TagId(PR_CONVERSATION_TOPIC): case TagId(PR_SUBJECT_PREFIX):
            return "the subject";
        case TagId(PR_INTERNET_MESSAGE_ID): return "the Message-ID";
        case TagId(PR_IN_REPLY_TO_ID): return "In-Reply-To";
        case TagId(PR_INTERNET_REFERENCES): return "References";
        case TagId(PR_TRANSPORT_MESSAGE_HEADERS): return "the header";
        case TagId(PR_BODY): return "the text body";
        default: return "other text";
    }
}

// A text property cannot hold a NUL character (its readers end the text there, each
// at a different one): every NUL is taken out of every string of the message, the
// same way for a body and for a Message-ID. Those that end a string are its
// terminator (as readers take them) and go without a word; `where` says what held
// others, for the warning.
void TakeOutNuls(PropertyBag& bag, std::vector<std::string>& where) {
    auto clean = [&](std::string& s, uint16_t id) {
        if (s.find('\0') == std::string::npos) return;
        while (!s.empty() && s.back() == '\0') s.pop_back();
        if (s.find('\0') == std::string::npos) return;
        s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
        std::string name = NulFieldName(id);
        if (std::find(where.begin(), where.end(), name) == where.end()) where.push_back(std::move(name));
    };
    auto hasNul = [](const std::string& s) { return s.find('\0') != std::string::npos; };
    for (const auto& [id, prop] : bag.All()) {
        // (copied only when there is something to take out)
        const auto* text = std::get_if<std::string>(&prop.value);
        const auto* list = std::get_if<std::vector<std::string>>(&prop.value);
        if (!(text && hasNul(*text)) && !(list && std::any_of(list->begin(), list->end(), hasNul))) continue;
        Property fixed = prop;
        if (auto s = std::get_if<std::string>(&fixed.value)) clean(*s, id);
        if (auto v = std::get_if<std::vector<std::string>>(&fixed.value))
            for (std::string& s : *v) clean(s, id);
        if (fixed.value != prop.value) bag.Set(MakeTag(id, prop.type), std::move(fixed.value));
    }
    for (const auto& [name, prop] : bag.AllNamed()) {
        const std::string* s = std::get_if<std::string>(&prop.value);
        if (!s || s->find('\0') == std::string::npos) continue;
        std::string fixed = *s;
        clean(fixed, 0);
        bag.SetNamed(name, prop.type, std::move(fixed));
    }
}

// `made`: what held NULs in the attachments made as the writer reads them (which are
// taken out as they are made).
void TakeOutNuls(mapi::Message& m, std::vector<std::string>& where, int depth = 0,
                 const std::vector<std::string>* made = nullptr) {
    TakeOutNuls(m.props, where);
    for (mapi::Recipient& r : m.recipients) {
        // A typed row whose name or address holds a NUL becomes its properties, whose
        // entry ID and search key keep what was given.
        if (r.smtp && (r.Name().find('\0') != std::string_view::npos || r.Address().find('\0') != std::string_view::npos))
            r = mapi::Recipient(r.Props());
        if (r.more) TakeOutNuls(*r.more, where);
    }
    // (those of the attachments made as read, where they stand among the held ones)
    const size_t madeAt = made && m.moreAttachments ? std::min(m.moreAttachmentsAt, m.attachments.size()) : SIZE_MAX;
    for (size_t i = 0; i <= m.attachments.size(); ++i) {
        if (i == madeAt)
            for (const std::string& name : *made)
                if (std::find(where.begin(), where.end(), name) == where.end()) where.push_back(name);
        if (i < m.attachments.size()) mime::TakeOutNuls(m.attachments[i], where, depth);
    }
}

// Takes the NULs out of the message's strings; true, with a warning, when any but
// terminators were there: the original is to be attached (`attached`: it is anyway).
bool NulsTakenOut(mapi::Message& out, bool attached, const std::vector<std::string>& made) {
    std::vector<std::string> nuls;
    TakeOutNuls(out, nuls, 0, &made);
    if (nuls.empty()) return false;
    std::string fields;
    for (const std::string& f : nuls) fields += (fields.empty() ? "" : ", ") + f;
    out.warnings.push_back("NUL characters taken out of " + fields + " (a text property cannot hold them); " +
                           (attached ? std::string("see the original attached") : std::string("the original is attached as ") + kOriginalMessageName));
    return true;
}

void ImportTop(std::string_view bytes, const MessageTop& top, mapi::Message& out, int depth, size_t recipientRows,
               size_t attachmentsKept, std::vector<uint8_t> searchKey = {}, BytesAtHand atHand = BytesAtHand::None) {
    std::vector<std::string>& warnings = out.warnings;
    const std::string_view data = top.data;
    const Envelope& envelope = top.envelope;
    const size_t headerLen = top.headerLen, bodyStart = top.bodyStart;

    if (searchKey.empty()) searchKey = mapi::MessageSearchKey(bytes);

    const bool hasHeader = headerLen > 0 && LooksLikeHeader(data);
    if (!data.empty() && !LooksLikeHeader(data) && LooksLikeText(data)) {
        // The first line is no header field: mail readers show such text as the body,
        // from the sender and at the date of the mailbox's "From " line.
        SimpleText text;
        text.raw = headerLen == 0 ? data.substr(bodyStart) : data;
        warnings.push_back("the message has no header; its text is kept as the body");
        FillMessage(out, depth, warnings, HeaderFields{}, Body{nullptr, &text, {}}, std::string_view(), envelope, searchKey,
                    recipientRows, attachmentsKept, atHand);
        if (NulsTakenOut(out, false, {})) out.attachments.push_back(OriginalMessageAttachment(bytes, int32_t(AttachmentCount(out))));
        return;
    }
    const std::string_view headerBytes = hasHeader ? data.substr(0, headerLen) : std::string_view();

    const TopHeader& header = top.header;

    const bool hasBody = bodyStart < data.size();

    ParseIssues issues;
    ParseIssuesScope issuesScope(&issues);
    issues.headerLinesDropped = header.dropped;

    std::optional<SimpleText> simple;
    if (!header.unreadable && hasBody) simple = SimpleTextBody(header.fields, data.substr(bodyStart));
    std::optional<MimeEntity> entity;  // for GMime: the Content-* fields, the blank line, the body
    std::unique_ptr<PartWindows> windows;  // or, for very many parts, a window of them at a time
    if (!header.unreadable && !simple && (hasBody || !header.content.empty())) {
        const std::string_view separator = bodyStart > headerLen ? data.substr(headerLen, bodyStart - headerLen) : "\n";
        const std::string_view body = hasBody ? data.substr(bodyStart) : std::string_view();
        windows = PartWindows::Of(header.content, separator, body);
        if (!windows) entity.emplace(header.content, separator, body, issues);
    }
    GMimeObject* const mime = entity ? entity->object() : nullptr;

    bool failed = false;
    std::string failure;
    if (data.empty()) {
        warnings.push_back("the message is empty");
    } else if (header.unreadable) {
        failed = true;
        failure = "the message could not be parsed";
    } else if (!hasHeader) {
        failed = true;
        failure = "the message has no header";
    } else if (!mime && !windows && !simple && hasBody) {
        failed = true;
        failure = "the message body could not be read";
    }

    std::vector<std::string> nulsOfMade;  // (of the attachments made as the writer reads them)
    if (!header.unreadable && !data.empty()) {
        const Body body{mime, simple ? &*simple : nullptr, entity ? entity->source() : std::string_view(),
                        entity ? entity->sourceAt() : 0, windows.get()};
        FillMessage(out, depth, warnings, header.fields, body, headerBytes, envelope, searchKey, recipientRows,
                    attachmentsKept, atHand, &nulsOfMade);
    } else {
        out.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNMODIFIED);
        out.props.SetBinary(PR_SEARCH_KEY, searchKey);
        out.props.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
        out.props.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
        if (envelope.date) {
            for (uint32_t tag : {PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_DELIVERY_TIME, PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME})
                out.props.SetTime(tag, UnixToFileTime(*envelope.date));
        }
    }
    if (!failed && (issues.droppedLines() > 0 || issues.partsSkipped() || issues.malformed())) {
        failed = true;
        failure = issues.droppedLines() > 0 ? std::to_string(issues.droppedLines()) + " unreadable header line(s) were skipped"
                                          : "the MIME structure is damaged and parts may be missing";
    }
    if (issues.truncated() && !failed) warnings.push_back("the message is truncated (a closing MIME boundary is missing)");
    const bool nuls = NulsTakenOut(out, failed, nulsOfMade);
    if (failed) warnings.push_back(failure + "; the original is attached as " + kOriginalMessageName);
    if (failed || nuls) out.attachments.push_back(OriginalMessageAttachment(bytes, int32_t(AttachmentCount(out))));
}

}  // namespace

void TakeOutNuls(mapi::Attachment& a, std::vector<std::string>& where, int depth) {
    TakeOutNuls(a.props, where);
    if (a.embedded && depth < 64) TakeOutNuls(*a.embedded, where, depth + 1);
}

mapi::Attachment OriginalMessageAttachment(std::string_view bytes, int32_t number, bool withBytes) {
    Attachment a;
    a.props.SetInt(PR_ATTACH_NUM, number);
    a.props.SetInt(PR_RENDERING_POSITION, -1);
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    SetAttachNames(a.props, kOriginalMessageName);
    a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
    a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(bytes.size(), 0x7FFFFFFF)));
    a.props.SetBinary(PR_ATTACH_DATA_BIN, withBytes ? Binary(bytes.begin(), bytes.end()) : Binary());
    return a;
}

void ImportMessageAt(std::string_view bytes, mapi::Message& out, int depth, size_t recipientRows,
                     size_t attachmentsKept) {
    ImportTop(bytes, ReadMessageTop(bytes), out, depth, recipientRows, attachmentsKept);
}

void ImportRfc822(std::string_view bytes, mapi::Message& out) { ImportMessageAt(bytes, out, 0, SIZE_MAX); }

void ImportRfc822(std::string_view bytes, const MessageTop& top, mapi::Message& out, std::vector<uint8_t> searchKey,
                  size_t recipientRows, size_t attachmentsKept, BytesAtHand atHand) {
    ImportTop(bytes, top, out, 0, recipientRows, attachmentsKept, std::move(searchKey), atHand);
}

void ImportRfc822File(const std::filesystem::path& path, mapi::Message& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw MailStoreError("cannot import " + path.string() + ": the file cannot be opened");
    std::string bytes;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) throw MailStoreError("cannot import " + path.string() + ": the file size cannot be read");
    in.seekg(0, std::ios::beg);
    bytes.resize(size_t(size));
    if (size > 0 && !in.read(bytes.data(), size))
        throw MailStoreError("cannot import " + path.string() + ": read error");
    ImportRfc822(bytes, out);
}

}  // namespace bv::mailstore::mime

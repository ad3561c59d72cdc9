// RFC 5322 / MIME message -> MAPI property model: the importer's top level. The
// header is cut here without a parser; the MIME entity goes to GMime, unless the
// message is one text part, which is read directly.
#include "mailstore/mime/Rfc822Import.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/FileNames.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/MimeWalk.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::mailstore::mime {

using namespace bv::mapi;

void ImportMessageAt(std::string_view bytes, mapi::Message& out, int depth) {
    GMimeParserOptions* options = ParserOptions();
    std::vector<std::string>& warnings = out.warnings;

    std::string_view data = bytes;
    if (data.size() >= 3 && std::memcmp(data.data(), "\xEF\xBB\xBF", 3) == 0) data.remove_prefix(3);
    const Envelope envelope = TakeEnvelope(data);
    // Lines of nothing but blanks in front of the header (some mail programs write
    // one) are passed over, as mail readers pass over them.
    for (;;) {
        size_t k = 0;
        while (k < data.size() && (data[k] == ' ' || data[k] == '\t')) ++k;
        if (k == 0) break;
        if (k < data.size() && data[k] == '\r') ++k;
        if (k >= data.size() || data[k] != '\n') break;
        data.remove_prefix(k + 1);
    }

    std::vector<uint8_t> searchKey = mapi::MessageSearchKey(bytes);

    size_t headerLen = 0, bodyStart = 0;
    FindHeaderEnd(data, headerLen, bodyStart);
    const bool hasHeader = headerLen > 0 && LooksLikeHeader(data);
    if (!data.empty() && !LooksLikeHeader(data) && LooksLikeText(data)) {
        // The first line is no header field: mail readers show such text as the body,
        // from the sender and at the date of the mailbox's "From " line.
        SimpleText text;
        text.raw = headerLen == 0 ? data.substr(bodyStart) : data;
        warnings.push_back("the message has no header; its text is kept as the body");
        FillMessage(out, depth, warnings, HeaderFields{}, Body{nullptr, &text}, std::string(), envelope, searchKey);
        return;
    }
    std::string headerText = hasHeader ? BytesToUtf8(data.substr(0, headerLen)) : std::string();

    TopHeader top = SplitHeader(data.substr(0, headerLen));

    const bool hasBody = bodyStart < data.size();
    std::string entity;  // for GMime: the Content-* fields, the blank line, the body

    ParseIssues issues;
    ParseIssuesScope issuesScope(&issues);
    issues.droppedLines = top.dropped;

    GMimeObject* body = nullptr;
    GMimeStream* stream = nullptr;
    GMimeParser* parser = nullptr;
    GByteArray* array = nullptr;
    std::optional<SimpleText> simple;
    if (!top.unreadable && hasBody)
        simple = SimpleTextBody(top.fields, data.substr(bodyStart));
    if (!top.unreadable && !simple && (hasBody || !top.content.empty())) {
        entity.reserve(top.content.size() + 2 + (hasBody ? data.size() - bodyStart : 0));
        entity = top.content;
        if (bodyStart > headerLen) entity.append(data.substr(headerLen, bodyStart - headerLen));
        else entity += '\n';
        if (hasBody) entity.append(data.substr(bodyStart));
        // The memory stream borrows the entity's bytes, which outlive the parse.
        array = g_byte_array_new_take(reinterpret_cast<guint8*>(entity.data()), entity.size());
        stream = g_mime_stream_mem_new_with_byte_array(array);
        g_mime_stream_mem_set_owner(GMIME_STREAM_MEM(stream), FALSE);
        parser = g_mime_parser_new_with_stream(stream);
        g_mime_parser_set_format(parser, GMIME_FORMAT_MESSAGE);
        g_mime_parser_set_persist_stream(parser, TRUE);
        body = g_mime_parser_construct_part(parser, options);
    }

    bool failed = false;
    std::string failure;
    if (data.empty()) {
        warnings.push_back("the message is empty");
    } else if (top.unreadable) {
        failed = true;
        failure = "the message could not be parsed";
    } else if (!hasHeader) {
        failed = true;
        failure = "the message has no header";
    } else if (!body && !simple && hasBody) {
        failed = true;
        failure = "the message body could not be read";
    }

    if (!top.unreadable && !data.empty()) {
        FillMessage(out, depth, warnings, top.fields, Body{body, simple ? &*simple : nullptr}, headerText, envelope,
                    searchKey);
    } else {
        out.props.SetString(PR_MESSAGE_CLASS, "IPM.Note");
        out.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNMODIFIED);
        out.props.SetInt(PR_MESSAGE_STATUS, 0);
        out.props.SetBinary(PR_SEARCH_KEY, searchKey);
        out.props.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
        out.props.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
        if (envelope.date) {
            for (uint32_t tag : {PR_CLIENT_SUBMIT_TIME, PR_MESSAGE_DELIVERY_TIME, PR_CREATION_TIME, PR_LAST_MODIFICATION_TIME})
                out.props.SetTime(tag, UnixToFileTime(*envelope.date));
        }
    }
    if (body) g_object_unref(body);
    if (parser) g_object_unref(parser);
    if (stream) g_object_unref(stream);
    if (array) g_byte_array_free(array, FALSE);  // the bytes stay the entity's

    if (!failed && (issues.droppedLines > 0 || issues.partsSkipped || issues.malformed)) {
        failed = true;
        failure = issues.droppedLines > 0 ? std::to_string(issues.droppedLines) + " unreadable header line(s) were skipped"
                                          : "the MIME structure is damaged and parts may be missing";
    }
    if (issues.truncated && !failed) warnings.push_back("the message is truncated (a closing MIME boundary is missing)");
    if (failed) {
        warnings.push_back(failure + "; the original is attached as original-message.eml");
        Attachment a;
        a.props.SetInt(PR_ATTACH_NUM, int32_t(out.attachments.size()));
        a.props.SetInt(PR_RENDERING_POSITION, -1);
        a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
        SetAttachNames(a.props, "original-message.eml");
        a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
        a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(bytes.size(), 0x7FFFFFFF)));
        a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(bytes.begin(), bytes.end()));
        out.attachments.push_back(std::move(a));
        int32_t flags = out.props.GetInt(PR_MESSAGE_FLAGS).value_or(MSGFLAG_READ | MSGFLAG_UNMODIFIED);
        out.props.SetInt(PR_MESSAGE_FLAGS, flags | MSGFLAG_HASATTACH);
    }
}

void ImportRfc822(std::string_view bytes, mapi::Message& out) { ImportMessageAt(bytes, out, 0); }

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

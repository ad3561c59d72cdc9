#include "mailstore/mime/TnefImport.h"
#include "mailstore/base/Ascii.h"

#include <algorithm>

#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/FileNames.h"
#include "mailstore/mime/HtmlText.h"
#include "mailstore/mime/RtfText.h"
#include "mailstore/mime/Tnef.h"

namespace bv::mailstore::mime {

using namespace bv::mailstore::mapi;

namespace {

Binary BinaryOf(const std::string& s) { return Binary(s.begin(), s.end()); }

void SetBody(const TnefContent& tnef, PropertyBag& p) {
    if (!tnef.html.empty()) {
        // HTML bytes as the sender wrote them: their charset is the document's own.
        const std::string cs = HtmlMetaCharset(tnef.html);
        const std::string html = DeclareHtmlUtf8(ToUtf8(tnef.html, cs));
        p.SetBinary(PR_HTML, BinaryOf(html));
        p.SetString(PR_BODY, ToCrLf(tnef.body.empty() ? HtmlToText(html) : tnef.body));
        p.SetInt(PR_NATIVE_BODY, NATIVE_BODY_HTML);
        p.Remove(PR_RTF_COMPRESSED);
        return;
    }
    if (!tnef.rtfCompressed.empty()) {
        p.SetBinary(PR_RTF_COMPRESSED, BinaryOf(tnef.rtfCompressed));
        std::string text = tnef.body;
        if (text.empty() && !tnef.rtf.empty()) {
            RtfText rtf = ReadRtf(tnef.rtf);
            text = rtf.html ? HtmlToText(rtf.text) : rtf.text;
        }
        if (!text.empty() || !p.Has(PR_BODY)) p.SetString(PR_BODY, ToCrLf(text));
        p.SetBool(PR_RTF_IN_SYNC, true);
        p.SetInt(PR_NATIVE_BODY, NATIVE_BODY_RTF);
        p.Remove(PR_HTML);
        return;
    }
    if (!tnef.body.empty()) {
        p.SetString(PR_BODY, ToCrLf(tnef.body));
        p.SetInt(PR_NATIVE_BODY, NATIVE_BODY_PLAIN);
        p.Remove(PR_HTML);
    }
}

void AddAttachments(const TnefContent& tnef, Message& out) {
    int unnamed = 0;
    for (const TnefAttachment& file : tnef.attachments) {
        Attachment& a = out.attachments.emplace_back();
        a.props.SetInt(PR_ATTACH_NUM, int32_t(out.attachments.size() - 1));
        a.props.SetInt(PR_RENDERING_POSITION, -1);
        if (!file.message.empty()) {
            // An attached item: shown by its subject, saved as a .msg.
            a.props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
            a.embedded = std::make_unique<Message>();
            Message& inner = *a.embedded;
            if (!file.longName.empty()) inner.props.SetString(PR_SUBJECT, file.longName);
            inner.props.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
            inner.props.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
            SetBody(file.message.front(), inner.props);
            AddAttachments(file.message.front(), inner);
            inner.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNMODIFIED);
            std::string name = SanitizeFileName(file.longName);
            SetAttachNames(a.props, (name.empty() ? std::string("message") : name) + ".msg");
            if (!file.longName.empty()) a.props.SetString(PR_DISPLAY_NAME, file.longName);
            continue;
        }
        a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
        std::string mimeType = file.mimeType.empty() ? "application/octet-stream" : base::AsciiLowered(file.mimeType);
        std::string name = SanitizeFileName(file.longName);
        if (name.empty()) name = "attachment-" + std::to_string(++unnamed) + ExtensionForMimeType(mimeType);
        SetAttachNames(a.props, name);
        a.props.SetString(PR_ATTACH_MIME_TAG, mimeType);
        if (!file.contentId.empty()) a.props.SetString(PR_ATTACH_CONTENT_ID, file.contentId);
        a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(file.data.size(), 0x7FFFFFFF)));
        a.props.SetBinary(PR_ATTACH_DATA_BIN, BinaryOf(file.data));
    }
}

}  // namespace

bool IsTnefType(const std::string& mimeType) {
    return mimeType == "application/ms-tnef" || mimeType == "application/vnd.ms-tnef";
}

bool ImportTnef(std::string_view bytes, Message& out) {
    std::optional<TnefContent> tnef = DecodeTnef(bytes);
    if (!tnef) return false;
    SetBody(*tnef, out.props);
    AddAttachments(*tnef, out);
    return true;
}

}  // namespace bv::mailstore::mime

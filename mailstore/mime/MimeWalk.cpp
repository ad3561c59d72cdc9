// The MIME walk, following the MIME-reader mapping of [MS-OXCMAIL] 2.2.3.4.
#include "mailstore/mime/MimeWalk.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>

#include "mailstore/MailStoreError.h"
#include "mailstore/base/Ascii.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/EncodedWords.h"
#include "mailstore/mime/FileNames.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/HeaderMapping.h"
#include "mailstore/mime/HtmlText.h"
#include "mailstore/mime/MboxGrammar.h"
#include "mailstore/mime/MimeEntity.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/PartContent.h"
#include "mailstore/mime/TnefImport.h"
#include "mailstore/mime/Uuencode.h"

namespace bv::mailstore::mime {

using namespace bv::mailstore::mapi;

namespace {

constexpr int kMaxEmbeddedDepth = 32;   // message/rfc822 inside message/rfc822 ...
constexpr int kMaxMultipartDepth = 200; // nested multiparts walked


// Text that holds NUL bytes is binary data sent as text: a text property would end
// at the first of them, so the part is kept whole as a file too, and the text shows
// the rest.
std::string TextWithoutNul(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

// The letters and digits of a text (every non-ASCII byte counts as one), for texts
// that say the same thing in different layouts.
std::string Words(std::string_view text) {
    std::string out;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80 || std::isalnum(static_cast<unsigned char>(c))) out += c;
    return out;
}

// True when `shown` says all that `own` says (or `own` says nothing): the same text,
// perhaps with more around it or laid out otherwise.
bool SameWords(std::string_view own, std::string_view shown) {
    const std::string o = Words(own);
    return o.empty() || Words(shown).find(o) != std::string::npos;
}

std::string StripAngles(std::string s) {
    while (!s.empty() && (s.front() == '<' || s.front() == ' ')) s.erase(0, 1);
    while (!s.empty() && (s.back() == '>' || s.back() == ' ')) s.pop_back();
    return s;
}

// The charset the message's text declares: its text part's, or in a multipart the
// first text part's that names one (attached messages declare their own).
std::string FirstTextCharset(GMimeObject* obj, int depth = 0) {
    if (!obj || depth > kMaxMultipartDepth) return std::string();
    if (GMIME_IS_MULTIPART(obj)) {
        GMimeMultipart* mp = GMIME_MULTIPART(obj);
        for (int i = 0, n = g_mime_multipart_get_count(mp); i < n; ++i)
            if (std::string cs = FirstTextCharset(g_mime_multipart_get_part(mp, i), depth + 1); !cs.empty()) return cs;
        return std::string();
    }
    if (!GMIME_IS_PART(obj) || !MimeTypeOf(obj).starts_with("text/")) return std::string();
    const char* cs = g_mime_object_get_content_type_parameter(obj, "charset");
    return cs ? BytesToUtf8(cs) : std::string();
}

std::string DeclaredCharset(const Body& body) { return body.text ? body.text->charset : FirstTextCharset(body.mime); }

// ---------------------------------------------------------------- the walk

struct Leaf {
    GMimeObject* obj = nullptr;
    GMimeObject* alternative = nullptr;  // nearest multipart/alternative ancestor
    size_t order = 0;
    std::vector<std::string> boundaries;  // of the enclosing multiparts (attached messages only)
};

// Where an attached message's bytes lie in the parsed bytes' source: from its
// content's start to the boundary line that ends the part (whose line end belongs to
// the boundary), or to the end. Nothing when the part's header has no place in the
// parsed bytes.
std::optional<std::pair<size_t, size_t>> AttachedMessageSpan(GMimeObject* part, const ParsedBytes& parsed,
                                                             const std::vector<std::string>& boundaries) {
    const std::optional<size_t> start = ContentStart(part, parsed);
    if (!start) return std::nullopt;
    const std::string_view source = parsed.source;
    const size_t begin = *start;
    size_t end = source.size();
    for (const std::string& b : boundaries) {
        const std::string marker = "--" + b;
        if (source.substr(begin).starts_with(marker)) {
            end = begin;
            break;
        }
        const size_t at = source.find("\n" + marker, begin);
        if (at != std::string_view::npos && at < end) end = at > begin && source[at - 1] == '\r' ? at - 1 : at;
    }
    return std::make_pair(begin, std::max(begin, end));
}

class Importer {
public:
    Importer(Message& out, int depth, std::vector<std::string>& warnings, size_t recipientRows, size_t attachmentsKept,
             BytesAtHand atHand)
        : out_(out), depth_(depth), recipientRows_(recipientRows), attachmentsKept_(attachmentsKept),
          atHand_(depth == 0 ? atHand : BytesAtHand::None), warnings_(warnings) {}

    // Fills out_ from a message's header fields and its parsed MIME entity (nullptr
    // when it has no body). header: the header block's bytes.
    void Fill(const HeaderFields& fields, Body body, std::string_view header, const Envelope& envelope,
              const std::vector<uint8_t>& searchKey);
    // The NUL fields of the attachments left to the writer (TakeOutNuls), in order.
    const std::vector<std::string>& NulsOfMade() const { return madeNuls_; }

private:
    friend class WindowAttachments;
    // A part chosen as a body: where it is in the walk (its order, the window it is in)
    // and its nearest multipart/alternative (the same one for two parts of the same
    // window, or none or the top for two of any).
    struct Chosen {
        size_t order = SIZE_MAX;
        size_t window = 0;
        std::pair<size_t, GMimeObject*> alternative{SIZE_MAX, nullptr};
        explicit operator bool() const { return order != SIZE_MAX; }
    };
    // What Walk does besides collecting the leaves: warn and keep orphan texts, keep
    // its warnings for later, or neither (a window walked again).
    enum class WalkNotes { Now, Later, None };

    void Walk(GMimeObject* obj, GMimeObject* alternative, int nest);
    void Choose(const Leaf& leaf, size_t window, GMimeObject* root, Chosen& plain, Chosen& html) const;
    static void KeepPlainBody(Chosen& plain, const Chosen& html);
    std::string FillBodies(GMimeObject* plain, const ParsedBytes& plainBytes, GMimeObject* html,
                           const ParsedBytes& htmlBytes);
    void AddLeafAttachments(const Chosen& plain, const Chosen& html, const std::string& htmlText);
    std::optional<std::string> ScanWindows(const PartWindows& windows);
    void Restart();
    GMimeObject* WindowLeaf(GMimeObject* root, size_t window, size_t order);
    void FillWindows(const PartWindows& windows);
    void AddWindowAttachments(const PartWindows& windows, const std::string& htmlText);
    void LetGoMade();
    void AddPartAttachment(GMimePart* part, const std::string& html);
    void AddMessageAttachment(const Leaf& leaf);
    void AddAttachedMessage(std::string_view bytes, const std::string& fileName);
    void AddRawAttachment(const std::string& name, const std::string& mimeType, std::string data);
    Attachment& NewAttachment();
    std::string DecodeText(GMimeObject* obj, const char* what, bool html = false);
    std::string DecodeText(std::string_view raw, GMimeContentEncoding enc, std::string charset, const char* what, bool html);
    void Warn(std::string w) { warnings_.push_back(std::move(w)); }
    void WarnNulBody();
    void FillSimpleBody(const SimpleText& t);
    std::string PlainBody(std::string text);
    void FillBodiesAndAttachments();
    void AddOrphanTexts();
    void LetGoPastKept();

    Message& out_;
    int depth_;
    size_t recipientRows_;  // of this message and each attached one
    size_t attachmentsKept_;  // the same
    BytesAtHand atHand_;
    std::vector<std::string>& warnings_;
    GMimeObject* root_ = nullptr;  // the message's top-level entity
    ParsedBytes parsed_;           // the bytes GMime parsed into it
    std::vector<std::string> boundaries_;  // of the multiparts being walked
    std::vector<Leaf> leaves_;
    std::vector<std::pair<std::string, std::string>> orphanTexts_;  // {mime type, content}
    size_t order_ = 0;
    int unnamed_ = 0;
    WalkNotes notes_ = WalkNotes::Now;
    std::vector<std::string> walkWarnings_;  // (WalkNotes::Later)
    // Windows: where each one's walk starts counting, and the bodies chosen.
    std::vector<size_t> windowOrders_;
    Chosen plain_, html_;
    bool tnef_ = false;  // a window holds a TNEF part (which changes the message when read)
    // The windows' attachments, when the writer is given them as it reads them
    // (WindowAttachments): the import makes each, for its warnings and NULs, then lets
    // it go; the writer's reading makes each again and hands it on (`handOn_`).
    bool stream_ = false;
    size_t madeFrom_ = 0;  // where they start among out_.attachments
    size_t made_ = 0;      // how many were let go (the next one's number comes after theirs)
    std::vector<std::string> madeNuls_;
    const std::function<void(Attachment&)>* handOn_ = nullptr;
};

// The attachments of a message's windows, made again as the writer reads them: each
// window parsed again, its leaves walked, each attachment made as the import made it
// (the bodies and the names given before are known), completed, and handed on.
class WindowAttachments final : public AttachmentRows {
public:
    WindowAttachments(const Importer& import, const PartWindows& windows, std::string htmlText, int unnamed,
                      size_t first)
        : windows_(windows), windowOrders_(import.windowOrders_), plain_(import.plain_), html_(import.html_),
          htmlText_(std::move(htmlText)), unnamed_(unnamed), first_(first), count_(import.made_),
          recipientRows_(import.recipientRows_) {}
    size_t Count() const override { return count_; }
    void ForEach(const std::function<void(Attachment&)>& each) const override {
        Message scratch;
        std::vector<std::string> warnings;  // (the import's have been given)
        ParseIssues none;
        ParseIssuesScope scope(&none);
        Importer again(scratch, 0, warnings, recipientRows_, SIZE_MAX, BytesAtHand::None);
        again.windowOrders_ = windowOrders_;
        again.plain_ = plain_;
        again.html_ = html_;
        again.unnamed_ = unnamed_;
        again.notes_ = Importer::WalkNotes::None;
        again.stream_ = true;
        again.made_ = first_;
        again.handOn_ = &each;
        again.AddWindowAttachments(windows_, htmlText_);
        if (again.made_ - first_ != count_)
            throw MailStoreError("the message's " + std::to_string(count_) +
                                 " attachments came out otherwise when read again");
    }

private:
    const PartWindows windows_;
    const std::vector<size_t> windowOrders_;
    const Importer::Chosen plain_, html_;
    const std::string htmlText_;
    const int unnamed_;
    const size_t first_, count_, recipientRows_;
};

Attachment& Importer::NewAttachment() {
    out_.attachments.emplace_back();
    Attachment& a = out_.attachments.back();
    a.props.SetInt(PR_ATTACH_NUM, int32_t(out_.attachments.size() - 1 + made_));
    a.props.SetInt(PR_RENDERING_POSITION, -1);
    return a;
}

void Importer::AddRawAttachment(const std::string& name, const std::string& mimeType, std::string data) {
    Attachment& a = NewAttachment();
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    SetAttachNames(a.props, name);
    a.props.SetString(PR_ATTACH_MIME_TAG, mimeType);
    a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(data.size(), 0x7FFFFFFF)));
    a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(data.begin(), data.end()));
}

std::string Importer::DecodeText(GMimeObject* obj, const char* what, bool html) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(GMIME_PART(obj));
    GMimeContentEncoding enc = wrapper ? g_mime_data_wrapper_get_encoding(wrapper) : GMIME_CONTENT_ENCODING_DEFAULT;
    const char* param = g_mime_object_get_content_type_parameter(obj, "charset");
    return DecodeText(RawContent(GMIME_PART(obj), parsed_), enc, param ? param : std::string(), what, html);
}

std::string Importer::DecodeText(std::string_view raw, GMimeContentEncoding enc, std::string cs, const char* what,
                                 bool html) {
    // Text sent as it is needs no copy before its charset is read.
    Binary bytes;
    std::string_view view = raw;
    if (IsTransferEncoded(enc)) {
        std::string problem;
        if (!DecodeContent(raw, enc, bytes, problem)) Warn(std::string(what) + ": " + problem);
        view = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // HTML without a MIME charset: the document's own <meta> declaration decides
    if (cs.empty() && html) cs = HtmlMetaCharset(view);
    bool unknown = false, invalid = false;
    std::string text = ToUtf8(view, cs, &unknown, &invalid);
    if (unknown) Warn(std::string(what) + ": unknown charset \"" + cs + "\", read as UTF-8/windows-1252");
    else if (invalid) Warn(std::string(what) + ": bytes not valid in charset \"" + cs + "\" replaced");
    return text;
}

void Importer::Walk(GMimeObject* obj, GMimeObject* alternative, int nest) {
    if (!obj) return;
    if (nest > kMaxMultipartDepth) {
        if (notes_ == WalkNotes::Now) Warn("MIME structure nested too deeply; inner parts skipped");
        if (notes_ == WalkNotes::Later) walkWarnings_.push_back("MIME structure nested too deeply; inner parts skipped");
        return;
    }
    if (GMIME_IS_MULTIPART(obj)) {
        GMimeMultipart* mp = GMIME_MULTIPART(obj);
        std::string type = MimeTypeOf(obj);
        GMimeObject* alt = type == "multipart/alternative" ? obj : alternative;
        int n = g_mime_multipart_get_count(mp);
        if (n == 0) {
            // No parts (a missing or unmatched boundary): keep the content as a file;
            // but when the boundary was found and its parts were empty, the text is
            // only the preamble mail programs write for readers without MIME.
            const char* prologue = g_mime_multipart_get_prologue(mp);
            const ParseIssues* issues = CurrentParseIssues();
            if ((issues && issues->emptyParts()) || notes_ == WalkNotes::None) return;
            if (prologue && *prologue && std::string_view(prologue).find_first_not_of(" \t\r\n") != std::string_view::npos)
                orphanTexts_.push_back({type, prologue});
            return;
        }
        const char* boundary = g_mime_multipart_get_boundary(mp);
        if (boundary && *boundary) boundaries_.push_back(boundary);
        for (int i = 0; i < n; ++i) Walk(g_mime_multipart_get_part(mp, i), alt, nest + 1);
        if (boundary && *boundary) boundaries_.pop_back();
        return;
    }
    Leaf leaf;
    leaf.obj = obj;
    leaf.alternative = alternative;
    leaf.order = order_++;
    if (GMIME_IS_MESSAGE_PART(obj)) leaf.boundaries.assign(boundaries_.rbegin(), boundaries_.rend());
    leaves_.push_back(std::move(leaf));
}

// An attached message GMime parsed is imported again from its own bytes, the way a
// transfer-encoded one is: one way for every attached message, whatever the
// parser made of it (a message without a header is text, one of only a header is
// that header). What the parser found wrong inside it is the attached message's.
void Importer::AddMessageAttachment(const Leaf& leaf) {
    const std::string fname = PartFileName(leaf.obj);
    if (auto span = AttachedMessageSpan(leaf.obj, parsed_, leaf.boundaries)) {
        if (ParseIssues* issues = CurrentParseIssues())
            issues->ForgetWithin(int64_t(parsed_.sourceAt + span->first), int64_t(parsed_.sourceAt + span->second));
        AddAttachedMessage(parsed_.source.substr(span->first, span->second - span->first), fname);
        return;
    }
    GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(leaf.obj));
    GFree text(inner ? g_mime_object_to_string(GMIME_OBJECT(inner), nullptr) : nullptr);
    AddAttachedMessage(text.p ? std::string_view(text.p) : std::string_view(), fname);
}

void Importer::AddAttachedMessage(std::string_view bytes, const std::string& fileName) {
    if (bytes.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        // An empty message/rfc822 part: keep it as an (empty) file.
        AddRawAttachment(fileName.empty() ? "message.eml" : SanitizeFileName(fileName), "message/rfc822", std::string(bytes));
        return;
    }
    if (depth_ + 1 > kMaxEmbeddedDepth) {
        Warn("attached message nested too deeply; kept as an .eml file");
        AddRawAttachment(fileName.empty() ? "message.eml" : SanitizeFileName(fileName), "message/rfc822", std::string(bytes));
        return;
    }
    // Quoted separator lines (">From ...") that mailboxes leave in front of an
    // attached message say nothing about it.
    while (IsQuotedSeparatorLine(bytes)) {
        const size_t eol = bytes.find('\n');
        bytes.remove_prefix(eol == std::string_view::npos ? bytes.size() : eol + 1);
    }
    // A last line without its line end (a closing boundary right before the parent's)
    // gets one: the parser would otherwise keep half a CR LF in the last part.
    std::string ended;
    if (!bytes.empty() && bytes.back() != '\n') {
        ended.reserve(bytes.size() + 2);
        ended.append(bytes).append(bytes.find("\r\n") != std::string_view::npos ? "\r\n" : "\n");
        bytes = ended;
    }
    Attachment& a = NewAttachment();
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
    a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
    a.embedded = std::make_unique<Message>();
    ImportMessageAt(bytes, *a.embedded, depth_ + 1, recipientRows_, attachmentsKept_);
    for (auto& w : a.embedded->warnings) Warn("attached message: " + w);
    a.embedded->warnings.clear();

    std::string name = SanitizeFileName(fileName);
    const std::string subject = a.embedded->props.GetString(PR_SUBJECT).value_or("");
    if (name.empty()) {
        name = SanitizeFileName(base::Utf8Prefix(subject, 200));
        if (name.empty()) name = "message";
        name += ".eml";
    }
    // The display name is what Outlook shows for an attached item: its subject.
    SetAttachNames(a.props, name);
    if (!subject.empty()) a.props.SetString(PR_DISPLAY_NAME, subject);
}

void Importer::AddPartAttachment(GMimePart* part, const std::string& html) {
    GMimeObject* obj = GMIME_OBJECT(part);
    std::string mimeType = MimeTypeOf(obj);
    Binary data;
    std::string problem;
    std::string name = SanitizeFileName(PartFileName(obj));
    if (name.empty() && IsUuencoded(part)) {
        UuFile file;
        DecodeUuencoded(RawContent(part, parsed_), file);  // the name its "begin" line gives
        name = SanitizeFileName(BytesToUtf8(file.name));
    }
    if (!DecodePartContent(part, data, problem, parsed_)) Warn("attachment " + (name.empty() ? mimeType : "\"" + name + "\"") + ": " + problem);
    if (IsTnefType(mimeType)) {
        // winmail.dat: what it holds replaces it; the stream itself only when unreadable.
        // Its body is the message's as Outlook shows it; the message's own text, when it
        // says something else, stays as a file beside it.
        const std::string ownText = out_.props.GetString(PR_BODY).value_or("");
        const Binary* htmlBytes = out_.props.GetBinary(PR_HTML);
        const std::string ownHtml = htmlBytes ? std::string(htmlBytes->begin(), htmlBytes->end()) : std::string();
        if (ImportTnef(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), out_)) {
            if (!SameWords(ownText, out_.props.GetString(PR_BODY).value_or(""))) {
                const bool isHtml = !ownHtml.empty();
                const std::string kept = isHtml ? "message-text.html" : "message-text.txt";
                Warn("the TNEF body (winmail.dat) says something other than the message's own text, which is kept "
                     "as attachment \"" + kept + "\"");
                AddRawAttachment(kept, isHtml ? "text/html" : "text/plain", isHtml ? ownHtml : ownText);
            }
            return;
        }
        Warn("attachment " + (name.empty() ? mimeType : "\"" + name + "\"") + ": the TNEF data cannot be decoded; kept as it is");
    }
    if (obj == root_ && IsEncryptedSmime(part, mimeType)) {
        // An encrypted message is stored as Outlook stores it: its class says so and
        // the encrypted blob is its attachment.
        out_.props.SetString(PR_MESSAGE_CLASS, "IPM.Note.SMIME");
        if (name.empty()) name = "smime.p7m";
    }
    if (mimeType == "message/rfc822" || mimeType == "message/global") {
        // A transfer-encoded attached message (base64, quoted-printable): its decoded bytes.
        AddAttachedMessage(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), name);
        return;
    }
    if (name.empty()) {
        ++unnamed_;
        name = "attachment-" + std::to_string(unnamed_) + ExtensionForMimeType(mimeType);
    }
    Attachment& a = NewAttachment();
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    SetAttachNames(a.props, name);
    a.props.SetString(PR_ATTACH_MIME_TAG, mimeType);
    std::string cid = StripAngles(BytesToUtf8(g_mime_object_get_content_id(obj)));
    std::string location = BytesToUtf8(g_mime_part_get_content_location(part));
    if (!cid.empty()) a.props.SetString(PR_ATTACH_CONTENT_ID, cid);
    if (!location.empty()) a.props.SetString(PR_ATTACH_CONTENT_LOCATION, location);
    a.props.SetInt(PR_ATTACH_SIZE, int32_t(std::min<size_t>(data.size(), 0x7FFFFFFF)));
    a.props.SetBinary(PR_ATTACH_DATA_BIN, std::move(data));

    // Inline images ([MS-OXCMAIL] 2.2.3.4.1.4.1): hidden from the attachment list only
    // when the HTML body shows them and the sender did not mark them as attachments.
    // A related part the HTML never refers to stays a visible attachment.
    if (!html.empty() && DispositionOf(obj) != "attachment") {
        const bool referenced = HtmlReferencesContentId(html, cid) ||
                                (!location.empty() && html.find(location) != std::string::npos);
        if (referenced) {
            a.props.SetInt(PR_ATTACH_FLAGS, ATT_MHTML_REF);  // rendered in the body
            a.props.SetBool(PR_ATTACHMENT_HIDDEN, true);
        }
    }
}

void Importer::Fill(const HeaderFields& fields, Body body, std::string_view header, const Envelope& envelope,
                    const std::vector<uint8_t>& searchKey) {
    PropertyBag& p = out_.props;
    // (The windows are walked first, for the charset.)
    std::optional<std::string> charset;
    std::unique_ptr<MimeEntity> whole;
    if (body.windows && !(charset = ScanWindows(*body.windows))) {
        // A window that does not read as its part of the whole: all is read whole.
        ParseIssues none;
        whole = body.windows->Whole(CurrentParseIssues() ? *CurrentParseIssues() : none);
        body = Body{whole->object(), nullptr, whole->source(), whole->sourceAt()};
        Restart();
    }
    if (!charset) charset = DeclaredCharset(body);
    MapHeaderFields(fields, header, *charset, envelope, out_, recipientRows_, atHand_);

    // Bodies and attachments
    if (body.text) {
        FillSimpleBody(*body.text);
    } else if (body.windows) {
        // The writer that keeps the message's bytes until it is written reads the
        // windows' attachments as they are made again, unless one changes the message.
        stream_ = depth_ == 0 && atHand_ == BytesAtHand::UntilWritten && attachmentsKept_ == SIZE_MAX && !tnef_;
        for (std::string& w : walkWarnings_) Warn(std::move(w));
        walkWarnings_.clear();
        FillWindows(*body.windows);
    } else {
        root_ = body.mime;
        parsed_ = ParsedBytes{body.source, body.sourceAt};
        Walk(body.mime, nullptr, 0);
        FillBodiesAndAttachments();
    }
    LetGoPastKept();

    // Flags and keys: mail that came in, as it came (the class, the has-attachments
    // flag and the status are mapi::CompleteMessage's).
    p.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_UNMODIFIED);
    if (!searchKey.empty()) p.SetBinary(PR_SEARCH_KEY, searchKey);
}

void Importer::FillSimpleBody(const SimpleText& t) {
    PropertyBag& p = out_.props;
    if (t.html) {
        std::string htmlText = DecodeText(t.raw, t.encoding, t.charset, "HTML body", true);
        std::string htmlUtf8 = DeclareHtmlUtf8(htmlText);
        p.SetBinary(PR_HTML, Binary(htmlUtf8.begin(), htmlUtf8.end()));
        p.SetString(PR_BODY, ToCrLf(HtmlToText(htmlText)));
    } else {
        std::string text = DecodeText(t.raw, t.encoding, t.charset, "text body", false);
        if (text.find('\0') != std::string::npos) {
            Binary data;
            std::string problem;
            DecodeContent(t.raw, t.encoding, data, problem);
            std::string name = SanitizeFileName(BaseName(BytesToUtf8(t.name.c_str())));
            if (name.empty()) name = "attachment-" + std::to_string(++unnamed_) + ".txt";
            AddRawAttachment(name, "text/plain", std::string(data.begin(), data.end()));
            text = TextWithoutNul(std::move(text));
            WarnNulBody();
        }
        p.SetString(PR_BODY, ToCrLf(PlainBody(std::move(text))));
    }
    p.SetInt(PR_NATIVE_BODY, t.html ? NATIVE_BODY_HTML : NATIVE_BODY_PLAIN);
    p.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
    p.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
}

// Says that the text body had NUL characters taken out, and where the text is whole:
// the file attached last.
void Importer::WarnNulBody() {
    const std::string name = out_.attachments.back().props.GetString(PR_ATTACH_LONG_FILENAME).value_or("");
    Warn("the text body holds NUL characters, which a text property cannot hold; it is shown without them and "
         "kept whole as attachment \"" + name + "\"");
}

// A plain text body without the uuencoded files in it, which become attachments.
std::string Importer::PlainBody(std::string text) {
    for (UuFile& file : TakeUuencodedBlocks(text)) {
        std::string name = SanitizeFileName(BytesToUtf8(file.name));
        if (name.empty()) name = "attachment-" + std::to_string(++unnamed_) + ".bin";
        AddRawAttachment(name, "application/octet-stream", std::move(file.bytes));
    }
    return text;
}

// Takes `leaf` (of window `window`, whose top is `root`) as the plain or the HTML
// body when it may be one and none is chosen yet.
void Importer::Choose(const Leaf& leaf, size_t window, GMimeObject* root, Chosen& plain, Chosen& html) const {
    if (!GMIME_IS_PART(leaf.obj) || GMIME_IS_MESSAGE_PART(leaf.obj)) return;
    std::string type = MimeTypeOf(leaf.obj);
    if (type != "text/plain" && type != "text/html") return;
    std::string disposition = DispositionOf(leaf.obj);
    if (disposition == "attachment" || IsUuencoded(GMIME_PART(leaf.obj))) return;
    // An inline text part with a file name after the body is an attachment.
    const char* fname = g_mime_part_get_filename(GMIME_PART(leaf.obj));
    if (fname && *fname && disposition == "inline" && (plain || html)) return;
    Chosen& chosen = type == "text/plain" ? plain : html;
    if (chosen) return;
    chosen.order = leaf.order;
    chosen.window = window;
    if (!leaf.alternative) chosen.alternative = {SIZE_MAX, nullptr};
    else if (leaf.alternative == root) chosen.alternative = {SIZE_MAX - 1, nullptr};
    else chosen.alternative = {window, leaf.alternative};
}

// A text/plain part that follows the HTML body outside its alternative (a list
// footer, say) is not the plain version of the body.
void Importer::KeepPlainBody(Chosen& plain, const Chosen& html) {
    if (plain && html && plain.order > html.order && plain.alternative != html.alternative) plain = Chosen{};
}

// Sets the bodies from the parts chosen (either may be null); returns the HTML text.
std::string Importer::FillBodies(GMimeObject* plain, const ParsedBytes& plainBytes, GMimeObject* html,
                                 const ParsedBytes& htmlBytes) {
    PropertyBag& p = out_.props;
    std::string htmlText;
    if (html) {
        parsed_ = htmlBytes;
        htmlText = DecodeText(html, "HTML body", true);
        // The bytes are UTF-8 now: the document must not claim another charset.
        std::string htmlUtf8 = DeclareHtmlUtf8(htmlText);
        p.SetBinary(PR_HTML, Binary(htmlUtf8.begin(), htmlUtf8.end()));
    }
    if (plain) {
        parsed_ = plainBytes;
        std::string text = DecodeText(plain, "text body");
        if (text.find('\0') != std::string::npos) {
            AddPartAttachment(GMIME_PART(plain), std::string());
            text = TextWithoutNul(std::move(text));
            WarnNulBody();
        }
        p.SetString(PR_BODY, ToCrLf(PlainBody(std::move(text))));
    } else if (html) {
        p.SetString(PR_BODY, ToCrLf(HtmlToText(htmlText)));
    }
    p.SetInt(PR_NATIVE_BODY, html ? NATIVE_BODY_HTML : NATIVE_BODY_PLAIN);
    p.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
    p.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
    return htmlText;
}

// The leaves walked, but the bodies, as attachments.
void Importer::AddLeafAttachments(const Chosen& plain, const Chosen& html, const std::string& htmlText) {
    for (const Leaf& leaf : leaves_) {
        if (leaf.order == plain.order || leaf.order == html.order) continue;
        if (GMIME_IS_MESSAGE_PART(leaf.obj)) {
            AddMessageAttachment(leaf);
        } else if (GMIME_IS_PART(leaf.obj)) {
            AddPartAttachment(GMIME_PART(leaf.obj), htmlText);
        }
        LetGoPastKept();
        if (stream_) LetGoMade();
    }
}

// Lets the attachments made go, their NULs taken out (and noted); when the writer
// reads them, hands each on, completed.
void Importer::LetGoMade() {
    for (size_t i = madeFrom_; i < out_.attachments.size(); ++i) {
        Attachment& a = out_.attachments[i];
        TakeOutNuls(a, madeNuls_);
        if (handOn_) {
            CompleteAttachment(a, int32_t(made_));
            (*handOn_)(a);
        }
        ++made_;
    }
    out_.attachments.resize(madeFrom_);
}

// Lets the attachments past those kept go, counted.
void Importer::LetGoPastKept() {
    while (out_.attachments.size() > attachmentsKept_) {
        out_.attachments.pop_back();
        ++out_.attachmentsLeftOut;
    }
}

void Importer::FillBodiesAndAttachments() {
    Chosen plain, html;
    for (const Leaf& leaf : leaves_) Choose(leaf, 0, root_, plain, html);
    KeepPlainBody(plain, html);
    auto object = [&](const Chosen& c) { return c ? leaves_[c.order].obj : nullptr; };
    const ParsedBytes parsed = parsed_;
    const std::string htmlText = FillBodies(object(plain), parsed, object(html), parsed);
    parsed_ = parsed;
    AddLeafAttachments(plain, html, htmlText);
    AddOrphanTexts();
}

void Importer::AddOrphanTexts() {
    for (auto& [type, content] : orphanTexts_) {
        ++unnamed_;
        AddRawAttachment("attachment-" + std::to_string(unnamed_) + ".txt", type, content);
    }
}

// The windows walked one after the other, each parsed only while it is read: the
// bodies chosen, the charset the text declares (returned); the walk's warnings and
// orphan texts kept for later. Nothing when a window does not read as its part of
// the whole.
std::optional<std::string> Importer::ScanWindows(const PartWindows& windows) {
    std::string charset;
    notes_ = WalkNotes::Later;
    for (size_t i = 0; i < windows.size(); ++i) {
        bool alike = false;
        const std::unique_ptr<MimeEntity> window = windows.Parse(i, &alike);
        if (!alike) return std::nullopt;
        windowOrders_.push_back(order_);
        if (charset.empty()) charset = FirstTextCharset(window->object());
        leaves_.clear();
        Walk(window->object(), nullptr, 0);
        for (const Leaf& leaf : leaves_) {
            Choose(leaf, i, window->object(), plain_, html_);
            if (GMIME_IS_PART(leaf.obj) && !GMIME_IS_MESSAGE_PART(leaf.obj) && IsTnefType(MimeTypeOf(leaf.obj)))
                tnef_ = true;
        }
        leaves_.clear();
    }
    notes_ = WalkNotes::None;
    KeepPlainBody(plain_, html_);
    return charset;
}

// Forgets what a walk of windows found.
void Importer::Restart() {
    leaves_.clear();
    orphanTexts_.clear();
    walkWarnings_.clear();
    windowOrders_.clear();
    order_ = 0;
    notes_ = WalkNotes::Now;
    plain_ = html_ = Chosen{};
}

// The leaf of window `window` (parsed again, its top `root`) at `order` in the walk.
GMimeObject* Importer::WindowLeaf(GMimeObject* root, size_t window, size_t order) {
    order_ = windowOrders_[window];
    leaves_.clear();
    Walk(root, nullptr, 0);
    GMimeObject* found = nullptr;
    for (const Leaf& leaf : leaves_)
        if (leaf.order == order) found = leaf.obj;
    leaves_.clear();
    return found;
}

void Importer::FillWindows(const PartWindows& windows) {
    // The bodies first (the attachments look for what the HTML shows), from the one or
    // two windows that hold them.
    std::string htmlText;
    {
        std::unique_ptr<MimeEntity> htmlWindow, plainWindow;
        GMimeObject *html = nullptr, *plain = nullptr;
        ParsedBytes htmlBytes, plainBytes;
        if (html_) {
            htmlWindow = windows.Parse(html_.window);
            html = WindowLeaf(htmlWindow->object(), html_.window, html_.order);
            htmlBytes = ParsedBytes{htmlWindow->source(), htmlWindow->sourceAt()};
        }
        if (plain_) {
            const MimeEntity* holder = htmlWindow.get();
            if (!holder || html_.window != plain_.window) holder = (plainWindow = windows.Parse(plain_.window)).get();
            plain = WindowLeaf(holder->object(), plain_.window, plain_.order);
            plainBytes = ParsedBytes{holder->source(), holder->sourceAt()};
        }
        htmlText = FillBodies(plain, plainBytes, html, htmlBytes);
    }
    madeFrom_ = out_.attachments.size();
    const int unnamed = unnamed_;
    AddWindowAttachments(windows, htmlText);
    if (stream_ && made_ > 0) {
        out_.moreAttachments = std::make_shared<WindowAttachments>(*this, windows, std::move(htmlText), unnamed, madeFrom_);
        out_.moreAttachmentsAt = madeFrom_;
    }
    AddOrphanTexts();
}

// The attachments of every window but the bodies, one window parsed at a time.
void Importer::AddWindowAttachments(const PartWindows& windows, const std::string& htmlText) {
    for (size_t i = 0; i < windows.size(); ++i) {
        const std::unique_ptr<MimeEntity> window = windows.Parse(i);
        root_ = window->object();
        parsed_ = ParsedBytes{window->source(), window->sourceAt()};
        order_ = windowOrders_[i];
        leaves_.clear();
        Walk(root_, nullptr, 0);
        AddLeafAttachments(plain_, html_, htmlText);
        leaves_.clear();
    }
    root_ = nullptr;
    parsed_ = ParsedBytes{};
}

}  // namespace

HeaderFields FieldsOf(GMimeObject* obj) {
    HeaderFields out;
    GMimeHeaderList* list = g_mime_object_get_header_list(obj);
    if (!list) return out;
    int n = g_mime_header_list_get_count(list);
    out.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        GMimeHeader* h = g_mime_header_list_get_header_at(list, i);
        const char* name = g_mime_header_get_name(h);
        const char* raw = g_mime_header_get_raw_value(h);
        if (name) out.push_back({name, raw ? std::string_view(raw) : std::string_view()});
    }
    return out;
}

std::optional<SimpleText> SimpleTextBody(const HeaderFields& fields, std::string_view body) {
    const HeaderField* type = nullptr;
    const HeaderField* encoding = nullptr;
    for (const HeaderField& f : fields) {
        if (f.name.size() < 8 || !base::EqualsNoCase(f.name.substr(0, 8), "Content-")) continue;
        if (base::EqualsNoCase(f.name, "Content-Type")) {
            if (type) return std::nullopt;
            type = &f;
        } else if (base::EqualsNoCase(f.name, "Content-Transfer-Encoding")) {
            if (encoding) return std::nullopt;
            encoding = &f;
        } else if (base::EqualsNoCase(f.name, "Content-Disposition")) {
            return std::nullopt;
        }
    }
    SimpleText t;
    t.raw = body;
    if (type) {
        std::string value = UnfoldHeader(type->raw);
        std::string main = value.substr(0, value.find(';'));
        if (main.find('/') == std::string::npos) return std::nullopt;
        GObjectRef<GMimeContentType> ct(g_mime_content_type_parse(ParserOptions(), value.c_str()));
        if (!ct.p) return std::nullopt;
        GFree mime(g_mime_content_type_get_mime_type(ct.p));
        std::string lower = base::AsciiLowered(mime.str());
        if (const char* cs = g_mime_content_type_get_parameter(ct.p, "charset")) t.charset = cs;
        if (const char* name = g_mime_content_type_get_parameter(ct.p, "name")) t.name = name;
        if (lower == "text/html") t.html = true;
        else if (lower != "text/plain") return std::nullopt;
    }
    if (encoding) {
        std::string value = UnfoldHeader(encoding->raw);
        t.encoding = g_mime_content_encoding_from_string(value.c_str());
    }
    return t;
}

void FillMessage(Message& out, int depth, std::vector<std::string>& warnings, const HeaderFields& fields, Body body,
                 std::string_view header, const Envelope& envelope, const std::vector<uint8_t>& searchKey,
                 size_t recipientRows, size_t attachmentsKept, BytesAtHand atHand, std::vector<std::string>* nulsOfMade) {
    Importer importer(out, depth, warnings, recipientRows, attachmentsKept, atHand);
    importer.Fill(fields, body, header, envelope, searchKey);
    if (nulsOfMade) *nulsOfMade = importer.NulsOfMade();
}

}  // namespace bv::mailstore::mime

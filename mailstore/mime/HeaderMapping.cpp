#include "mailstore/mime/HeaderMapping.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <tuple>
#include <vector>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/mapi/SubjectPrefix.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/EncodedWords.h"
#include "mailstore/mime/GMimeSupport.h"

namespace bv::mailstore::mime {

using namespace bv::mailstore::mapi;

namespace {

bool IsAtext(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::strchr("!#$%&'*+-/=?^_`{|}~", c) != nullptr;
}

bool IsSimpleAddrSpec(std::string_view a) {
    size_t at = a.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 >= a.size() || a.find('@', at + 1) != std::string_view::npos)
        return false;
    std::string_view local = a.substr(0, at), domain = a.substr(at + 1);
    if (local.front() == '.' || local.back() == '.' || local.find("..") != std::string_view::npos) return false;
    for (char c : local)
        if (!IsAtext(c) && c != '.') return false;
    if (domain.front() == '.' || domain.back() == '.' || domain.front() == '-') return false;
    for (char c : domain)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-'))
            return false;
    return true;
}

}  // namespace

namespace {

// A plain mailbox (ParseSimpleMailbox): its name and address where they lie in `v`.
bool SimpleMailbox(std::string_view v, std::string_view& name, std::string_view& address) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!v.empty() && blank(v.front())) v.remove_prefix(1);
    while (!v.empty() && blank(v.back())) v.remove_suffix(1);
    if (v.empty()) return false;
    size_t lt = v.find('<');
    if (lt == std::string_view::npos) {
        if (!IsSimpleAddrSpec(v)) return false;
        name = {};
        address = v;
        return true;
    }
    if (v.back() != '>' || v.find('<', lt + 1) != std::string_view::npos || v.find('>') != v.size() - 1) return false;
    std::string_view addr = v.substr(lt + 1, v.size() - lt - 2);
    std::string_view display = v.substr(0, lt);
    while (!display.empty() && display.back() == ' ') display.remove_suffix(1);
    if (!IsSimpleAddrSpec(addr)) return false;
    if (display.find("=?") != std::string_view::npos) return false;
    for (size_t i = 0; i < display.size(); ++i) {
        char c = display[i];
        if (c == ' ') {
            if (i == 0 || display[i - 1] == ' ') return false;
        } else if (!IsAtext(c)) {
            return false;
        }
    }
    name = display;
    address = addr;
    return true;
}

// Hands each mailbox of a list of plain mailboxes (ParseSimpleMailboxList) to
// `add(name, address)`, views into `value`, until one is not plain: false then.
template <class Add>
bool ForEachSimpleMailbox(std::string_view value, Add&& add) {
    // (No quotes, comments or angle brackets around a comma in a list of plain mailboxes.)
    for (size_t start = 0;;) {
        const size_t comma = value.find(',', start);
        std::string_view name, address;
        if (!SimpleMailbox(value.substr(start, comma - start), name, address)) return false;
        add(name, address);
        if (comma == std::string_view::npos) return true;
        start = comma + 1;
    }
}

}  // namespace

bool ParseSimpleMailbox(std::string_view v, std::string& name, std::string& address) {
    std::string_view n, a;
    if (!SimpleMailbox(v, n, a)) return false;
    name.assign(n);
    address.assign(a);
    return true;
}

bool ParseSimpleMailboxList(std::string_view value, std::vector<Mailbox>& out) {
    const size_t before = out.size();
    if (ForEachSimpleMailbox(value, [&out](std::string_view name, std::string_view address) {
            out.push_back(Mailbox{std::string(name), std::string(address)});
        }))
        return true;
    out.resize(before);
    return false;
}

namespace {

// Header text with its raw 8-bit bytes read in the declared charset (HeaderBytesToUtf8),
// but for those inside encoded words, which belong to the word's own charset: left for
// the word's decoding (`keepWords`), else read as UTF-8 or windows-1252, so that what
// a parser takes for no word is valid text too.
std::string RawTextInCharset(std::string_view raw, const std::string& charset, bool keepWords) {
    if (base::ValidUtf8Prefix(raw) == raw.size()) return std::string(raw);
    std::string out;
    size_t pos = 0;
    for (size_t at = raw.find("=?"); at != std::string_view::npos; at = raw.find("=?", at + 2)) {
        const size_t end = EncodedWordEnd(raw, at);
        if (end == 0) continue;
        out += HeaderBytesToUtf8(raw.substr(pos, at - pos), charset);
        if (keepWords) out.append(raw.substr(at, end - at));
        else out += BytesToUtf8(raw.substr(at, end - at));
        pos = end;
        at = end - 2;
    }
    out += HeaderBytesToUtf8(raw.substr(pos), charset);
    return out;
}

// A mailbox's name as a mail reader keeps it: quotes some mailers leave around names go.
std::string_view KeptName(std::string_view name) {
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') return name.substr(1, name.size() - 2);
    return name;
}
void KeptName(Mailbox& m) {
    if (const std::string_view kept = KeptName(m.name); kept.size() != m.name.size()) m.name = std::string(kept);
}
void AddMailbox(Mailbox m, std::vector<Mailbox>& out) {
    KeptName(m);
    if (m.name.empty() && m.address.empty()) return;
    out.push_back(std::move(m));
}

void CollectMailboxes(InternetAddressList* list, std::vector<Mailbox>& out, int depth = 0) {
    if (!list || depth > 8) return;
    int n = internet_address_list_length(list);
    for (int i = 0; i < n; ++i) {
        InternetAddress* ia = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(ia)) {
            CollectMailboxes(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(ia)), out, depth + 1);
        } else if (INTERNET_ADDRESS_IS_MAILBOX(ia)) {
            Mailbox m;
            m.name = BytesToUtf8(internet_address_get_name(ia));
            m.address = BytesToUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(ia)));
            AddMailbox(std::move(m), out);
        }
    }
}

// The items of an address list: split at commas outside quotes, comments and angle
// brackets, folding turned into blanks.
std::vector<std::string> AddressItems(const std::string& raw) {
    std::vector<std::string> items(1);
    bool quoted = false;
    int angle = 0, comment = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\\' && (quoted || comment) && i + 1 < raw.size()) {
            items.back() += c;
            items.back() += raw[++i];
            continue;
        }
        if (c == '"' && !comment) quoted = !quoted;
        else if (!quoted && c == '(') ++comment;
        else if (!quoted && c == ')' && comment > 0) --comment;
        else if (!quoted && !comment && c == '<') ++angle;
        else if (!quoted && !comment && c == '>' && angle > 0) --angle;
        if (c == ',' && !quoted && !comment && angle == 0) items.emplace_back();
        else if (c == '\r' || c == '\n' || c == '\t') items.back() += ' ';
        else items.back() += c;
    }
    return items;
}

// Where the item's word "local@domain" has its "@" (something on both sides of it;
// a route such as "@host:addr" is none); npos when it has none.
size_t AddressAt(const std::string& item) {
    for (size_t at = item.find('@'); at != std::string::npos; at = item.find('@', at + 1)) {
        const bool before = at > 0 && item[at - 1] != ' ' && item[at - 1] != '<' && item[at - 1] != ',';
        const bool after = at + 1 < item.size() && item[at + 1] != ' ' && item[at + 1] != '>';
        if (before && after) return at;
    }
    return std::string::npos;
}

// An address list the parser refuses or reads short, read as mail readers read it:
// in each item the address is what stands in angle brackets, or else the word with
// the "@"; the rest is the name.
void LooseMailboxes(const std::vector<std::string>& items, std::vector<Mailbox>& out) {
    auto trim = [](std::string s) {
        const char* blanks = " \t\"'";
        size_t b = s.find_first_not_of(blanks), e = s.find_last_not_of(blanks);
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    };
    for (const std::string& item : items) {
        Mailbox m;
        size_t lt = item.find('<'), gt = item.rfind('>');
        if (lt != std::string::npos && gt != std::string::npos && gt > lt) {
            m.address = trim(item.substr(lt + 1, gt - lt - 1));
            m.name = trim(item.substr(0, lt) + " " + item.substr(gt + 1));
        } else {
            const size_t at = AddressAt(item);
            if (at == std::string::npos) continue;
            size_t b = item.find_last_of(" ", at), e = item.find(' ', at);
            b = b == std::string::npos ? 0 : b + 1;
            if (e == std::string::npos) e = item.size();
            m.address = item.substr(b, e - b);
            m.name = trim(item.substr(0, b) + " " + item.substr(e));
        }
        if (m.name.size() >= 2 && m.name.front() == '(' && m.name.back() == ')') m.name = trim(m.name.substr(1, m.name.size() - 2));
        m.name = DecodeEncodedWords(m.name);
        AddMailbox(std::move(m), out);
    }
}

// The mailboxes of an address field that is not a list of plain mailboxes, appended
// to `out`.
void ParsedMailboxes(const HeaderField& f, const std::string& charset, GMimeParserOptions* options,
                     std::vector<Mailbox>& out) {
    // Header bytes read as the rest of the header is read (UTF-8, else the declared
    // charset, else windows-1252), runs of encoded words joined into one word the
    // parser reads whole.
    std::string raw = RawTextInCharset(f.raw, charset, false);
    if (HasAdjacentEncodedWords(raw)) raw = JoinAdjacentEncodedWords(raw);
    GObjectRef<InternetAddressList> list(internet_address_list_parse(options, raw.c_str()));
    const size_t before = out.size();
    if (list.p) CollectMailboxes(list.p, out);
    // The parser may refuse the list or skip items it cannot read (an address
    // without angle brackets after a name, 8-bit bytes): then every item that
    // holds an address is read the loose way.
    size_t read = 0;
    for (size_t i = before; i < out.size(); ++i) read += out[i].address.find('@') != std::string::npos;
    if (raw.find('@') != std::string::npos) {
        std::vector<std::string> items = AddressItems(raw);
        size_t withAt = 0;
        for (const std::string& item : items) withAt += AddressAt(item) != std::string::npos;
        if (read < withAt) {
            out.resize(before);
            LooseMailboxes(items, out);
        }
    }
}

// The mailboxes of every field of that name, in order (as a mail reader joins repeated
// To: fields).
std::vector<Mailbox> AddressesOf(const HeaderFields& fields, std::string_view name, const std::string& charset,
                                 GMimeParserOptions* options) {
    std::vector<Mailbox> out;
    for (const HeaderField& f : fields) {
        if (!base::EqualsNoCase(f.name, name)) continue;
        // Most fields hold plain mailboxes, which need no parser.
        const size_t plain = out.size();
        if (ParseSimpleMailboxList(f.raw, out)) {
            for (size_t i = plain; i < out.size(); ++i) KeptName(out[i]);
            continue;
        }
        ParsedMailboxes(f, charset, options, out);
    }
    return out;
}

// The recipients of one kind (To, Cc or Bcc) from every field of that name: their
// rows appended to `out`, the list of their names returned. A field may list hundreds
// of thousands: plain mailboxes go from the field straight into their rows, and the
// rows and the list are given their room once.
class RecipientFields {
public:
    RecipientFields(const HeaderFields& fields, std::string_view name, const std::string& charset,
                    GMimeParserOptions* options) {
        for (const HeaderField& f : fields) {
            if (!base::EqualsNoCase(f.name, name)) continue;
            const size_t count = count_, shownSize = shownSize_;
            if (ForEachSimpleMailbox(f.raw, [this](std::string_view n, std::string_view a) {
                    ++count_;
                    shownSize_ += Shown(KeptName(n), a).size() + 2;
                })) {
                read_.push_back({f.raw, {}});
                continue;
            }
            count_ = count;
            shownSize_ = shownSize;
            read_.push_back({{}, {}});
            ParsedMailboxes(f, charset, options, read_.back().parsed);
            count_ += read_.back().parsed.size();
            for (const Mailbox& m : read_.back().parsed) shownSize_ += Shown(m.name, m.address).size() + 2;
        }
    }
    size_t count() const { return count_; }
    // Whether every field is a list of plain mailboxes.
    bool plain() const {
        return std::all_of(read_.begin(), read_.end(), [](const Field& f) { return !f.plain.empty(); });
    }
    // The fields' text (views into the header), for plain ones.
    std::vector<std::string_view> plainFields() const {
        std::vector<std::string_view> fields;
        for (const Field& f : read_) fields.push_back(f.plain);
        return fields;
    }

    // Rows past `rows` in `out` are not made, only counted in `leftOut`; none are made
    // without `out`. With `view`, the rows of plain mailboxes view the field's text
    // (Recipient::Viewing).
    std::string AddTo(int32_t type, std::vector<Recipient>* out, size_t rows, size_t& leftOut, bool view) {
        std::string shown;
        shown.reserve(shownSize_);
        auto add = [&](std::string_view name, std::string_view address, bool inField) {
            if (!shown.empty()) shown += "; ";
            shown += Shown(name, address);
            // (Entry ID, search key, row id and the other defaults of a mail user:
            // mapi::CompletedRecipient.)
            if (!out) return;
            if (out->size() >= rows) ++leftOut;
            else if (inField && view) out->push_back(Recipient::Viewing(type, name, address));
            else out->emplace_back(type, name, address);
        };
        for (Field& f : read_) {
            if (!f.plain.empty())
                ForEachSimpleMailbox(f.plain, [&add](std::string_view n, std::string_view a) { add(KeptName(n), a, true); });
            for (const Mailbox& m : f.parsed) add(m.name, m.address, false);
            std::vector<Mailbox>().swap(f.parsed);
        }
        return shown;
    }

private:
    static std::string_view Shown(std::string_view name, std::string_view address) {
        return name.empty() ? address : name;
    }
    struct Field {
        std::string_view plain;       // a list of plain mailboxes, read where it lies
        std::vector<Mailbox> parsed;  // else what the parser read
    };
    std::vector<Field> read_;
    size_t count_ = 0, shownSize_ = 0;
};

// A message's rows made from its fields of plain mailboxes as they are read, each
// viewing the field's text (Recipient::Viewing), which the writer keeps at hand.
class PlainRecipientRows final : public RecipientRows {
public:
    void Add(int32_t type, std::vector<std::string_view> fields, size_t count) {
        for (std::string_view f : fields) fields_.push_back({type, f});
        count_ += count;
    }
    size_t Count() const override { return count_; }
    void ForEach(const std::function<void(const Recipient&)>& row) const override {
        for (const auto& [type, field] : fields_)
            ForEachSimpleMailbox(field, [&, type = type](std::string_view n, std::string_view a) {
                row(Recipient::Viewing(type, KeptName(n), a));
            });
    }

private:
    std::vector<std::pair<int32_t, std::string_view>> fields_;
    size_t count_ = 0;
};

// Past this many rows, a message whose writer keeps its bytes at hand has the rows of
// fields of plain mailboxes made as they are read, not held (a row takes 32 bytes).
constexpr size_t kRowsMadeAsRead = 256;

// The subject as a mail reader shows it: the last Subject field, unfolded, encoded
// words decoded, raw 8-bit text read in the declared charset.
std::string SubjectOf(const HeaderFields& fields, const std::string& charset) {
    const HeaderField* last = nullptr;
    for (const HeaderField& f : fields)
        if (base::EqualsNoCase(f.name, "Subject")) last = &f;
    if (!last) return std::string();
    return DecodeEncodedWords(RawTextInCharset(UnfoldHeader(last->raw), charset, true));
}

std::string DisplayNameOf(const Mailbox& m) { return m.name.empty() ? m.address : m.name; }

void SetAddressGroup(PropertyBag& p, const Mailbox& m, uint32_t nameTag, uint32_t addrTypeTag, uint32_t emailTag,
                     uint32_t entryIdTag, uint32_t searchKeyTag, uint32_t smtpTag) {
    p.SetString(nameTag, DisplayNameOf(m));
    p.SetString(addrTypeTag, "SMTP");
    p.SetString(emailTag, m.address);
    p.SetBinary(entryIdTag, mapi::OneOffEntryId(DisplayNameOf(m), m.address));
    p.SetBinary(searchKeyTag, mapi::SmtpSearchKey(m.address));
    if (!m.address.empty()) p.SetString(smtpTag, m.address);
}

}  // namespace

bool HeaderLeftToWriter(std::string_view header) {
    return header.size() >= mapi::kLongText && header.find('\0') == std::string_view::npos &&
           base::ValidUtf8Prefix(header) == header.size();
}

void TransportHeadersInPieces(std::string_view header, size_t piece, const std::function<void(std::string_view)>& out) {
    ToCrLfInPieces(header, piece, out);
}

void MapHeaderFields(const HeaderFields& fields, std::string_view header, const std::string& charset,
                     const Envelope& envelope, Message& out, size_t recipientRows, BytesAtHand atHand) {
    PropertyBag& p = out.props;
    GMimeParserOptions* options = ParserOptions();

    // Subject
    std::string subject = SubjectOf(fields, charset);
    for (auto& c : subject)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    if (HasHeader(fields, "Subject") || !subject.empty()) {
        auto [prefix, normalized] = SplitSubjectPrefix(subject);
        p.SetString(PR_SUBJECT, subject);
        p.SetString(PR_SUBJECT_PREFIX, prefix);
        p.SetString(PR_NORMALIZED_SUBJECT, normalized);
        p.SetString(PR_CONVERSATION_TOPIC, normalized);
    }

    // Originator
    std::vector<Mailbox> from = AddressesOf(fields, "From", charset, options);
    std::vector<Mailbox> sender = AddressesOf(fields, "Sender", charset, options);
    if (from.empty() && sender.empty() && !envelope.sender.empty()) from.push_back(Mailbox{std::string(), envelope.sender});
    if (sender.empty()) sender = from;
    if (from.empty()) from = sender;
    if (!from.empty())
        SetAddressGroup(p, from.front(), PR_SENT_REPRESENTING_NAME, PR_SENT_REPRESENTING_ADDRTYPE,
                        PR_SENT_REPRESENTING_EMAIL_ADDRESS, PR_SENT_REPRESENTING_ENTRYID, PR_SENT_REPRESENTING_SEARCH_KEY,
                        PR_SENT_REPRESENTING_SMTP_ADDRESS);
    if (!sender.empty())
        SetAddressGroup(p, sender.front(), PR_SENDER_NAME, PR_SENDER_ADDRTYPE, PR_SENDER_EMAIL_ADDRESS, PR_SENDER_ENTRYID,
                        PR_SENDER_SEARCH_KEY, PR_SENDER_SMTP_ADDRESS);

    // Recipients
    const std::tuple<const char*, int32_t, uint32_t> kinds[] = {
        {"To", MAPI_TO, PR_DISPLAY_TO}, {"Cc", MAPI_CC, PR_DISPLAY_CC}, {"Bcc", MAPI_BCC, PR_DISPLAY_BCC}};
    std::vector<RecipientFields> lists;
    lists.reserve(3);
    size_t count = out.recipients.size();
    for (const auto& kind : kinds) count += lists.emplace_back(fields, std::get<0>(kind), charset, options).count();
    const bool asRead = atHand == BytesAtHand::UntilWritten && count > kRowsMadeAsRead && recipientRows >= count &&
                        out.recipients.empty() && !out.moreRecipients &&
                        std::all_of(lists.begin(), lists.end(), [](const RecipientFields& f) { return f.plain(); });
    if (asRead) {
        auto rows = std::make_shared<PlainRecipientRows>();
        for (int k = 0; k < 3; ++k) rows->Add(std::get<1>(kinds[k]), lists[k].plainFields(), lists[k].count());
        out.moreRecipients = std::move(rows);
    } else {
        out.recipients.reserve(std::min(count, std::max(recipientRows, out.recipients.size())));
    }
    for (int k = 0; k < 3; ++k)
        p.SetString(std::get<2>(kinds[k]),
                    lists[k].AddTo(std::get<1>(kinds[k]), asRead ? nullptr : &out.recipients, recipientRows,
                                   out.recipientsLeftOut, atHand == BytesAtHand::UntilWritten));

    // Reply-To ([MS-OXCMAIL] 2.2.3.1.6): names, and the one-off entry IDs as a
    // FLATENTRYLIST.
    if (std::vector<Mailbox> replyTo = AddressesOf(fields, "Reply-To", charset, options); !replyTo.empty()) {
        std::string names;
        std::vector<std::vector<uint8_t>> ids;
        for (const Mailbox& mb : replyTo) {
            if (!names.empty()) names += "; ";
            names += DisplayNameOf(mb);
            ids.push_back(OneOffEntryId(DisplayNameOf(mb), mb.address));
        }
        p.SetString(PR_REPLY_RECIPIENT_NAMES, names);
        p.SetBinary(PR_REPLY_RECIPIENT_ENTRIES, FlatEntryList(ids));
    }

    // Times
    std::optional<int64_t> date = ReadDate(RawHeader(fields, "Date"));
    std::optional<int64_t> received;
    {
        std::string rec = RawHeader(fields, "Received");  // the first one is the topmost (last hop)
        size_t semi = rec.rfind(';');
        if (semi != std::string::npos) received = ReadDate(UnfoldHeader(rec.substr(semi + 1)));
    }
    std::optional<int64_t> submit = date ? date : envelope.date ? envelope.date : received;
    std::optional<int64_t> delivery = received ? received : submit;
    if (submit) p.SetTime(PR_CLIENT_SUBMIT_TIME, UnixToFileTime(*submit));
    if (delivery) {
        p.SetTime(PR_MESSAGE_DELIVERY_TIME, UnixToFileTime(*delivery));
        p.SetTime(PR_CREATION_TIME, UnixToFileTime(*delivery));
        p.SetTime(PR_LAST_MODIFICATION_TIME, UnixToFileTime(*delivery));
    }

    // Identification and threading
    if (auto v = RawHeader(fields, "Message-ID"); !v.empty()) p.SetString(PR_INTERNET_MESSAGE_ID, v);
    if (auto v = RawHeader(fields, "In-Reply-To"); !v.empty()) p.SetString(PR_IN_REPLY_TO_ID, v);
    if (auto v = RawHeader(fields, "References"); !v.empty()) p.SetString(PR_INTERNET_REFERENCES, v);
    // (A header of UTF-8, as most are, is copied once, not read into a copy first.)
    const bool kept = atHand == BytesAtHand::UntilWritten || (atHand == BytesAtHand::RowsLeftOut && out.recipientsLeftOut > 0);
    if (kept && HeaderLeftToWriter(header))
        p.SetString(PR_TRANSPORT_MESSAGE_HEADERS, std::string());
    else if (!header.empty())
        p.SetString(PR_TRANSPORT_MESSAGE_HEADERS, base::ValidUtf8Prefix(header) == header.size()
                                                      ? ToCrLf(header)
                                                      : ToCrLf(HeaderBytesToUtf8(header, charset)));

    // Importance, priority, sensitivity
    {
        std::string importance = base::AsciiLowered(RawHeader(fields, "Importance"));
        std::string xprio = RawHeader(fields, "X-Priority");
        std::string prio = base::AsciiLowered(RawHeader(fields, "Priority"));
        std::string msPrio = base::AsciiLowered(RawHeader(fields, "X-MSMail-Priority"));
        int xp = xprio.empty() ? 0 : std::atoi(xprio.c_str());
        // X-Priority: 1 and 2 are high, 3 normal, 4 and 5 low.
        const int32_t xImportance = xp <= 2 ? IMPORTANCE_HIGH : xp == 3 ? IMPORTANCE_NORMAL : IMPORTANCE_LOW;
        const int32_t xPriority = xp <= 2 ? PRIO_URGENT : xp == 3 ? PRIO_NORMAL : PRIO_NONURGENT;
        if (importance.rfind("high", 0) == 0) p.SetInt(PR_IMPORTANCE, IMPORTANCE_HIGH);
        else if (importance.rfind("low", 0) == 0) p.SetInt(PR_IMPORTANCE, IMPORTANCE_LOW);
        else if (importance.rfind("normal", 0) == 0) p.SetInt(PR_IMPORTANCE, IMPORTANCE_NORMAL);
        else if (xp >= 1 && xp <= 5) p.SetInt(PR_IMPORTANCE, xImportance);
        else if (msPrio.rfind("high", 0) == 0) p.SetInt(PR_IMPORTANCE, IMPORTANCE_HIGH);
        else if (msPrio.rfind("low", 0) == 0) p.SetInt(PR_IMPORTANCE, IMPORTANCE_LOW);
        if (prio.rfind("urgent", 0) == 0) p.SetInt(PR_PRIORITY, PRIO_URGENT);
        else if (prio.rfind("non-urgent", 0) == 0) p.SetInt(PR_PRIORITY, PRIO_NONURGENT);
        else if (prio.rfind("normal", 0) == 0) p.SetInt(PR_PRIORITY, PRIO_NORMAL);
        else if (xp >= 1 && xp <= 5) p.SetInt(PR_PRIORITY, xPriority);
        std::string sens = base::AsciiLowered(RawHeader(fields, "Sensitivity"));
        if (sens == "personal") p.SetInt(PR_SENSITIVITY, SENSITIVITY_PERSONAL);
        else if (sens == "private") p.SetInt(PR_SENSITIVITY, SENSITIVITY_PRIVATE);
        else if (sens == "company-confidential") p.SetInt(PR_SENSITIVITY, SENSITIVITY_COMPANY_CONFIDENTIAL);
        else if (sens == "normal") p.SetInt(PR_SENSITIVITY, SENSITIVITY_NONE);
    }
}

}  // namespace bv::mailstore::mime

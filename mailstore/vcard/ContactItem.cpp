#include "mailstore/vcard/ContactItem.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/mapi/ContactProps.h"
#include "mailstore/mapi/EntryIds.h"
#include "mailstore/vcard/CardIdentity.h"
#include "mailstore/vcard/ValueText.h"

namespace bv::mailstore::vcard {

namespace {
// Card text as the store takes it: bytes that are no UTF-8 (a damaged card, a
// parameter name in a legacy charset) become U+FFFD instead of reaching the writers.
std::string ValidText(const std::string& v) { return base::RepairUtf8(v); }
}  // namespace

namespace {

using namespace bv::mailstore::mapi;

const PropertyName kKeywords{PS_PUBLIC_STRINGS, std::string("Keywords")};

std::string Lower(std::string s) {
    for (char& c : s) c = base::AsciiToLower(c);
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// Joins the non-empty strings with `sep`.
std::string Join(const std::vector<std::string>& parts, const std::string& sep) {
    std::string out;
    for (const std::string& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += sep;
        out += p;
    }
    return out;
}

// The kinds a property is marked with: its TYPE values, a vCard 2.1 bare parameter,
// and the label its group carries (item1.X-ABLabel:_$!<Mobile>!$_ -> "mobile").
struct Kinds {
    std::vector<std::string> all;  // lower case
    bool Has(std::string_view k) const { return std::find(all.begin(), all.end(), k) != all.end(); }
    bool Preferred() const { return Has("pref"); }
};

Kinds KindsOf(const ContentLine& line, const std::string& label) {
    Kinds k;
    for (const Parameter& p : line.params) {
        if (p.name == "TYPE") {
            for (const std::string& v : p.values) {
                size_t b = 0;
                while (b <= v.size()) {
                    size_t e = v.find(',', b);
                    if (e == std::string::npos) e = v.size();
                    std::string one = Lower(Trim(v.substr(b, e - b)));
                    if (!one.empty()) k.all.push_back(one);
                    b = e + 1;
                }
            }
        } else if (p.name == "PREF") {
            k.all.push_back("pref");
        }
    }
    if (!label.empty()) {
        std::string l = Lower(label);
        if (l.rfind("_$!<", 0) == 0 && l.size() > 8) l = l.substr(4, l.size() - 8);
        k.all.push_back(l);
        if (l == "mobile" || l == "iphone") k.all.push_back("cell");
        if (l == "homepage") k.all.push_back("home");
    }
    return k;
}

// A date of BDAY or ANNIVERSARY: yyyymmdd, yyyy-mm-dd, either followed by a time.
// Dates without a year ("--0415") are not taken.
std::optional<std::array<int, 3>> ParseDate(std::string v) {
    v = Trim(v);
    std::string digits;
    for (char c : v) {
        if (c == 'T' || c == 't' || c == ' ') break;
        if (c >= '0' && c <= '9') digits += c;
        else if (c != '-' && c != '/' && c != '.') return std::nullopt;
    }
    if (digits.size() != 8 || v.rfind("--", 0) == 0) return std::nullopt;
    int y = std::stoi(digits.substr(0, 4)), m = std::stoi(digits.substr(4, 2)), d = std::stoi(digits.substr(6, 2));
    if (y < 1601 || m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
    return std::array<int, 3>{y, m, d};
}

int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

// A whole day as a FILETIME at `hour` UTC on that date.
int64_t DayTime(const std::array<int, 3>& date, int hour) {
    return UnixToFileTime(DaysFromCivil(date[0], date[1], date[2]) * 86400 + hour * 3600);
}

class ContactBuilder {
public:
    explicit ContactBuilder(const Card& card) : card_(card) {}
    Message Build();

private:
    // One content line into its field, or into the notes when it has none.
    void Line(const ContentLine& l, const std::string& label);
    std::string SetNames();  // returns the display name
    void SetEmails(const std::string& display);
    void SetAddresses();
    void Finish();
    void Email(const ContentLine& l, const Kinds& k);
    void Phone(const ContentLine& l, const Kinds& k);
    void Address(const ContentLine& l, const Kinds& k);
    void Photo(const ContentLine& l);
    // Binary values other than the photo (LOGO, KEY, SOUND) are kept as attachments.
    void BinaryAttachment(const ContentLine& l);
    void Date(uint32_t tag, uint32_t localLid, const ContentLine& l, const char* caption);
    void Url(const ContentLine& l, const Kinds& k);
    void SetText(uint32_t tag, const std::string& v) {
        if (!v.empty() && !m_.props.Has(tag)) m_.props.SetString(tag, ValidText(v));
    }
    void SetNamedText(uint32_t lid, const std::string& v) {
        if (!v.empty()) m_.props.SetNamed(AddressLid(lid), PT_UNICODE, ValidText(v));
    }
    // Keeps what has no field of its own in the notes, as "Caption: value".
    void Extra(const std::string& caption, const std::string& value) {
        if (!Trim(value).empty()) extras_.push_back(caption + ": " + Trim(value));
    }
    std::string Caption(const ContentLine& l) const;

    const Card& card_;
    Message m_;
    std::vector<std::string> extras_;
    std::vector<std::string> notes_;
    std::vector<std::pair<std::string, std::string>> emails_;  // address, type
    struct Addr {
        int kind;  // POSTAL_ADDRESS_HOME / WORK / OTHER
        bool pref;
        std::vector<std::string> parts;  // pobox, ext, street, city, region, code, country
        std::string label;
    };
    std::vector<Addr> addresses_;
    std::vector<std::pair<int, std::string>> labels_;  // LABEL: kind, text
    std::string fn_;
    std::vector<std::string> n_;
    std::vector<std::string> categories_;
    bool havePhoto_ = false;
};

std::string ContactBuilder::Caption(const ContentLine& l) const {
    std::string c = l.name;
    if (c.rfind("X-", 0) == 0) c = c.substr(2);
    std::string out;
    bool start = true;
    for (char ch : c) {
        if (ch == '-' || ch == '_') {
            out += ' ';
            start = true;
            continue;
        }
        out += start ? ch : base::AsciiToLower(ch);
        start = false;
    }
    return out;
}

void ContactBuilder::Email(const ContentLine& l, const Kinds& k) {
    std::string addr = Trim(Text(l));
    if (base::StartsWithNoCase(addr, "mailto:")) addr = addr.substr(7);
    if (addr.empty()) return;
    std::string type = "SMTP";
    if (k.Has("x400")) type = "X400";
    auto entry = std::make_pair(addr, type);
    if (k.Preferred())
        emails_.insert(emails_.begin(), entry);
    else
        emails_.push_back(entry);
}

void ContactBuilder::Phone(const ContentLine& l, const Kinds& k) {
    std::string number = Trim(Text(l));
    if (base::StartsWithNoCase(number, "tel:")) number = number.substr(4);
    if (number.empty()) return;
    const bool work = k.Has("work"), home = k.Has("home");
    std::vector<uint32_t> slots;
    if (k.Has("fax")) {
        if (work) slots.push_back(PR_BUSINESS_FAX_NUMBER);
        if (home) slots.push_back(PR_HOME_FAX_NUMBER);
        slots.push_back(PR_PRIMARY_FAX_NUMBER);
        slots.push_back(work ? PR_HOME_FAX_NUMBER : PR_BUSINESS_FAX_NUMBER);
    } else if (k.Has("cell") || k.Has("mobile")) {
        slots.push_back(PR_MOBILE_TELEPHONE_NUMBER);
    } else if (k.Has("pager")) {
        slots.push_back(PR_PAGER_TELEPHONE_NUMBER);
    } else if (k.Has("car")) {
        slots.push_back(PR_CAR_TELEPHONE_NUMBER);
    } else if (k.Has("isdn")) {
        slots.push_back(PR_ISDN_NUMBER);
    } else if (k.Has("textphone") || k.Has("tty") || k.Has("tdd")) {
        slots.push_back(PR_TTYTDD_PHONE_NUMBER);
    } else if (k.Has("main") || k.Has("company")) {
        slots.push_back(PR_COMPANY_MAIN_PHONE_NUMBER);
    } else if (k.Has("assistant")) {
        slots.push_back(PR_ASSISTANT_TELEPHONE_NUMBER);
    } else if (k.Has("callback")) {
        slots.push_back(PR_CALLBACK_TELEPHONE_NUMBER);
    } else if (k.Has("radio")) {
        slots.push_back(PR_RADIO_TELEPHONE_NUMBER);
    } else if (work) {
        slots.insert(slots.end(), {PR_BUSINESS_TELEPHONE_NUMBER, PR_BUSINESS2_TELEPHONE_NUMBER});
    } else if (home) {
        slots.insert(slots.end(), {PR_HOME_TELEPHONE_NUMBER, PR_HOME2_TELEPHONE_NUMBER});
    } else if (k.Has("pref") && !m_.props.Has(PR_PRIMARY_TELEPHONE_NUMBER)) {
        slots.push_back(PR_PRIMARY_TELEPHONE_NUMBER);
    }
    slots.push_back(PR_OTHER_TELEPHONE_NUMBER);
    for (uint32_t tag : slots) {
        if (m_.props.Has(tag)) continue;
        m_.props.SetString(tag, ValidText(number));
        return;
    }
    std::string kinds = Join(k.all, ", ");
    Extra(kinds.empty() ? "Phone" : "Phone (" + kinds + ")", number);
}

void ContactBuilder::Address(const ContentLine& l, const Kinds& k) {
    Addr a;
    a.kind = k.Has("work") ? POSTAL_ADDRESS_WORK : k.Has("home") ? POSTAL_ADDRESS_HOME : POSTAL_ADDRESS_OTHER;
    a.pref = k.Preferred();
    a.parts = Parts(l);
    a.parts.resize(7);
    for (std::string& p : a.parts) p = Trim(p);
    // vCard 4.0 keeps the formatted address in a LABEL parameter.
    // Line breaks in it are written "\n" or, after RFC 6868, "^n".
    for (const std::string raw = l.FirstParam("LABEL"); char c : raw) {
        if (!a.label.empty() && (c == 'n' || c == 'N') && (a.label.back() == '\\' || a.label.back() == '^')) {
            a.label.back() = '\r';
            a.label += '\n';
        } else {
            a.label += c;
        }
    }
    addresses_.push_back(std::move(a));
}

void ContactBuilder::Photo(const ContentLine& l) {
    std::vector<uint8_t> data;
    std::string type;
    if (havePhoto_ || !Binary(l, data, type)) {
        if (!base::StartsWithNoCase(l.value, "data:") && l.FirstParam("ENCODING").empty())
            Extra("Photo", Text(l));  // a link
        return;
    }
    havePhoto_ = true;
    std::string ext = ".jpg";
    if (type.find("png") != std::string::npos) ext = ".png";
    else if (type.find("gif") != std::string::npos) ext = ".gif";
    else if (type.find("bmp") != std::string::npos) ext = ".bmp";
    Attachment att;
    const size_t size = data.size();
    att.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    att.props.SetBinary(PR_ATTACH_DATA_BIN, std::move(data));
    att.props.SetString(PR_ATTACH_FILENAME, ValidText("ContactPicture" + ext));
    att.props.SetString(PR_ATTACH_LONG_FILENAME, ValidText("ContactPicture" + ext));
    att.props.SetString(PR_ATTACH_EXTENSION, ValidText(ext));
    att.props.SetString(PR_DISPLAY_NAME, ValidText("ContactPicture" + ext));
    if (!type.empty()) att.props.SetString(PR_ATTACH_MIME_TAG, ValidText(type));
    att.props.SetInt(PR_ATTACH_SIZE, int32_t(size));
    att.props.SetInt(PR_RENDERING_POSITION, -1);
    att.props.SetBool(PR_ATTACHMENT_HIDDEN, true);
    att.props.SetBool(PR_ATTACHMENT_CONTACTPHOTO, true);
    m_.attachments.push_back(std::move(att));
    m_.props.SetNamed(AddressLid(LID_HAS_PICTURE), PT_BOOLEAN, true);
}

void ContactBuilder::BinaryAttachment(const ContentLine& l) {
    std::vector<uint8_t> data;
    std::string type;
    if (!Binary(l, data, type)) return;
    std::string ext = ".bin";
    if (type.find("jpeg") != std::string::npos || type.find("jpg") != std::string::npos) ext = ".jpg";
    else if (type.find("png") != std::string::npos) ext = ".png";
    else if (type.find("gif") != std::string::npos) ext = ".gif";
    else if (l.name == "KEY") ext = ".cer";
    const std::string name = Caption(l) + ext;
    Attachment att;
    const size_t size = data.size();
    att.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    att.props.SetBinary(PR_ATTACH_DATA_BIN, std::move(data));
    att.props.SetString(PR_ATTACH_FILENAME, ValidText(name));
    att.props.SetString(PR_ATTACH_LONG_FILENAME, ValidText(name));
    att.props.SetString(PR_ATTACH_EXTENSION, ValidText(ext));
    att.props.SetString(PR_DISPLAY_NAME, ValidText(name));
    if (type.find('/') != std::string::npos) att.props.SetString(PR_ATTACH_MIME_TAG, ValidText(type));
    att.props.SetInt(PR_ATTACH_SIZE, int32_t(size));
    att.props.SetInt(PR_RENDERING_POSITION, -1);
    m_.attachments.push_back(std::move(att));
}

void ContactBuilder::Date(uint32_t tag, uint32_t localLid, const ContentLine& l, const char* caption) {
    const std::string v = Text(l);
    auto date = ParseDate(v);
    if (!date || m_.props.Has(tag)) {
        Extra(caption, v);
        return;
    }
    // Noon UTC falls on the same date in every time zone from UTC-11 to UTC+11, so the
    // day shows unchanged wherever the store is opened; the local copy is midnight.
    m_.props.SetTime(tag, DayTime(*date, 12));
    m_.props.SetNamed(AddressLid(localLid), PT_SYSTIME, DayTime(*date, 0));
}

void ContactBuilder::Url(const ContentLine& l, const Kinds& k) {
    const std::string url = Trim(Text(l));
    if (url.empty()) return;
    const uint32_t tag = k.Has("work") ? PR_BUSINESS_HOME_PAGE : PR_PERSONAL_HOME_PAGE;
    if (!m_.props.FindNamed(AddressLid(LID_HTML))) {
        SetNamedText(LID_HTML, url);
        m_.props.SetString(tag, ValidText(url));
    } else if (!m_.props.Has(tag)) {
        m_.props.SetString(tag, ValidText(url));
    } else {
        Extra("Web page", url);
    }
}

std::string AddressText(const std::vector<std::string>& p) {
    // street; "city, region  code"; country, as Outlook shows an address.
    std::string street = Join({p[2], p[1], p[0]}, "\r\n");
    std::string cityLine = p[3];
    if (!p[4].empty()) cityLine += (cityLine.empty() ? "" : ", ") + p[4];
    if (!p[5].empty()) cityLine += (cityLine.empty() ? "" : "  ") + p[5];
    return Join({street, cityLine, p[6]}, "\r\n");
}

Message ContactBuilder::Build() {
    // Labels of grouped properties (item1.X-ABLabel) first: they qualify their group.
    std::vector<std::pair<std::string, std::string>> labels;
    for (const ContentLine& l : card_.lines)
        if (!l.group.empty() && l.name == "X-ABLABEL")
            labels.emplace_back(l.group, Text(l));
    auto labelOf = [&](const ContentLine& l) -> std::string {
        if (l.group.empty()) return "";
        for (const auto& [g, v] : labels)
            if (g == l.group) return v;
        return "";
    };
    for (const ContentLine& l : card_.lines) Line(l, labelOf(l));
    const std::string display = SetNames();
    SetEmails(display);
    SetAddresses();
    Finish();
    return std::move(m_);
}

void ContactBuilder::Line(const ContentLine& l, const std::string& label) {
    const std::string& n = l.name;
    const Kinds k = KindsOf(l, label);
    if (n == "VERSION" || n == "PRODID" || n == "REV" || n == "UID" || n == "X-ABLABEL" ||
        n == "X-ABUID" || n == "KIND" || n == "SORT-STRING" || n == "CLASS" || n == "X-MS-OL-DEFAULT-POSTAL-ADDRESS" ||
        n == "X-MS-OL-DESIGN")  // the layout of a business card, not content
        return;
    if (n == "LABEL") {
        // vCard 2.1/3.0: the formatted form of the address of its kind.
        const Kinds lk = KindsOf(l, label);
        labels_.push_back({lk.Has("work") ? POSTAL_ADDRESS_WORK : lk.Has("home") ? POSTAL_ADDRESS_HOME
                                                                                 : POSTAL_ADDRESS_OTHER,
                           Text(l)});
    } else if (n == "FN") {
        if (fn_.empty()) fn_ = Trim(Text(l));
    } else if (n == "N") {
        if (n_.empty()) {
            n_ = Parts(l);
            n_.resize(5);
            for (std::string& p : n_) p = Trim(p);
        }
    } else if (n == "NICKNAME") {
        std::vector<std::string> names = List(l);
        for (size_t i = 0; i < names.size(); ++i) {
            if (i == 0 && !m_.props.Has(PR_NICKNAME))
                m_.props.SetString(PR_NICKNAME, ValidText(names[i]));
            else
                Extra("Nickname", names[i]);
        }
    } else if (n == "EMAIL") {
        Email(l, k);
    } else if (n == "TEL" || n == "X-MS-TEL") {
        Phone(l, k);
    } else if (n == "ADR") {
        Address(l, k);
    } else if (n == "ORG") {
        std::vector<std::string> parts = Parts(l);
        for (std::string& p : parts) p = Trim(p);
        if (!parts.empty()) SetText(PR_COMPANY_NAME, parts[0]);
        if (parts.size() > 1) {
            std::string dept = Join(std::vector<std::string>(parts.begin() + 1, parts.end()), ", ");
            SetText(PR_DEPARTMENT_NAME, dept);
        }
    } else if (n == "TITLE") {
        SetText(PR_TITLE, Trim(Text(l)));
    } else if (n == "ROLE") {
        SetText(PR_PROFESSION, Trim(Text(l)));
    } else if (n == "BDAY") {
        Date(PR_BIRTHDAY, 0x80DE, l, "Birthday");
    } else if (n == "ANNIVERSARY" || n == "X-ANNIVERSARY" || n == "X-MS-ANNIVERSARY" ||
               n == "X-EVOLUTION-ANNIVERSARY" ||
               (n == "X-ABDATE" && k.Has("anniversary"))) {
        Date(PR_WEDDING_ANNIVERSARY, 0x80DF, l, "Anniversary");
    } else if (n == "NOTE") {
        notes_.push_back(Text(l));
    } else if (n == "URL") {
        Url(l, k);
    } else if (n == "CATEGORIES") {
        for (std::string& c : List(l))
            if (std::find(categories_.begin(), categories_.end(), c) == categories_.end())
                categories_.push_back(c);
    } else if (n == "PHOTO") {
        Photo(l);
    } else if (n == "X-SPOUSE" || n == "X-MS-SPOUSE" || n == "X-EVOLUTION-SPOUSE" ||
               (n == "X-ABRELATEDNAMES" && k.Has("spouse"))) {
        if (m_.props.Has(PR_SPOUSE_NAME)) Extra("Spouse", Text(l));
        SetText(PR_SPOUSE_NAME, Trim(Text(l)));
    } else if (n == "X-MANAGER" || n == "X-MS-MANAGER" || n == "X-EVOLUTION-MANAGER") {
        SetText(PR_MANAGER_NAME, Trim(Text(l)));
    } else if (n == "X-ASSISTANT" || n == "X-MS-ASSISTANT" || n == "X-EVOLUTION-ASSISTANT") {
        SetText(PR_ASSISTANT, Trim(Text(l)));
    } else if ((n == "IMPP" || n == "X-AIM" || n == "X-JABBER" || n == "X-MSN" || n == "X-ICQ" ||
                n == "X-YAHOO" || n == "X-SKYPE" || n == "X-GOOGLE-TALK" || n == "X-MS-IMADDRESS") &&
               !m_.props.FindNamed(AddressLid(LID_INSTANT_MESSAGING_ADDRESS))) {
        SetNamedText(LID_INSTANT_MESSAGING_ADDRESS, Trim(Text(l)));
    } else if (n == "GENDER" || n == "X-GENDER") {
        std::string g = Lower(Trim(Text(l)));
        if (!g.empty() && (g[0] == 'f' || g[0] == 'm'))
            m_.props.Set(PR_GENDER, int16_t(g[0] == 'f' ? 1 : 2));
        else
            Extra("Gender", Text(l));
    } else if (base::EqualsNoCase(l.FirstParam("ENCODING"), "b") ||
               base::EqualsNoCase(l.FirstParam("ENCODING"), "base64") || base::StartsWithNoCase(l.value, "data:")) {
        BinaryAttachment(l);
    } else if (n == "BEGIN" || n == "END") {
        return;  // a nested card (vCard 2.1 AGENT) is not taken apart
    } else {
        std::string caption = Caption(l);
        if (!label.empty()) caption += " (" + KindsOf(ContentLine{}, label).all.front() + ")";
        Extra(caption, Text(l));
    }
}

std::string ContactBuilder::SetNames() {
    if (!n_.empty()) {
        SetText(PR_SURNAME, n_[0]);
        SetText(PR_GIVEN_NAME, n_[1]);
        SetText(PR_MIDDLE_NAME, n_[2]);
        SetText(PR_DISPLAY_NAME_PREFIX, n_[3]);
        SetText(PR_GENERATION, n_[4]);
        std::string initials;
        for (const std::string* p : {&n_[1], &n_[2], &n_[0]}) {
            if (p->empty()) continue;
            // The first letter whole: a UTF-8 sequence is its lead byte and the
            // continuation bytes after it.
            size_t len = 1;
            while (len < p->size() && (static_cast<unsigned char>((*p)[len]) & 0xC0) == 0x80) ++len;
            initials += p->substr(0, len) + ".";
        }
        SetText(PR_INITIALS, initials);
    }
    std::string display = fn_;
    if (display.empty() && !n_.empty()) display = Join({n_[3], n_[1], n_[2], n_[0], n_[4]}, " ");
    const std::string company = m_.props.GetString(PR_COMPANY_NAME).value_or("");
    if (display.empty()) display = company;
    if (display.empty() && !emails_.empty()) display = emails_.front().first;
    SetText(PR_DISPLAY_NAME, display);
    m_.props.SetString(PR_SUBJECT, ValidText(display));
    m_.props.SetString(PR_NORMALIZED_SUBJECT, ValidText(display));
    // File as "Surname, Given Middle" when the card has a surname, else as the company
    // or the display name.
    if (!n_.empty() && !n_[0].empty()) {
        std::string fileAs = n_[0];
        std::string rest = Join({n_[1], n_[2]}, " ");
        if (!rest.empty()) fileAs += ", " + rest;
        SetNamedText(LID_FILE_UNDER, fileAs);
        m_.props.SetNamed(AddressLid(LID_FILE_UNDER_ID), PT_LONG, FILE_UNDER_SURNAME_GIVEN_MIDDLE);
    } else if (fn_.empty() && !company.empty()) {
        SetNamedText(LID_FILE_UNDER, company);
        m_.props.SetNamed(AddressLid(LID_FILE_UNDER_ID), PT_LONG, FILE_UNDER_COMPANY);
    } else if (!display.empty()) {
        SetNamedText(LID_FILE_UNDER, display);
        m_.props.SetNamed(AddressLid(LID_FILE_UNDER_ID), PT_LONG, FILE_UNDER_DISPLAY_NAME);
    }
    if (const auto dept = m_.props.GetString(PR_DEPARTMENT_NAME)) SetNamedText(LID_DEPARTMENT, *dept);

    return display;
}

// E-mail addresses: the first three as Email1..3, as Outlook fills them.
void ContactBuilder::SetEmails(const std::string& display) {
    std::vector<int32_t> emailList;
    int32_t arrayType = 0;
    for (size_t i = 0; i < emails_.size(); ++i) {
        const auto& [addr, type] = emails_[i];
        if (i >= 3) {
            Extra("E-mail", addr);
            continue;
        }
        const uint32_t step = uint32_t(i) * kEmailLidStep;
        const std::string shown = display.empty() ? addr : display + " (" + addr + ")";
        SetNamedText(LID_EMAIL1_DISPLAY_NAME + step, shown);
        SetNamedText(LID_EMAIL1_ADDRESS_TYPE + step, type);
        SetNamedText(LID_EMAIL1_ADDRESS + step, addr);
        SetNamedText(LID_EMAIL1_ORIGINAL_DISPLAY_NAME + step, addr);
        m_.props.SetNamed(AddressLid(LID_EMAIL1_ORIGINAL_ENTRYID + step), PT_BINARY,
                          OneOffEntryId(display.empty() ? addr : display, addr, type));
        emailList.push_back(int32_t(i));
        arrayType |= 1 << i;
    }
    if (!emailList.empty()) {
        m_.props.SetNamed(AddressLid(LID_ADDRESS_BOOK_EMAIL_LIST), PT_MV_LONG, emailList);
        m_.props.SetNamed(AddressLid(LID_ADDRESS_BOOK_ARRAY_TYPE), PT_LONG, arrayType);
    }

}

void ContactBuilder::SetAddresses() {
    // Addresses: one each of home, work and other; a second of a kind becomes the
    // other address when that is free. The preferred one, else the first, is the
    // mailing address.
    bool used[4] = {false, false, false, false};
    int mailing = POSTAL_ADDRESS_NONE;
    bool mailingPref = false;
    for (Addr& a : addresses_) {
        // A LABEL of the address's kind is its formatted text.
        for (auto it = labels_.begin(); a.label.empty() && it != labels_.end(); ++it)
            if (it->first == a.kind) {
                a.label = it->second;
                labels_.erase(it);
                break;
            }
        int kind = a.kind;
        if (used[kind]) kind = POSTAL_ADDRESS_OTHER;
        const std::string text = a.label.empty() ? AddressText(a.parts) : a.label;
        if (used[kind]) {
            Extra("Address", text);
            continue;
        }
        used[kind] = true;
        const std::string street = Join({a.parts[2], a.parts[1]}, "\r\n");
        if (kind == POSTAL_ADDRESS_HOME) {
            SetText(PR_HOME_ADDRESS_STREET, street);
            SetText(PR_HOME_ADDRESS_CITY, a.parts[3]);
            SetText(PR_HOME_ADDRESS_STATE_OR_PROVINCE, a.parts[4]);
            SetText(PR_HOME_ADDRESS_POSTAL_CODE, a.parts[5]);
            SetText(PR_HOME_ADDRESS_COUNTRY, a.parts[6]);
            SetText(PR_HOME_ADDRESS_POST_OFFICE_BOX, a.parts[0]);
            SetNamedText(LID_HOME_ADDRESS, text);
        } else if (kind == POSTAL_ADDRESS_WORK) {
            SetNamedText(LID_WORK_ADDRESS_STREET, street);
            SetNamedText(LID_WORK_ADDRESS_CITY, a.parts[3]);
            SetNamedText(LID_WORK_ADDRESS_STATE, a.parts[4]);
            SetNamedText(LID_WORK_ADDRESS_POSTAL_CODE, a.parts[5]);
            SetNamedText(LID_WORK_ADDRESS_COUNTRY, a.parts[6]);
            SetNamedText(LID_WORK_ADDRESS_PO_BOX, a.parts[0]);
            SetNamedText(LID_WORK_ADDRESS, text);
        } else {
            SetText(PR_OTHER_ADDRESS_STREET, street);
            SetText(PR_OTHER_ADDRESS_CITY, a.parts[3]);
            SetText(PR_OTHER_ADDRESS_STATE_OR_PROVINCE, a.parts[4]);
            SetText(PR_OTHER_ADDRESS_POSTAL_CODE, a.parts[5]);
            SetText(PR_OTHER_ADDRESS_COUNTRY, a.parts[6]);
            SetText(PR_OTHER_ADDRESS_POST_OFFICE_BOX, a.parts[0]);
            SetNamedText(LID_OTHER_ADDRESS, text);
        }
        if (mailing == POSTAL_ADDRESS_NONE || (a.pref && !mailingPref)) {
            mailing = kind;
            mailingPref = a.pref;
            for (uint32_t tag : {PR_STREET_ADDRESS, PR_LOCALITY, PR_STATE_OR_PROVINCE, PR_POSTAL_CODE, PR_COUNTRY,
                                 PR_POST_OFFICE_BOX, PR_POSTAL_ADDRESS})
                m_.props.Remove(tag);
            SetText(PR_STREET_ADDRESS, street);
            SetText(PR_LOCALITY, a.parts[3]);
            SetText(PR_STATE_OR_PROVINCE, a.parts[4]);
            SetText(PR_POSTAL_CODE, a.parts[5]);
            SetText(PR_COUNTRY, a.parts[6]);
            SetText(PR_POST_OFFICE_BOX, a.parts[0]);
            SetText(PR_POSTAL_ADDRESS, text);
        }
    }
    m_.props.SetNamed(AddressLid(LID_POSTAL_ADDRESS_ID), PT_LONG, int32_t(mailing));
    for (const auto& [kind, text] : labels_) Extra("Address", text);  // labels without an address

}

void ContactBuilder::Finish() {
    for (std::string& c : categories_) c = ValidText(c);
    if (!categories_.empty()) m_.props.SetNamed(kKeywords, PT_MV_UNICODE, categories_);

    // Notes: the card's own, then what has no field.
    std::string body = Join(notes_, "\r\n\r\n");
    if (!extras_.empty()) {
        if (!body.empty()) body += "\r\n\r\n";
        body += Join(extras_, "\r\n");
    }
    if (!body.empty()) {
        m_.props.SetString(PR_BODY, ValidText(body));
        m_.props.SetInt(PR_NATIVE_BODY, NATIVE_BODY_PLAIN);
    }

    // What Outlook's own contacts carry besides their fields.
    m_.props.SetInt(PR_IMPORTANCE, IMPORTANCE_NORMAL);
    m_.props.SetInt(PR_PRIORITY, PRIO_NORMAL);
    m_.props.SetInt(PR_SENSITIVITY, SENSITIVITY_NONE);
    m_.props.SetNamed(PropertyName{PSETID_Common, uint32_t(0x8503)}, PT_BOOLEAN, false);  // PidLidReminderSet
    m_.props.SetNamed(PropertyName{PSETID_Common, uint32_t(0x8506)}, PT_BOOLEAN, false);  // PidLidPrivate
    m_.props.SetString(PR_MESSAGE_CLASS, "IPM.Contact");
    m_.props.SetInt(PR_ICON_INDEX, ICON_CONTACT);
    m_.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | (m_.attachments.empty() ? 0 : MSGFLAG_HASATTACH));
    m_.props.SetBool(PR_HASATTACH, !m_.attachments.empty());
    m_.props.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
    m_.props.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
    // How a store that holds the contact already recognises it.
    m_.props.SetBinary(PR_SEARCH_KEY, CardSearchKey(card_));
}


}  // namespace

Message ContactFromCard(const Card& card) { return ContactBuilder(card).Build(); }

}  // namespace bv::mailstore::vcard

#include "mailstore/mime/GMimeSupport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <mutex>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/Base64.h"
#include "mailstore/mime/MboxGrammar.h"

namespace bv::mailstore::mime {

namespace {

thread_local ParseIssues* tlIssues = nullptr;

void OnParserWarning(gint64 offset, GMimeParserWarning code, const gchar* item, gpointer) {
    ParseIssues* issues = tlIssues;
    if (!issues) return;
    using Kind = ParseIssues::Kind;
    switch (code) {
    case GMIME_WARN_TRUNCATED_MESSAGE:
        issues->reports.push_back({offset, Kind::Truncated});
        break;
    case GMIME_WARN_MALFORMED_MESSAGE:
        issues->reports.push_back({offset, Kind::Malformed});
        break;
    case GMIME_CRIT_INVALID_HEADER_NAME:
        // mbox escape lines (">From ...") in front of an attached message carry nothing
        if (item && (IsQuotedSeparatorLine(item) || IsSeparatorLine(item))) break;
        // a boundary line where a part's header was due: the part is empty, nothing is lost
        if (item && std::strncmp(item, "--", 2) == 0) break;
        issues->reports.push_back({offset, Kind::DroppedLine});
        break;
    case GMIME_CRIT_NESTING_OVERFLOW:
        issues->reports.push_back({offset, Kind::PartsSkipped});
        break;
    case GMIME_CRIT_PART_WITHOUT_HEADERS_OR_CONTENT:
        issues->reports.push_back({offset, Kind::EmptyPart});  // an empty part holds nothing to lose
        break;
    default:
        break;
    }
}

// GLib sets up a GObject class the first time an object of it is made. Done here,
// once, before several threads import at the same time, the classes of every kind of
// object an import makes exist from the start. Some GMime types are registered
// without a guard: two threads making the first joined stream at once each register
// it, and the second one's stream is no stream (a crash).
void WarmUpTypes(GMimeParserOptions* options) {
    g_object_unref(g_mime_stream_cat_new());
    if (InternetAddressList* list = internet_address_list_parse(options, "A <a@example.com>, group: b@example.com;"))
        g_object_unref(list);
    static const char kSample[] =
        "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; charset=utf-8\n\nx\n"
        "--b\nContent-Type: message/rfc822\n\nFrom: a@example.com\nSubject: s\n\ny\n"
        "--b\nContent-Type: application/octet-stream; name=a.bin\nContent-Disposition: attachment; filename=a.bin\n"
        "Content-Transfer-Encoding: base64\n\neA==\n--b--\n";
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(kSample, sizeof kSample - 1);
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    if (GMimeObject* obj = g_mime_parser_construct_part(parser, options)) g_object_unref(obj);
    g_object_unref(parser);
    g_object_unref(stream);
    if (GMimeContentType* ct = g_mime_content_type_parse(options, "text/plain; charset=utf-8")) g_object_unref(ct);
}

}  // namespace

GMimeParserOptions* ParserOptions() {
    static GMimeParserOptions* options = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        g_mime_init();
        options = g_mime_parser_options_new();
        static const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(options, fallback);
        g_mime_parser_options_set_rfc2047_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_address_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_allow_addresses_without_domain(options, TRUE);
        g_mime_parser_options_set_warning_callback(options, OnParserWarning, nullptr);
        WarmUpTypes(options);
    });
    return options;
}


ParseIssues* CurrentParseIssues() { return tlIssues; }

bool DecodePlainBase64(std::string_view raw, std::vector<uint8_t>& out) {
    const auto* in = reinterpret_cast<const uint8_t*>(raw.data());
    const size_t size = raw.size();
    const auto& values = base::kBase64Bytes;
    out.resize(size / 4 * 3 + 3);
    uint8_t* o = out.data();
    uint32_t bits = 0;
    int held = 0;  // letters of the group being read
    size_t i = 0;
    for (; i < size; ++i) {
        // Whole groups of four letters at a time, as lines hold them.
        while (held == 0 && i + 4 <= size) {
            const uint32_t a = values[in[i]], b = values[in[i + 1]], c = values[in[i + 2]],
                           d = values[in[i + 3]];
            if ((a | b | c | d) >= 64) break;
            const uint32_t group = a << 18 | b << 12 | c << 6 | d;
            o[0] = uint8_t(group >> 16);
            o[1] = uint8_t(group >> 8);
            o[2] = uint8_t(group);
            o += 3;
            i += 4;
        }
        if (i >= size) break;
        const uint8_t v = values[in[i]];
        if (v == base::kBase64Blank) continue;
        if (v != base::kBase64Pad && v >= 64) return false;
        if (v == base::kBase64Pad) break;
        bits = bits << 6 | v;
        if (++held == 4) {
            o[0] = uint8_t(bits >> 16);
            o[1] = uint8_t(bits >> 8);
            o[2] = uint8_t(bits);
            o += 3;
            held = 0;
            bits = 0;
        }
    }
    if (i < size) {
        // Padding: "=" after two letters of a group, "==" after three... then blanks only.
        size_t pads = 0;
        for (; i < size; ++i) {
            const uint8_t v = values[in[i]];
            if (v == base::kBase64Pad) ++pads;
            else if (v != base::kBase64Blank) return false;
        }
        if (held < 2 || size_t(held) + pads != 4) return false;
        bits <<= 6 * pads;
        *o++ = uint8_t(bits >> 16);
        if (held == 3) *o++ = uint8_t(bits >> 8);
    } else if (held != 0) {
        return false;
    }
    out.resize(size_t(o - out.data()));
    return true;
}

bool ParseIssues::Has(Kind kind) const {
    return std::any_of(reports.begin(), reports.end(), [kind](const Report& r) { return r.kind == kind; });
}

int ParseIssues::droppedLines() const {
    return headerLinesDropped +
           int(std::count_if(reports.begin(), reports.end(), [](const Report& r) { return r.kind == Kind::DroppedLine; }));
}

void ParseIssues::ForgetWithin(int64_t begin, int64_t end) {
    std::erase_if(reports, [&](const Report& r) { return r.offset >= begin && r.offset < end; });
}

ParseIssuesScope::ParseIssuesScope(ParseIssues* issues) : previous_(tlIssues) { tlIssues = issues; }
ParseIssuesScope::~ParseIssuesScope() { tlIssues = previous_; }

namespace {

// "06:09:22 PM" -> "18:09:22": the time of a 12-hour clock on the 24-hour one, the
// "AM"/"PM" word removed. False when the value has no such word after a time.
bool ToTwentyFourHours(std::string_view value, std::string& out) {
    for (size_t i = 1; i + 1 < value.size(); ++i) {
        const char a = char(value[i] | 0x20), m = char(value[i + 1] | 0x20);
        if (!((a == 'a' || a == 'p') && m == 'm')) continue;
        if (i + 2 < value.size() && value[i + 2] != ' ' && value[i + 2] != '\t') continue;
        size_t t = i;  // back over the blanks to the time
        while (t > 0 && (value[t - 1] == ' ' || value[t - 1] == '\t')) --t;
        size_t start = t;
        while (start > 0 && ((value[start - 1] >= '0' && value[start - 1] <= '9') || value[start - 1] == ':')) --start;
        std::string_view time = value.substr(start, t - start);
        size_t colon = time.find(':');
        if (colon == std::string_view::npos || colon == 0 || colon > 2) continue;
        int hh = 0;
        for (size_t k = 0; k < colon; ++k) hh = hh * 10 + (time[k] - '0');
        if (hh < 1 || hh > 12) return false;
        if (a == 'p' && hh < 12) hh += 12;
        if (a == 'a' && hh == 12) hh = 0;
        out.assign(value.substr(0, start));
        if (hh < 10) out += '0';
        out += std::to_string(hh);
        out.append(time.substr(colon));
        out.append(value.substr(i + 2));
        return true;
    }
    return false;
}

}  // namespace

std::optional<int64_t> ReadDate(std::string_view value) {
    if (value.empty()) return std::nullopt;
    if (std::string twentyFour; ToTwentyFourHours(value, twentyFour)) return ReadDate(twentyFour);
    // (The quick reading takes only years 1969 to 9999, within the limits below.)
    if (auto t = ParseRfc5322DateFast(value)) return t;
    std::string text(value);
    GDateTime* dt = g_mime_utils_header_decode_date(text.c_str());
    if (!dt) return std::nullopt;
    int64_t t = g_date_time_to_unix(dt);
    int year = g_date_time_get_year(dt);
    g_date_time_unref(dt);
    if (year < 1601 || year > 9999) return std::nullopt;
    // Some GMime versions answer "0" (1970-01-01) for values they cannot read at all;
    // the epoch itself is a date like any other when the value names its year.
    if (t == 0 && value.find("1970") == std::string_view::npos && value.find("1969") == std::string_view::npos &&
        value.find(" 70 ") == std::string_view::npos && value.find(" 69 ") == std::string_view::npos)
        return std::nullopt;
    return t;
}

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ValidCivil(int y, int m, int d) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1) return false;
    return d <= kDays[m - 1] + (m == 2 && IsLeap(y) ? 1 : 0);
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int MonthOf(std::string_view name) {
    static const char* kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() < 3) return -1;
    char m[3];
    for (int i = 0; i < 3; ++i) m[i] = base::AsciiToLower(name[size_t(i)]);
    for (int q = 0; q < 12; ++q)
        if (std::memcmp(m, kMonths[q], 3) == 0) return q + 1;
    return -1;
}

}  // namespace

std::optional<int64_t> UnixTimeOf(int year, int month, int day, int hh, int mm, int ss, int zoneMinutes) {
    if (!ValidCivil(year, month, day) || hh < 0 || hh > 23 || mm < 0 || mm > 59 || ss < 0 || ss > 59) return std::nullopt;
    return DaysFromCivil(year, month, day) * 86400 + hh * 3600 + mm * 60 + ss - int64_t(zoneMinutes) * 60;
}

std::optional<int64_t> ParseRfc5322DateFast(std::string_view v) {
    size_t i = 0;
    auto blanks = [&] {
        while (i < v.size() && (v[i] == ' ' || v[i] == '\t' || v[i] == '\r' || v[i] == '\n')) ++i;
    };
    auto digits = [&](size_t minLen, size_t maxLen, int& out) {
        size_t start = i;
        out = 0;
        while (i < v.size() && i - start < maxLen && v[i] >= '0' && v[i] <= '9') out = out * 10 + (v[i++] - '0');
        return i - start >= minLen && !(i < v.size() && v[i] >= '0' && v[i] <= '9');
    };
    auto alpha = [&](size_t n) {
        for (size_t k = 0; k < n; ++k)
            if (i + k >= v.size() || !std::isalpha(static_cast<unsigned char>(v[i + k]))) return false;
        return i + n >= v.size() || !std::isalpha(static_cast<unsigned char>(v[i + n]));
    };
    blanks();
    if (alpha(3) && i + 3 < v.size() && v[i + 3] == ',') {  // day of the week: not checked
        i += 4;
        blanks();
    }
    int day, year, hh, mm, ss = 0;
    if (!digits(1, 2, day)) return std::nullopt;
    blanks();
    if (!alpha(3)) return std::nullopt;
    int month = MonthOf(v.substr(i, 3));
    if (month < 0) return std::nullopt;
    i += 3;
    blanks();
    // Years before 1969 are not taken as dates (a mail reader shows such a message
    // by its other dates): left to the full parser, which says the same.
    if (!digits(4, 4, year) || year < 1969) return std::nullopt;
    blanks();
    if (!digits(2, 2, hh) || i >= v.size() || v[i] != ':') return std::nullopt;
    ++i;
    if (!digits(2, 2, mm)) return std::nullopt;
    if (i < v.size() && v[i] == ':') {
        ++i;
        if (!digits(2, 2, ss)) return std::nullopt;
    }
    blanks();
    int zone = 0;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) {
        bool minus = v[i] == '-';
        ++i;
        int z;
        if (!digits(4, 4, z) || z % 100 > 59) return std::nullopt;
        zone = (z / 100) * 60 + z % 100;
        if (minus) zone = -zone;
    } else if (v.substr(i, 3) == "GMT" || v.substr(i, 3) == "UTC") {
        i += 3;
    } else if (v.substr(i, 2) == "UT") {
        i += 2;
    } else {
        return std::nullopt;  // a zone name or something else: the full parser decides
    }
    blanks();
    if (i < v.size() && v[i] == '(') {  // a trailing comment such as "(UTC)"
        size_t close = v.find(')', i);
        if (close == std::string_view::npos) return std::nullopt;
        i = close + 1;
        blanks();
    }
    if (i != v.size()) return std::nullopt;
    return UnixTimeOf(year, month, day, hh, mm, ss, zone);
}

std::optional<int64_t> ParseFromLineDate(std::string_view line) {
    // tokens separated by blanks
    std::string_view tok[16];
    size_t count = 0;
    for (size_t i = 0; i < line.size() && count < 16;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
        size_t start = i;
        while (i < line.size() && !(line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
        if (i > start) tok[count++] = line.substr(start, i - start);
    }
    auto number = [](std::string_view t, size_t& pos) {
        int v = 0;
        size_t start = pos;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9' && pos - start < 6) v = v * 10 + (t[pos++] - '0');
        return pos > start ? v : -1;
    };
    for (size_t k = 1; k + 2 < count; ++k) {
        int month = MonthOf(tok[k]);
        if (month < 0) continue;
        size_t pos = 0;
        int day = number(tok[k + 1], pos);
        if (day < 1 || day > 31) continue;
        // hh:mm[:ss]
        pos = 0;
        int hh = number(tok[k + 2], pos), mm = -1, ss = 0;
        if (hh < 0 || pos >= tok[k + 2].size() || tok[k + 2][pos] != ':') continue;
        ++pos;
        mm = number(tok[k + 2], pos);
        if (mm < 0) continue;
        if (pos < tok[k + 2].size() && tok[k + 2][pos] == ':') {
            ++pos;
            ss = number(tok[k + 2], pos);
            if (ss < 0) ss = 0;
        }
        int year = 0;
        int zoneMinutes = 0;
        for (size_t q = k + 3; q < count && q <= k + 5; ++q) {
            std::string_view t = tok[q];
            auto allDigits = [](std::string_view d) { return std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; }); };
            if ((t[0] == '+' || t[0] == '-') && t.size() == 5 && allDigits(t.substr(1))) {
                size_t p = 1;
                int v = number(t, p);
                zoneMinutes = (v / 100) * 60 + v % 100;
                if (t[0] == '-') zoneMinutes = -zoneMinutes;
            } else if (t.size() == 4 && allDigits(t)) {
                size_t p = 0;
                year = number(t, p);
            }
        }
        if (year < 1601 || year > 9999) return std::nullopt;
        return UnixTimeOf(year, month, day, hh, mm, ss, zoneMinutes);
    }
    return std::nullopt;
}

}  // namespace bv::mailstore::mime

#include "mailstore/ical/AppointmentRecur.h"

#include <algorithm>

#include "mailstore/mapi/Utf16.h"

namespace bv::mailstore::ical {

namespace {

constexpr uint16_t kFreqDaily = 0x200A, kFreqWeekly = 0x200B, kFreqMonthly = 0x200C, kFreqYearly = 0x200D;
constexpr uint16_t kPatternDay = 0, kPatternWeek = 1, kPatternMonth = 2, kPatternMonthNth = 3;
constexpr uint32_t kEndAfterDate = 0x2021, kEndAfterCount = 0x2022, kEndNever = 0x2023;
constexpr uint32_t kNoEndDate = 0x5AE980DF;
constexpr int kMaxInstances = 100000;  // counted to find the end of a series
constexpr short kNone = ICAL_RECURRENCE_ARRAY_MAX;

int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

uint32_t DateMinutes(const icaltimetype& t) {
    icaltimetype d = t;
    d.hour = d.minute = d.second = 0;
    return uint32_t(MinutesSince1601(d));
}

int Count(const short* a, int max) {
    int n = 0;
    while (n < max && a[n] != kNone) ++n;
    return n;
}

// Outlook's day bits: Sunday 0x1 ... Saturday 0x40.
uint32_t DayBit(short byDay) { return 1u << (int(icalrecurrencetype_day_day_of_week(byDay)) - 1); }

std::string Ansi(const std::string& utf8) {
    std::string out;
    for (unsigned char c : utf8) {
        if (c < 0x80) out += char(c);
        else if ((c & 0xC0) != 0x80) out += '?';
    }
    return out;
}

const char* const kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kOrdinals[] = {"", "first", "second", "third", "fourth", "last"};

std::string DayList(uint32_t mask) {
    std::string out;
    for (int i = 0; i < 7; ++i)
        if (mask & (1u << i)) out += (out.empty() ? "" : ", ") + std::string(kDayNames[i]);
    return out;
}

}  // namespace

int64_t MinutesSince1601(const icaltimetype& t) {
    return (DaysFromCivil(t.year, t.month, t.day) - DaysFromCivil(1601, 1, 1)) * 1440 + t.hour * 60 + t.minute;
}

namespace {

// An Outlook recurrence pattern ([MS-OXOCAL] 2.2.1.44.1) as far as the rule decides it.
struct Pattern {
    uint16_t freq = 0, patternType = 0;
    uint32_t period = 0, dayMask = 0, nth = 0, dayOfMonth = 0;
    uint32_t firstDow = 1, firstDateTime = 0;
    int32_t recurrenceType = 0;
    std::string text;  // "every 2 weeks on Monday, Friday"
};

// The weekday bits of BYDAY when every entry is a plain weekday; 0 when one has a position.
uint32_t PlainDays(const icalrecurrencetype& r, int nDay) {
    uint32_t mask = 0;
    for (int i = 0; i < nDay; ++i) {
        if (icalrecurrencetype_day_position(r.by_day[i]) != 0) return 0u;
        mask |= DayBit(r.by_day[i]);
    }
    return mask;
}

// Month-based patterns: a day of the month, or the n-th (last) of some weekdays.
bool MonthPart(const icalrecurrencetype& r, const icaltimetype& start, Pattern& p) {
    const int nDay = Count(r.by_day, ICAL_BY_DAY_SIZE);
    const int nMonthDay = Count(r.by_month_day, ICAL_BY_MONTHDAY_SIZE);
    const int nSetPos = Count(r.by_set_pos, ICAL_BY_SETPOS_SIZE);
    if (nMonthDay == 0 && nDay == 0) {
        p.patternType = kPatternMonth;
        p.dayOfMonth = uint32_t(start.day);
        return true;
    }
    if (nMonthDay == 1 && nDay == 0 && nSetPos == 0) {
        p.patternType = kPatternMonth;
        p.dayOfMonth = r.by_month_day[0] == -1 ? 31 : uint32_t(r.by_month_day[0]);
        return r.by_month_day[0] > 0 || r.by_month_day[0] == -1;
    }
    if (nMonthDay == 0 && nDay == 1 && nSetPos == 0) {
        const int pos = icalrecurrencetype_day_position(r.by_day[0]);
        if (pos == 0 || pos < -1 || pos > 4) return false;
        p.patternType = kPatternMonthNth;
        p.dayMask = DayBit(r.by_day[0]);
        p.nth = pos == -1 ? 5 : uint32_t(pos);
        return true;
    }
    if (nMonthDay == 0 && nDay > 0 && nSetPos == 1) {
        p.dayMask = PlainDays(r, nDay);
        const int pos = r.by_set_pos[0];
        if (p.dayMask == 0 || pos == 0 || pos < -1 || pos > 4) return false;
        p.patternType = kPatternMonthNth;
        p.nth = pos == -1 ? 5 : uint32_t(pos);
        return true;
    }
    return false;
}

// The first day of the month of the start, counted in whole periods from 1601.
uint32_t MonthFirstDateTime(const icaltimetype& start, uint32_t months) {
    const int64_t m = (int64_t(start.year) - 1601) * 12 + (start.month - 1);
    const int64_t rem = m % months;
    icaltimetype d = icaltime_null_time();
    d.year = 1601 + int(rem / 12);
    d.month = int(rem % 12) + 1;
    d.day = 1;
    return uint32_t(MinutesSince1601(d));
}

// The frequency, its period and days; freq stays 0 when Outlook has no such pattern.
Pattern FrequencyOf(const icalrecurrencetype& r, const icaltimetype& start) {
    Pattern p;
    const int nDay = Count(r.by_day, ICAL_BY_DAY_SIZE);
    const int nMonthDay = Count(r.by_month_day, ICAL_BY_MONTHDAY_SIZE);
    const int nMonth = Count(r.by_month, ICAL_BY_MONTH_SIZE);
    const int nSetPos = Count(r.by_set_pos, ICAL_BY_SETPOS_SIZE);
    const int interval = std::max<int>(1, r.interval);
    const int startDow = icaltime_day_of_week(start) - 1;  // 0 Sunday
    switch (r.freq) {
        case ICAL_DAILY_RECURRENCE:
            if (nMonthDay || nMonth || nSetPos) break;
            if (nDay == 0) {
                p.freq = kFreqDaily;
                p.patternType = kPatternDay;
                p.period = uint32_t(interval) * 1440;
                p.firstDateTime = DateMinutes(start) % p.period;
                p.recurrenceType = 1;
                p.text = interval == 1 ? "every day" : "every " + std::to_string(interval) + " days";
            } else if (interval == 1 && (p.dayMask = PlainDays(r, nDay)) != 0) {
                // Every weekday: a weekly pattern, as Outlook writes it.
                p.freq = kFreqDaily;
                p.patternType = kPatternWeek;
                p.period = 1;
                p.recurrenceType = 2;
                p.text = "every " + DayList(p.dayMask);
            }
            break;
        case ICAL_WEEKLY_RECURRENCE:
            if (nMonthDay || nMonth || nSetPos) break;
            p.dayMask = nDay ? PlainDays(r, nDay) : (1u << startDow);
            if (p.dayMask == 0) break;
            p.freq = kFreqWeekly;
            p.patternType = kPatternWeek;
            p.period = uint32_t(interval);
            p.recurrenceType = 2;
            p.text = (interval == 1 ? "every " : "every " + std::to_string(interval) + " weeks on ") + DayList(p.dayMask);
            break;
        case ICAL_MONTHLY_RECURRENCE:
            if (nMonth || !MonthPart(r, start, p)) break;
            p.freq = kFreqMonthly;
            p.period = uint32_t(interval);
            p.recurrenceType = 3;
            break;
        case ICAL_YEARLY_RECURRENCE:
            if (nMonth > 1 || (nMonth == 1 && r.by_month[0] != start.month) || !MonthPart(r, start, p)) break;
            p.freq = kFreqYearly;
            p.period = uint32_t(interval) * 12;
            p.recurrenceType = 4;
            break;
        default:
            break;
    }
    return p;
}

// The pattern of a rule Outlook can hold (freq 0 when it cannot), with its first date and text.
Pattern PatternOf(const icalrecurrencetype& r, const icaltimetype& start) {
    Pattern p = FrequencyOf(r, start);
    if (p.freq == 0) return p;
    p.firstDow = r.week_start == ICAL_NO_WEEKDAY ? 1 : uint32_t(int(r.week_start) - 1);
    const int interval = std::max<int>(1, r.interval);
    if (p.patternType == kPatternWeek) {
        const int startDow = icaltime_day_of_week(start) - 1;
        const uint32_t back = uint32_t((startDow - int(p.firstDow) + 7) % 7);
        p.firstDateTime = (DateMinutes(start) - back * 1440) % (p.period * 10080);
    } else if (p.freq == kFreqMonthly || p.freq == kFreqYearly) {
        p.firstDateTime = MonthFirstDateTime(start, p.period);
        const std::string every =
            p.freq == kFreqYearly ? (interval == 1 ? "every year" : "every " + std::to_string(interval) + " years")
                                  : (interval == 1 ? "every month" : "every " + std::to_string(interval) + " months");
        const std::string month = p.freq == kFreqYearly ? std::string(" of ") + kMonthNames[start.month - 1] : "";
        p.text = p.patternType == kPatternMonth ? every + " on day " + std::to_string(p.dayOfMonth) + month
                                                : every + " on the " + kOrdinals[p.nth] + " " + DayList(p.dayMask) + month;
    }
    return p;
}

struct End {
    uint32_t type = kEndNever, occurrences = 10, date = kNoEndDate;
};

// The end of a series with COUNT or UNTIL, counted with libical's iterator in wall-clock
// time; the last date and the pattern's words go into `out`. False with out.error set.
bool EndOf(const icalrecurrencetype& r, const icaltimetype& start, End& end, RecurResult& out) {
    if (r.count <= 0 && icaltime_is_null_time(r.until)) return true;
    icalrecur_iterator* it = icalrecur_iterator_new(r, start);
    if (!it) {
        out.error = "the recurrence rule cannot be followed";
        return false;
    }
    icaltimetype last = icaltime_null_time();
    int n = 0;
    for (icaltimetype t = icalrecur_iterator_next(it); !icaltime_is_null_time(t) && n < kMaxInstances;
         t = icalrecur_iterator_next(it)) {
        last = t;
        ++n;
    }
    icalrecur_iterator_free(it);
    if (n == 0) {
        out.error = "the recurrence rule has no instance";
        return false;
    }
    end.type = r.count > 0 ? kEndAfterCount : kEndAfterDate;
    end.occurrences = uint32_t(n);
    end.date = DateMinutes(last);
    out.lastDate = last;
    out.lastDate.hour = out.lastDate.minute = out.lastDate.second = 0;
    out.pattern += r.count > 0 ? ", " + std::to_string(n) + " times"
                               : ", until " + std::to_string(last.year) + "-" + std::to_string(last.month) + "-" +
                                     std::to_string(last.day);
    return true;
}

uint16_t ExceptionFlags(const RecurException& e) {
    uint16_t f = 0;
    if (!e.subject.empty()) f |= 0x0001;
    if (!e.location.empty()) f |= 0x0010;
    if (e.busyChanged) f |= 0x0020;
    return f;
}

// The changed instances: their ExceptionInfo, then their ExtendedException with Unicode texts.
void PutExceptions(std::vector<uint8_t>& b, const std::vector<RecurException>& exceptions) {
    Put16(b, uint32_t(exceptions.size()));
    for (const RecurException& e : exceptions) {
        Put32(b, uint32_t(MinutesSince1601(e.start)));
        Put32(b, uint32_t(MinutesSince1601(e.end)));
        Put32(b, uint32_t(MinutesSince1601(e.originalStart)));
        const uint16_t f = ExceptionFlags(e);
        Put16(b, f);
        for (uint16_t flag : {uint16_t(0x0001), uint16_t(0x0010)}) {
            if (!(f & flag)) continue;
            const std::string s = Ansi(flag == 1 ? e.subject : e.location).substr(0, 255);
            Put16(b, uint32_t(s.size() + 1));
            Put16(b, uint32_t(s.size()));
            b.insert(b.end(), s.begin(), s.end());
        }
        if (f & 0x0020) Put32(b, uint32_t(e.busyStatus));
    }
    Put32(b, 0);  // ReservedBlock1Size
    for (const RecurException& e : exceptions) {
        const uint16_t f = ExceptionFlags(e);
        Put32(b, 4);  // ChangeHighlightSize
        Put32(b, 0);  // ChangeHighlightValue
        Put32(b, 0);  // ReservedBlockEE1Size
        if (f & 0x0011) {
            Put32(b, uint32_t(MinutesSince1601(e.start)));
            Put32(b, uint32_t(MinutesSince1601(e.end)));
            Put32(b, uint32_t(MinutesSince1601(e.originalStart)));
            for (uint16_t flag : {uint16_t(0x0001), uint16_t(0x0010)}) {
                if (!(f & flag)) continue;
                std::vector<uint8_t> w = mapi::Utf8ToUtf16Le(flag == 1 ? e.subject : e.location);
                w.resize(std::min<size_t>(w.size(), 255 * 2));
                Put16(b, uint32_t(w.size() / 2));
                b.insert(b.end(), w.begin(), w.end());
            }
            Put32(b, 0);  // ReservedBlockEE2Size
        }
    }
}

}  // namespace

RecurResult BuildAppointmentRecur(const RecurInput& in) {
    RecurResult out;
    out.lastDate = icaltime_null_time();
    const icaltimetype& start = in.start;
    // A BYHOUR, BYMINUTE or BYSECOND of one value, the start's own, only says again
    // what the start says: the instances are those of the rule without it.
    icalrecurrencetype r = in.rule;
    auto restatesStart = [](short* values, int max, int own) {
        if (Count(values, max) == 1 && values[0] == own) values[0] = kNone;
    };
    restatesStart(r.by_hour, ICAL_BY_HOUR_SIZE, start.hour);
    restatesStart(r.by_minute, ICAL_BY_MINUTE_SIZE, start.minute);
    restatesStart(r.by_second, ICAL_BY_SECOND_SIZE, start.second);
    if (Count(r.by_second, ICAL_BY_SECOND_SIZE) || Count(r.by_minute, ICAL_BY_MINUTE_SIZE) ||
        Count(r.by_hour, ICAL_BY_HOUR_SIZE) || Count(r.by_year_day, ICAL_BY_YEARDAY_SIZE) ||
        Count(r.by_week_no, ICAL_BY_WEEKNO_SIZE)) {
        out.error = "the recurrence rule uses parts Outlook has no pattern for";
        return out;
    }
    const Pattern p = PatternOf(r, start);
    if (p.freq == 0) {
        out.error = "the recurrence rule has no Outlook pattern";
        return out;
    }
    out.recurrenceType = p.recurrenceType;
    out.pattern = p.text;
    End end;
    if (!EndOf(r, start, end, out)) return out;

    // Deleted and changed instances.
    std::vector<uint32_t> deleted, modified;
    for (const icaltimetype& d : in.deleted) deleted.push_back(DateMinutes(d));
    std::vector<RecurException> exceptions = in.exceptions;
    std::sort(exceptions.begin(), exceptions.end(), [](const RecurException& a, const RecurException& b) {
        return MinutesSince1601(a.start) < MinutesSince1601(b.start);
    });
    for (const RecurException& e : exceptions) {
        deleted.push_back(DateMinutes(e.originalStart));
        modified.push_back(DateMinutes(e.start));
    }
    std::sort(deleted.begin(), deleted.end());
    deleted.erase(std::unique(deleted.begin(), deleted.end()), deleted.end());

    std::vector<uint8_t>& b = out.blob;
    Put16(b, 0x3004);
    Put16(b, 0x3004);
    Put16(b, p.freq);
    Put16(b, p.patternType);
    Put16(b, 0);  // CalendarType: Gregorian
    Put32(b, p.firstDateTime);
    Put32(b, p.period);
    Put32(b, 0);  // SlidingFlag
    if (p.patternType == kPatternWeek) Put32(b, p.dayMask);
    if (p.patternType == kPatternMonth) Put32(b, p.dayOfMonth);
    if (p.patternType == kPatternMonthNth) {
        Put32(b, p.dayMask);
        Put32(b, p.nth);
    }
    Put32(b, end.type);
    Put32(b, end.occurrences);
    Put32(b, p.firstDow);
    Put32(b, uint32_t(deleted.size()));
    for (uint32_t d : deleted) Put32(b, d);
    Put32(b, uint32_t(modified.size()));
    for (uint32_t d : modified) Put32(b, d);
    Put32(b, DateMinutes(start));
    Put32(b, end.date);
    // AppointmentRecurrencePattern
    Put32(b, 0x3006);
    Put32(b, 0x3009);
    const uint32_t startOffset = uint32_t(start.hour * 60 + start.minute);
    Put32(b, startOffset);
    Put32(b, startOffset + uint32_t(std::max(0, in.durationMinutes)));
    PutExceptions(b, exceptions);
    Put32(b, 0);  // ReservedBlock2Size
    return out;
}

}  // namespace bv::mailstore::ical

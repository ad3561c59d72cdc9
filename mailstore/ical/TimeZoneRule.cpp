#include "mailstore/ical/TimeZoneRule.h"

#include <libical/ical.h>

#include "mailstore/base/LittleEndian.h"
#include "mailstore/mapi/Utf16.h"

namespace bv::mailstore::ical {

namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, uint16_t(v));
    Put16(b, uint16_t(v >> 16));
}
void PutSystemTime(std::vector<uint8_t>& b, const Transition& t, bool used) {
    Put16(b, 0);  // wYear: every year
    Put16(b, used ? t.month : 0);
    Put16(b, used ? t.dayOfWeek : 0);
    Put16(b, used ? t.week : 0);
    Put16(b, used ? t.hour : 0);
    Put16(b, used ? t.minute : 0);
    Put16(b, 0);
    Put16(b, 0);
}

// One observance of a VTIMEZONE (STANDARD or DAYLIGHT) in force in `year`: its
// offset and its transition.
struct Observance {
    bool found = false;
    int offsetTo = 0;  // seconds east of UTC
    int startYear = 0;
    Transition when;
};

Observance ObservanceOf(icalcomponent* vtz, icalcomponent_kind kind, int year) {
    Observance best;
    for (icalcomponent* c = icalcomponent_get_first_component(vtz, kind); c;
         c = icalcomponent_get_next_component(vtz, kind)) {
        icalproperty* start = icalcomponent_get_first_property(c, ICAL_DTSTART_PROPERTY);
        icalproperty* to = icalcomponent_get_first_property(c, ICAL_TZOFFSETTO_PROPERTY);
        if (!start || !to) continue;
        const icaltimetype dt = icalproperty_get_dtstart(start);
        if (dt.year > year) continue;
        icalproperty* rrule = icalcomponent_get_first_property(c, ICAL_RRULE_PROPERTY);
        Transition t;
        t.month = uint16_t(dt.month);
        t.hour = uint16_t(dt.hour);
        t.minute = uint16_t(dt.minute);
        t.dayOfWeek = uint16_t(icaltime_day_of_week(dt) - 1);
        t.week = uint16_t((dt.day - 1) / 7 + 1);
        if (rrule) {
            const icalrecurrencetype r = icalproperty_get_rrule(rrule);
            if (!icaltime_is_null_time(r.until) && r.until.year < year) continue;  // ended before
            if (r.by_month[0] != ICAL_RECURRENCE_ARRAY_MAX) t.month = uint16_t(r.by_month[0]);
            if (r.by_day[0] != ICAL_RECURRENCE_ARRAY_MAX) {
                const int pos = icalrecurrencetype_day_position(r.by_day[0]);
                t.dayOfWeek = uint16_t(int(icalrecurrencetype_day_day_of_week(r.by_day[0])) - 1);
                t.week = uint16_t(pos < 0 || pos > 4 ? 5 : pos == 0 ? 1 : pos);
                // "BYMONTHDAY=8,9,...,14;BYDAY=SU" is the second Sunday.
                if (pos == 0 && r.by_month_day[0] != ICAL_RECURRENCE_ARRAY_MAX)
                    t.week = uint16_t(r.by_month_day[0] > 0 ? (r.by_month_day[0] - 1) / 7 + 1 : 5);
            }
        } else if (dt.year < year) {
            // A single transition in an earlier year: in force now only when nothing later is.
            t.month = 0;
        }
        if (!best.found || dt.year >= best.startYear) {
            best.found = true;
            best.startYear = dt.year;
            best.offsetTo = icalproperty_get_tzoffsetto(to);
            best.when = t;
        }
    }
    return best;
}

}  // namespace

ZoneRule ZoneRuleOf(icaltimezone* zone, int year) {
    ZoneRule rule;
    rule.name = "UTC";
    if (!zone || zone == icaltimezone_get_utc_timezone()) return rule;
    // A zone of the tz database is named by its location ("Europe/Berlin"), not by
    // the TZID libical gives it.
    if (const char* location = icaltimezone_get_location(zone); location && *location)
        rule.name = location;
    else if (const char* tzid = icaltimezone_get_tzid(zone))
        rule.name = tzid;
    icalcomponent* vtz = icaltimezone_get_component(zone);
    if (!vtz) return rule;
    const Observance std = ObservanceOf(vtz, ICAL_XSTANDARD_COMPONENT, year);
    const Observance dst = ObservanceOf(vtz, ICAL_XDAYLIGHT_COMPONENT, year);
    const bool yearly = std.found && dst.found && std.when.month != 0 && dst.when.month != 0;
    if (yearly) {
        rule.bias = -std.offsetTo / 60;
        rule.daylightBias = -(dst.offsetTo - std.offsetTo) / 60;
        rule.hasDaylight = rule.daylightBias != 0;
        rule.standard = std.when;
        rule.daylight = dst.when;
    } else {
        // No yearly change: the offset in force in the middle of the year.
        icaltimetype mid = icaltime_null_time();
        mid.year = year;
        mid.month = 7;
        mid.day = 1;
        int isDaylight = 0;
        rule.bias = -icaltimezone_get_utc_offset(zone, &mid, &isDaylight) / 60;
    }
    return rule;
}

std::vector<uint8_t> TimeZoneStruct(const ZoneRule& rule) {
    std::vector<uint8_t> b;
    Put32(b, uint32_t(rule.bias));
    Put32(b, 0);  // lStandardBias
    Put32(b, uint32_t(rule.hasDaylight ? rule.daylightBias : 0));
    Put16(b, 0);  // wStandardYear
    PutSystemTime(b, rule.standard, rule.hasDaylight);
    Put16(b, 0);  // wDaylightYear
    PutSystemTime(b, rule.daylight, rule.hasDaylight);
    return b;
}

std::vector<uint8_t> TimeZoneDefinition(const ZoneRule& rule, bool recurring) {
    const std::vector<uint8_t> key = mapi::Utf8ToUtf16Le(rule.name);
    const uint16_t cch = uint16_t(key.size() / 2);
    std::vector<uint8_t> b;
    b.push_back(0x02);  // bMajorVersion
    b.push_back(0x01);  // bMinorVersion
    Put16(b, uint16_t(6 + 2 * cch));  // cbHeader
    Put16(b, 0x0002);  // wReserved (TZDEFINITION_FLAG_VALID_KEYNAME)
    Put16(b, cch);
    b.insert(b.end(), key.begin(), key.begin() + 2 * cch);
    Put16(b, 1);  // cRules
    // TZRULE
    b.push_back(0x02);
    b.push_back(0x01);
    Put16(b, 0x003E);  // wReserved
    Put16(b, uint16_t(recurring ? 0x0003 : 0x0002));  // RECUR_CURRENT_TZREG | EFFECTIVE_TZREG
    Put16(b, 1601);  // wYear: from the beginning
    for (int i = 0; i < 14; ++i) b.push_back(0);  // X
    Put32(b, uint32_t(rule.bias));
    Put32(b, 0);
    Put32(b, uint32_t(rule.hasDaylight ? rule.daylightBias : 0));
    PutSystemTime(b, rule.standard, rule.hasDaylight);
    PutSystemTime(b, rule.daylight, rule.hasDaylight);
    return b;
}

}  // namespace bv::mailstore::ical

// A time zone as Outlook keeps it with an appointment: one bias and the two yearly
// transitions ([MS-OXOCAL] 2.2.1.39 PidLidTimeZoneStruct, 2.2.1.41 TZDEFINITION),
// taken from an iCalendar VTIMEZONE (the rules in force in a given year).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

typedef struct _icaltimezone icaltimezone;

namespace bv::mailstore::ical {

// SYSTEMTIME of a yearly transition: month, day of week (0 Sunday), week of the month
// (1-4, 5 for the last), local time of day.
struct Transition {
    uint16_t month = 0, dayOfWeek = 0, week = 0, hour = 0, minute = 0;
};

struct ZoneRule {
    std::string name;          // the TZID, kept as the rule's key name
    int32_t bias = 0;          // minutes: UTC = local standard time + bias
    int32_t daylightBias = 0;  // minutes added to bias in daylight time (-60 usually)
    bool hasDaylight = false;
    Transition standard, daylight;  // when standard / daylight time begins
};

// The rules of `zone` in force in `year`. UTC for a null zone.
ZoneRule ZoneRuleOf(icaltimezone* zone, int year);

// PidLidTimeZoneStruct: 48 bytes.
std::vector<uint8_t> TimeZoneStruct(const ZoneRule& rule);
// TZDEFINITION with one TZRULE, flagged as the effective rule (and for recurrences
// as the rule of the series).
std::vector<uint8_t> TimeZoneDefinition(const ZoneRule& rule, bool recurring);

}  // namespace bv::mailstore::ical

// The recurrence of a series as Outlook stores it: the AppointmentRecurrencePattern
// blob of PidLidAppointmentRecur ([MS-OXOCAL] 2.2.1.44), built from an RRULE with its
// deleted instances (EXDATE) and its changed instances (RECURRENCE-ID overrides).
// All times are wall-clock times in the series' time zone.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <libical/ical.h>

namespace bv::mailstore::ical {

struct RecurException {
    icaltimetype originalStart;  // the instance it replaces
    icaltimetype start, end;
    std::string subject;   // "" when unchanged
    std::string location;  // "" when unchanged
    bool busyChanged = false;
    int32_t busyStatus = 0;
};

struct RecurInput {
    icalrecurrencetype rule;
    icaltimetype start;  // the first instance, local wall-clock time
    int32_t durationMinutes = 0;
    std::vector<icaltimetype> deleted;  // EXDATE instances, local
    std::vector<RecurException> exceptions;
};

struct RecurResult {
    std::string error;  // set when the rule has no Outlook pattern
    std::vector<uint8_t> blob;
    int32_t recurrenceType = 0;  // PidLidRecurrenceType: 1 daily, 2 weekly, 3 monthly, 4 yearly
    std::string pattern;         // the rule in words (PidLidRecurrencePattern)
    icaltimetype lastDate;       // the date of the last instance; null when there is no end
};

RecurResult BuildAppointmentRecur(const RecurInput& in);

// Minutes from 1601-01-01 00:00 to a wall-clock time.
int64_t MinutesSince1601(const icaltimetype& t);

}  // namespace bv::mailstore::ical

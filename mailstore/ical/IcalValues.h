// Values of iCalendar components as the MAPI model wants them, shared by appointments
// and tasks: times with their zones resolved, text with CR LF, categories, sensitivity
// and the reminder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <libical/ical.h>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::ical {

// The zone wall-clock times without a zone (floating times, all-day dates) are taken
// in: the converting machine's own (TZ, else /etc/localtime), UTC when unknown.
icaltimezone* LocalZone();
// The zone of a time: UTC, its own, or LocalZone() for a floating time.
icaltimezone* ZoneOf(const icaltimetype& t);
// A time as a FILETIME (UTC).
int64_t FileTimeOf(const icaltimetype& t);
// The wall-clock time of `t` in `zone`, without a zone.
icaltimetype WallClock(const icaltimetype& t, icaltimezone* zone);
// A time of `prop` with its TZID resolved: a VTIMEZONE of the file, else a zone of
// the tz database of that name.
icaltimetype Resolve(icalcomponent* comp, icalproperty* prop, icaltimetype t);

std::string Str(const char* s);
// Text values keep their line breaks as CR LF.
std::string CrLf(const std::string& s);

// CATEGORIES, all of them, each once, in order.
std::vector<std::string> CategoriesOf(icalcomponent* comp);
// CLASS as PR_SENSITIVITY.
int32_t SensitivityOf(icalcomponent* comp);
// The first DISPLAY alarm as the reminder (PidLidReminderSet, Delta, Time, SignalTime)
// of an item starting at `startFt` and lasting `minutes`; no alarm: reminder not set.
void SetReminder(mapi::PropertyBag& p, icalcomponent* comp, int64_t startFt, int32_t minutes);

}  // namespace bv::mailstore::ical

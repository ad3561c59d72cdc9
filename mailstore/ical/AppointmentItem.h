// An iCalendar VEVENT as an Outlook appointment (IPM.Appointment): times with their
// time zone, all-day events, the recurrence with deleted and changed instances,
// organizer and attendees as the recipients of a meeting, location, description,
// categories, class, transparency and the first display alarm as the reminder.
#pragma once
#include <string>
#include <vector>

#include <libical/ical.h>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::ical {

// `event` sits in a VCALENDAR holding the file's time zones; `overrides` are the
// events changing single instances of it (RECURRENCE-ID). Throws std::runtime_error
// when the event cannot be converted.
mapi::Message AppointmentFromEvent(icalcomponent* event, const std::vector<icalcomponent*>& overrides);

}  // namespace bv::mailstore::ical

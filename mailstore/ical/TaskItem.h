// An iCalendar VTODO as an Outlook task (IPM.Task): subject, notes, start and due
// dates, status, percent complete and completion date, priority as importance,
// categories, class and the first display alarm as the reminder.
#pragma once
#include <libical/ical.h>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::ical {

// `todo` sits in a VCALENDAR holding the file's time zones.
mapi::Message TaskFromTodo(icalcomponent* todo);

}  // namespace bv::mailstore::ical

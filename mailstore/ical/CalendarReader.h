// Reads the events and tasks of an iCalendar file one at a time as Outlook appointments
// (IPM.Appointment) and tasks (IPM.Task). The file is read twice: a first pass keeps its time zones
// (VTIMEZONE) and notes where overrides of recurring events (RECURRENCE-ID) are,
// the second turns each VEVENT into an appointment, its overrides as exceptions. Only
// the event at hand is held in memory (besides 8 bytes and a count per UID the file
// gives, for the items' identities), so a file of any size is read in little memory.
// Each item carries its search key (CalendarIdentity).
#pragma once
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <string>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::ical {

struct CalendarItem {
    mapi::Message message;
    bool task = false;  // a VTODO: an IPM.Task, else an appointment
    int line = 0;       // the line of its BEGIN:VEVENT / BEGIN:VTODO
    std::string error;  // set when the item cannot be read
};

class CalendarReader {
public:
    // Opens a new stream at the start of the calendar's bytes; each call gives one of
    // its own (the reader holds up to two at once). Null when the bytes cannot be read.
    using Opener = std::function<std::unique_ptr<std::istream>()>;

    explicit CalendarReader(const std::filesystem::path& path);
    explicit CalendarReader(const Opener& open);
    ~CalendarReader();
    // Why the file cannot be read at all; "" when it can.
    const std::string& FileError() const;
    // The next event or task, also one that cannot be read (its `error` set). False at
    // the end.
    bool Next(CalendarItem& item);

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace bv::mailstore::ical

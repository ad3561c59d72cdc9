// The calendar reader of a build without libical: every file is refused with a reason.
#include "mailstore/ical/CalendarReader.h"

namespace bv::mailstore::ical {

struct CalendarReader::State {
    std::string fileError = "this build of the program cannot read calendars (it was built without libical)";
};

CalendarReader::CalendarReader(const std::filesystem::path&) : s_(std::make_unique<State>()) {}
CalendarReader::CalendarReader(const Opener&) : s_(std::make_unique<State>()) {}
CalendarReader::~CalendarReader() = default;
const std::string& CalendarReader::FileError() const { return s_->fileError; }
bool CalendarReader::Next(CalendarItem&) { return false; }

}  // namespace bv::mailstore::ical

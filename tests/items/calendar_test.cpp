// iCalendar files read event by event, each event as an appointment: times and zones,
// the recurrence blob Outlook reads, meetings, reminders, and events that fail alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "mailstore/ical/CalendarReader.h"
#include "mailstore/mapi/AppointmentProps.h"
#include "mailstore/mapi/TaskProps.h"

namespace {

using namespace bv::mailstore::mapi;
using bv::mailstore::ical::CalendarItem;
using bv::mailstore::ical::CalendarReader;
namespace fs = std::filesystem;

// Floating times and all-day dates are taken in the machine's zone: fixed here, before
// anything asks for it. Windows takes the zone from the system, not from TZ: there the
// test runs with the system's zone set to the same (under Wine: TZ=Europe/Berlin around it).
#ifdef _WIN32
#define timegm _mkgmtime
#else
const bool kZoneSet = (setenv("TZ", "Europe/Berlin", 1), true);
#endif

struct Read {
    std::vector<CalendarItem> items;
    int tasks = 0;
    std::string fileError;
};

Read ReadText(const std::string& text) {
    const fs::path path = fs::temp_directory_path() / ("items_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                                                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ics");
    { std::ofstream(path, std::ios::binary) << text; }
    Read r;
    {
        CalendarReader reader(path);
        r.fileError = reader.FileError();
        CalendarItem item;
        while (reader.Next(item)) r.items.push_back(std::move(item));
    }
    for (const CalendarItem& i : r.items) r.tasks += i.task;
    fs::remove(path);  // once the reader has closed it: Windows removes no open file
    return r;
}

std::string Cal(const std::string& body) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//test//EN\r\n"
           "BEGIN:VTIMEZONE\r\nTZID:Eastern\r\n"
           "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
           "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
           "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
           "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n" +
           body + "END:VCALENDAR\r\n";
}

const Property* Named(const Message& m, const PropertyName& n) { return m.props.FindNamed(n); }
int64_t Time(const Message& m, uint32_t lid) {
    const Property* p = Named(m, AppointmentLid(lid));
    return p ? std::get<int64_t>(p->value) : 0;
}
int32_t Long(const Message& m, const PropertyName& n) {
    const Property* p = Named(m, n);
    return p ? std::get<int32_t>(p->value) : -1;
}
bool Bool(const Message& m, const PropertyName& n) {
    const Property* p = Named(m, n);
    return p && std::get<bool>(p->value);
}
const Binary& Blob(const Message& m, uint32_t lid) {
    static const Binary none;
    const Property* p = Named(m, AppointmentLid(lid));
    return p ? std::get<Binary>(p->value) : none;
}
uint32_t U32(const Binary& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24; }
uint16_t U16(const Binary& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
int64_t Utc(int y, int mo, int d, int h, int mi) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    return UnixToFileTime(int64_t(timegm(&t)));
}
// Minutes from 1601 of a date at midnight.
uint32_t DayMinutes(int y, int mo, int d) { return uint32_t((FileTimeToUnix(Utc(y, mo, d, 0, 0)) + 11644473600LL) / 60); }

TEST(ICalAppointment, TimesInZonesUtcFloatingAllDayAndDuration) {
    const Read r = ReadText(Cal(
        "BEGIN:VEVENT\r\nUID:a\r\nSUMMARY:Zoned\r\nDTSTART;TZID=Eastern:20240710T090000\r\n"
        "DURATION:PT1H30M\r\nLOCATION:Room 1\\, east\r\nDESCRIPTION:Agenda\\nItem\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:b\r\nSUMMARY:Utc\r\nDTSTART:20240110T090000Z\r\nDTEND:20240110T100000Z\r\n"
        "TRANSP:TRANSPARENT\r\nCLASS:PRIVATE\r\nCATEGORIES:One,Two\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:c\r\nSUMMARY:Floating\r\nDTSTART:20240110T090000\r\nDTEND:20240110T093000\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:d\r\nSUMMARY:All day\r\nDTSTART;VALUE=DATE:20240301\r\nDTEND;VALUE=DATE:20240303\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:e\r\nSUMMARY:Olson name\r\nDTSTART;TZID=Asia/Tokyo:20240110T090000\r\nEND:VEVENT\r\n"));
    ASSERT_EQ(r.fileError, "");
    ASSERT_EQ(r.items.size(), 5u);
    for (const auto& i : r.items) ASSERT_EQ(i.error, "");
    const Message& zoned = r.items[0].message;
    EXPECT_EQ(zoned.props.GetString(PR_MESSAGE_CLASS), "IPM.Appointment");
    EXPECT_EQ(Time(zoned, LID_APPOINTMENT_START_WHOLE), Utc(2024, 7, 10, 13, 0));  // EDT
    EXPECT_EQ(Time(zoned, LID_APPOINTMENT_END_WHOLE), Utc(2024, 7, 10, 14, 30));
    EXPECT_EQ(Long(zoned, AppointmentLid(LID_APPOINTMENT_DURATION)), 90);
    EXPECT_EQ(std::get<std::string>(Named(zoned, AppointmentLid(LID_LOCATION))->value), "Room 1, east");
    EXPECT_EQ(zoned.props.GetString(PR_BODY), "Agenda\r\nItem");
    EXPECT_EQ(Long(zoned, AppointmentLid(LID_BUSY_STATUS)), BUSY_BUSY);
    // The start's zone: bias 300 minutes, daylight 60 minutes earlier, from the 2nd Sunday of March.
    const Binary& tz = Blob(zoned, LID_TZ_DEFINITION_START_DISPLAY);
    ASSERT_GE(tz.size(), 10u);
    const size_t rule = 6 + U16(tz, 2) - 2;  // past the header; TZRULE follows cRules
    EXPECT_EQ(U16(tz, rule - 2), 1);
    EXPECT_EQ(int32_t(U32(tz, rule + 22)), 300);
    EXPECT_EQ(int32_t(U32(tz, rule + 30)), -60);
    EXPECT_EQ(U16(tz, rule + 34 + 16 + 2), 3);  // stDaylightDate.wMonth
    EXPECT_EQ(U16(tz, rule + 34 + 16 + 6), 2);  // wDay: the second week

    const Message& utc = r.items[1].message;
    EXPECT_EQ(Time(utc, LID_APPOINTMENT_START_WHOLE), Utc(2024, 1, 10, 9, 0));
    EXPECT_EQ(Long(utc, AppointmentLid(LID_BUSY_STATUS)), BUSY_FREE);
    EXPECT_EQ(utc.props.GetInt(PR_SENSITIVITY), SENSITIVITY_PRIVATE);
    const Property* cats = utc.props.FindNamed(PropertyName{PS_PUBLIC_STRINGS, std::string("Keywords")});
    ASSERT_NE(cats, nullptr);
    EXPECT_EQ(std::get<std::vector<std::string>>(cats->value), (std::vector<std::string>{"One", "Two"}));
    // Floating times and all-day dates are wall-clock times of this machine (TZ=Europe/Berlin).
    EXPECT_EQ(Time(r.items[2].message, LID_APPOINTMENT_START_WHOLE), Utc(2024, 1, 10, 8, 0));
    const Message& allDay = r.items[3].message;
    EXPECT_TRUE(Bool(allDay, AppointmentLid(LID_APPOINTMENT_SUB_TYPE)));
    EXPECT_EQ(Time(allDay, LID_APPOINTMENT_START_WHOLE), Utc(2024, 2, 29, 23, 0));
    EXPECT_EQ(Time(allDay, LID_APPOINTMENT_END_WHOLE), Utc(2024, 3, 2, 23, 0));
    EXPECT_EQ(Time(r.items[4].message, LID_APPOINTMENT_START_WHOLE), Utc(2024, 1, 10, 0, 0));
}

TEST(ICalAppointment, WeeklyRecurrenceWithDeletedAndChangedInstances) {
    const Read r = ReadText(Cal(
        "BEGIN:VEVENT\r\nUID:over\r\nRECURRENCE-ID;TZID=Eastern:20240115T100000\r\nSUMMARY:Moved\r\n"
        "DTSTART;TZID=Eastern:20240116T110000\r\nDTEND;TZID=Eastern:20240116T120000\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:over\r\nSUMMARY:Weekly\r\nDTSTART;TZID=Eastern:20240101T100000\r\n"
        "DTEND;TZID=Eastern:20240101T110000\r\nRRULE:FREQ=WEEKLY;BYDAY=MO,WE;COUNT=6\r\n"
        "EXDATE;TZID=Eastern:20240110T100000\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:over\r\nRECURRENCE-ID;TZID=Eastern:20240103T100000\r\nSTATUS:CANCELLED\r\n"
        "DTSTART;TZID=Eastern:20240103T100000\r\nEND:VEVENT\r\n"));
    ASSERT_EQ(r.items.size(), 1u);  // the overrides go with their series
    const Message& m = r.items[0].message;
    ASSERT_EQ(r.items[0].error, "");
    EXPECT_TRUE(Bool(m, AppointmentLid(LID_RECURRING)));
    EXPECT_EQ(Long(m, AppointmentLid(LID_RECURRENCE_TYPE)), 2);
    const Binary& b = Blob(m, LID_APPOINTMENT_RECUR);
    ASSERT_GT(b.size(), 60u);
    EXPECT_EQ(U16(b, 4), 0x200B);  // weekly
    EXPECT_EQ(U16(b, 6), 1);       // week pattern
    EXPECT_EQ(U32(b, 14), 1u);     // every week
    EXPECT_EQ(U32(b, 22), 0x2u | 0x8u);  // Monday, Wednesday
    EXPECT_EQ(U32(b, 26), 0x2022u);      // ends after a count
    EXPECT_EQ(U32(b, 30), 6u);
    // Deleted: Jan 3 (cancelled), Jan 10 (EXDATE), Jan 15 (moved), in order.
    ASSERT_EQ(U32(b, 38), 3u);
    EXPECT_EQ(U32(b, 42), DayMinutes(2024, 1, 3));
    EXPECT_EQ(U32(b, 46), DayMinutes(2024, 1, 10));
    EXPECT_EQ(U32(b, 50), DayMinutes(2024, 1, 15));
    ASSERT_EQ(U32(b, 54), 1u);
    EXPECT_EQ(U32(b, 58), DayMinutes(2024, 1, 16));
    EXPECT_EQ(U32(b, 62), DayMinutes(2024, 1, 1));   // StartDate
    EXPECT_EQ(U32(b, 66), DayMinutes(2024, 1, 17));  // EndDate: the sixth instance
    EXPECT_EQ(U32(b, 78), 600u);                     // 10:00
    EXPECT_EQ(U32(b, 82), 660u);
    ASSERT_EQ(U16(b, 86), 1);  // one exception
    EXPECT_EQ(U32(b, 88), DayMinutes(2024, 1, 16) + 660);
    EXPECT_EQ(U32(b, 96), DayMinutes(2024, 1, 15) + 600);
    EXPECT_EQ(U16(b, 100), 0x0001);  // its subject changed
    // The changed instance is also a hidden embedded appointment.
    ASSERT_EQ(m.attachments.size(), 1u);
    const Attachment& a = m.attachments[0];
    EXPECT_EQ(a.props.GetInt(PR_ATTACH_METHOD), ATTACH_EMBEDDED_MSG);
    EXPECT_EQ(a.props.GetInt(PR_ATTACHMENT_FLAGS), 2);
    ASSERT_NE(a.embedded, nullptr);
    EXPECT_EQ(a.embedded->props.GetString(PR_SUBJECT), "Moved");
    EXPECT_EQ(Time(*a.embedded, LID_EXCEPTION_REPLACE_TIME), Utc(2024, 1, 15, 15, 0));
    EXPECT_EQ(Time(*a.embedded, LID_APPOINTMENT_START_WHOLE), Utc(2024, 1, 16, 16, 0));
}

TEST(ICalAppointment, MonthlyYearlyAndRulesWithoutAnOutlookPattern) {
    const Read r = ReadText(Cal(
        "BEGIN:VEVENT\r\nUID:m\r\nDTSTART:20240126T090000Z\r\nRRULE:FREQ=MONTHLY;BYDAY=-1FR;UNTIL=20240601T000000Z\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:y\r\nDTSTART;VALUE=DATE:20240229\r\nRRULE:FREQ=YEARLY;INTERVAL=4\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:h\r\nSUMMARY:Hourly\r\nDTSTART:20240126T090000Z\r\nRRULE:FREQ=HOURLY;COUNT=3\r\nEND:VEVENT\r\n"
        // BYHOUR and BYMINUTE that only restate the start: a weekly series like any other.
        "BEGIN:VEVENT\r\nUID:w\r\nDTSTART;TZID=Europe/Berlin:20240105T093000\r\n"
        "RRULE:FREQ=WEEKLY;BYDAY=FR;BYHOUR=9;BYMINUTE=30;COUNT=4\r\nEND:VEVENT\r\n"
        // Two hours a day have no pattern.
        "BEGIN:VEVENT\r\nUID:t\r\nDTSTART;TZID=Europe/Berlin:20240105T093000\r\n"
        "RRULE:FREQ=DAILY;BYHOUR=9,17;COUNT=4\r\nEND:VEVENT\r\n"
        // Added dates: the series stays, the dates go into the notes, with a warning.
        "BEGIN:VEVENT\r\nUID:r\r\nDESCRIPTION:Standup\r\nDTSTART:20240105T090000Z\r\nRRULE:FREQ=DAILY;COUNT=2\r\n"
        "RDATE:20240301T090000Z,20240302T090000Z\r\nEXRULE:FREQ=WEEKLY;BYDAY=SA,SU\r\nEND:VEVENT\r\n"));
    ASSERT_EQ(r.items.size(), 6u);
    const Binary& monthly = Blob(r.items[0].message, LID_APPOINTMENT_RECUR);
    ASSERT_GT(monthly.size(), 40u);
    EXPECT_EQ(U16(monthly, 4), 0x200C);
    EXPECT_EQ(U16(monthly, 6), 3);     // the n-th weekday
    EXPECT_EQ(U32(monthly, 22), 0x20u);  // Friday
    EXPECT_EQ(U32(monthly, 26), 5u);     // the last
    EXPECT_EQ(U32(monthly, 30), 0x2021u);  // ends by a date
    EXPECT_EQ(U32(monthly, 34), 5u);       // Jan..May
    const Binary& yearly = Blob(r.items[1].message, LID_APPOINTMENT_RECUR);
    ASSERT_GT(yearly.size(), 40u);
    EXPECT_EQ(U16(yearly, 4), 0x200D);
    EXPECT_EQ(U32(yearly, 14), 48u);  // months
    EXPECT_EQ(U32(yearly, 22), 29u);  // day of month
    EXPECT_EQ(U32(yearly, 26), 0x2023u);  // no end
    // No pattern: one appointment, the rule in its notes and a warning.
    const Message& hourly = r.items[2].message;
    EXPECT_FALSE(Bool(hourly, AppointmentLid(LID_RECURRING)));
    EXPECT_EQ(Blob(hourly, LID_APPOINTMENT_RECUR).size(), 0u);
    EXPECT_NE(hourly.props.GetString(PR_BODY).value_or("").find("FREQ=HOURLY"), std::string::npos);
    EXPECT_EQ(hourly.warnings.size(), 1u);
    const Message& restated = r.items[3].message;
    EXPECT_TRUE(restated.warnings.empty()) << restated.warnings[0];
    const Binary& weekly = Blob(restated, LID_APPOINTMENT_RECUR);
    ASSERT_GT(weekly.size(), 40u);
    EXPECT_EQ(U16(weekly, 4), 0x200B);
    EXPECT_EQ(U32(weekly, 22), 0x20u);     // Friday
    EXPECT_EQ(U32(weekly, 26), 0x2022u);   // ends after a count
    EXPECT_EQ(U32(weekly, 30), 4u);
    EXPECT_EQ(Blob(r.items[4].message, LID_APPOINTMENT_RECUR).size(), 0u);
    EXPECT_EQ(r.items[4].message.warnings.size(), 1u);
    const Message& added = r.items[5].message;
    EXPECT_TRUE(Bool(added, AppointmentLid(LID_RECURRING)));
    // A rule of left-out instances: said, and kept in the notes.
    ASSERT_EQ(added.warnings.size(), 2u);
    EXPECT_NE(added.warnings[0].find("EXRULE:FREQ=WEEKLY;BYDAY=SA,SU"), std::string::npos) << added.warnings[0];
    EXPECT_NE(added.warnings[1].find("RDATE 20240301T090000Z, 20240302T090000Z"), std::string::npos) << added.warnings[1];
    EXPECT_EQ(added.props.GetString(PR_BODY).value_or(""),
              "Standup\r\n\r\nExcept: FREQ=WEEKLY;BYDAY=SA,SU\r\n\r\nAlso on: 20240301T090000Z, 20240302T090000Z");
}

TEST(ICalAppointment, MeetingRecipientsAndReminder) {
    const Read r = ReadText(Cal(
        "BEGIN:VEVENT\r\nUID:meet\r\nSUMMARY:Review\r\nDTSTART:20240301T150000Z\r\nDTEND:20240301T160000Z\r\n"
        "ORGANIZER;CN=Olga Organizer:mailto:olga@example.org\r\n"
        "ATTENDEE;CN=Rita;ROLE=REQ-PARTICIPANT;PARTSTAT=ACCEPTED:mailto:rita@example.org\r\n"
        "ATTENDEE;ROLE=OPT-PARTICIPANT;PARTSTAT=DECLINED:mailto:otto@example.org\r\n"
        "ATTENDEE;CUTYPE=ROOM;PARTSTAT=TENTATIVE:mailto:room@example.org\r\n"
        "BEGIN:VALARM\r\nACTION:AUDIO\r\nTRIGGER:-PT5M\r\nEND:VALARM\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:own\r\nDTSTART:20240301T150000Z\r\nORGANIZER:mailto:me@example.org\r\n"
        "ATTENDEE;PARTSTAT=ACCEPTED:mailto:me@example.org\r\nEND:VEVENT\r\n"));
    ASSERT_EQ(r.items.size(), 2u);
    // One's own event, organizer and only attendee: no meeting, no recipients.
    EXPECT_EQ(r.items[1].message.recipients.size(), 0u);
    EXPECT_EQ(Long(r.items[1].message, AppointmentLid(LID_APPOINTMENT_STATE_FLAGS)), 0);
    EXPECT_EQ(r.items[1].message.props.GetString(PR_SENDER_EMAIL_ADDRESS), "me@example.org");
    const Message& m = r.items[0].message;
    ASSERT_EQ(m.recipients.size(), 4u);
    EXPECT_EQ(m.recipients[0].Props().GetString(PR_DISPLAY_NAME), "Olga Organizer");
    EXPECT_EQ(m.recipients[0].Props().GetInt(PR_RECIPIENT_FLAGS), RECIP_SENDABLE | RECIP_ORGANIZER);
    EXPECT_EQ(m.recipients[1].Props().GetInt(PR_RECIPIENT_TYPE), MAPI_TO);
    EXPECT_EQ(m.recipients[1].Props().GetInt(PR_RECIPIENT_TRACKSTATUS), RESPONSE_ACCEPTED);
    EXPECT_EQ(m.recipients[2].Props().GetInt(PR_RECIPIENT_TYPE), MAPI_CC);
    EXPECT_EQ(m.recipients[2].Props().GetInt(PR_RECIPIENT_TRACKSTATUS), RESPONSE_DECLINED);
    EXPECT_EQ(m.recipients[3].Props().GetInt(PR_RECIPIENT_TYPE), MAPI_BCC);
    EXPECT_EQ(m.props.GetString(PR_SENT_REPRESENTING_EMAIL_ADDRESS), "olga@example.org");
    EXPECT_EQ(Long(m, AppointmentLid(LID_APPOINTMENT_STATE_FLAGS)) & ASF_MEETING, ASF_MEETING);
    EXPECT_TRUE(Bool(m, CommonLid(LID_REMINDER_SET)));
    EXPECT_EQ(Long(m, CommonLid(LID_REMINDER_DELTA)), 15);  // the display alarm, not the sound
}

TEST(ICalReader, BrokenEventsFailAloneBetweenTasksAndEventsAndNonCalendarsAreRefused) {
    const Read r = ReadText(
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
        "BEGIN:VEVENT\r\nUID:1\r\nSUMMARY:no start\r\nEND:VEVENT\r\n"
        "BEGIN:VTODO\r\nUID:t\r\nSUMMARY:task\r\nEND:VTODO\r\n"
        "BEGIN:VEVENT\r\nUID:2\r\nSUMMARY:fine\r\nDTSTART:20240101T100000Z\r\nEND:VEVENT\r\n"
        "BEGIN:VEVENT\r\nUID:3\r\nSUMMARY:unended\r\nDTSTART:20240101T100000Z\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(r.items.size(), 4u);
    EXPECT_EQ(r.items[0].line, 3);
    EXPECT_NE(r.items[0].error.find("DTSTART"), std::string::npos);
    EXPECT_EQ(r.items[1].error, "");
    EXPECT_EQ(r.items[1].message.props.GetString(PR_MESSAGE_CLASS), "IPM.Task");
    EXPECT_EQ(r.items[2].error, "");
    EXPECT_EQ(r.items[2].message.props.GetString(PR_SUBJECT), "fine");
    EXPECT_EQ(r.items[3].line, 16);
    EXPECT_EQ(r.items[3].error, "the event has no END:VEVENT");
    EXPECT_EQ(r.tasks, 1);
    EXPECT_NE(ReadText("From someone\r\nnot a calendar\r\n").fileError, "");
}

TEST(ICalTask, StatusDatesPriorityAndReminder) {
    const Read r = ReadText(Cal(
        "BEGIN:VTODO\r\nUID:t1\r\nSUMMARY:Report\r\nDTSTART;VALUE=DATE:20240304\r\nDUE;TZID=Eastern:20240308T170000\r\n"
        "STATUS:IN-PROCESS\r\nPERCENT-COMPLETE:40\r\nPRIORITY:1\r\nCATEGORIES:Work\r\n"
        "BEGIN:VALARM\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\nTRIGGER:-PT1H\r\nEND:VALARM\r\nEND:VTODO\r\n"
        "BEGIN:VTODO\r\nUID:t2\r\nSUMMARY:Done\r\nCOMPLETED:20240102T120000Z\r\nRRULE:FREQ=WEEKLY\r\nEND:VTODO\r\n"));
    ASSERT_EQ(r.items.size(), 2u);
    ASSERT_TRUE(r.items[0].task);
    const Message& t = r.items[0].message;
    EXPECT_EQ(t.props.GetString(PR_MESSAGE_CLASS), "IPM.Task");
    EXPECT_EQ(Long(t, TaskLid(LID_TASK_STATUS)), TASK_IN_PROGRESS);
    EXPECT_DOUBLE_EQ(std::get<double>(Named(t, TaskLid(LID_PERCENT_COMPLETE))->value), 0.4);
    // The dates as local dates at midnight; the common times in UTC (TZ=Europe/Berlin).
    EXPECT_EQ(std::get<int64_t>(Named(t, TaskLid(LID_TASK_START_DATE))->value), Utc(2024, 3, 4, 0, 0));
    EXPECT_EQ(std::get<int64_t>(Named(t, TaskLid(LID_TASK_DUE_DATE))->value), Utc(2024, 3, 8, 0, 0));
    EXPECT_EQ(std::get<int64_t>(Named(t, CommonLid(LID_COMMON_END))->value), Utc(2024, 3, 7, 23, 0));
    EXPECT_EQ(t.props.GetInt(PR_IMPORTANCE), IMPORTANCE_HIGH);
    EXPECT_TRUE(Bool(t, CommonLid(LID_REMINDER_SET)));
    EXPECT_EQ(Long(t, CommonLid(LID_REMINDER_DELTA)), 60);
    const Message& done = r.items[1].message;
    EXPECT_EQ(Long(done, TaskLid(LID_TASK_STATUS)), TASK_COMPLETE);
    EXPECT_TRUE(Bool(done, TaskLid(LID_TASK_COMPLETE)));
    EXPECT_EQ(std::get<int64_t>(Named(done, TaskLid(LID_TASK_DATE_COMPLETED))->value), Utc(2024, 1, 2, 0, 0));
    EXPECT_EQ(done.warnings.size(), 1u);  // its rule is kept in the notes only
    EXPECT_NE(done.props.GetString(PR_BODY).value_or("").find("FREQ=WEEKLY"), std::string::npos);
}

Binary KeyOf(const CalendarItem& item) {
    EXPECT_EQ(item.error, "");
    const Binary* key = item.message.props.GetBinary(PR_SEARCH_KEY);
    return key ? *key : Binary();
}

// How a store recognises an appointment or task it holds already: the kind, the UID and
// the RECURRENCE-ID of an instance changed apart from its series; without a UID, the
// content of the event.
TEST(ICalReader, IdentityIsKindUidAndRecurrenceIdOrTheContent) {
    const std::string master = "BEGIN:VEVENT\r\nUID:weekly-1\r\nDTSTAMP:20240101T000000Z\r\nSUMMARY:Weekly\r\n"
                               "DTSTART;TZID=Eastern:20240101T100000\r\nDTEND;TZID=Eastern:20240101T110000\r\n"
                               "RRULE:FREQ=WEEKLY;COUNT=6\r\nEND:VEVENT\r\n";
    const std::string moved = "BEGIN:VEVENT\r\nUID:weekly-1\r\nRECURRENCE-ID;TZID=Eastern:20240115T100000\r\n"
                              "SUMMARY:Moved\r\nDTSTART;TZID=Eastern:20240116T110000\r\n"
                              "DTEND;TZID=Eastern:20240116T120000\r\nEND:VEVENT\r\n";
    const std::string noUid = "BEGIN:VEVENT\r\nDTSTAMP:20240101T000000Z\r\nSUMMARY:Lunch\r\n"
                              "DTSTART:20240105T120000Z\r\nEND:VEVENT\r\n";
    const Read series = ReadText(Cal(moved + master + noUid + "BEGIN:VTODO\r\nUID:weekly-1\r\nSUMMARY:Task\r\nEND:VTODO\r\n"));
    ASSERT_EQ(series.items.size(), 3u);  // the changed instance goes with its series
    const Binary seriesKey = KeyOf(series.items[0]), lunch = KeyOf(series.items[1]), task = KeyOf(series.items[2]);
    EXPECT_EQ(seriesKey.size(), 16u);
    EXPECT_NE(task, seriesKey);  // a task is no event of the same UID
    // The series alone (an export made before the instance was moved) is the same item.
    const Read alone = ReadText(Cal(noUid + master));
    ASSERT_EQ(alone.items.size(), 2u);
    EXPECT_EQ(KeyOf(alone.items[0]), lunch);
    EXPECT_EQ(KeyOf(alone.items[1]), seriesKey);
    // The changed instance without its series is an item of its own, apart from the series.
    const Read instance = ReadText(Cal(moved));
    ASSERT_EQ(instance.items.size(), 1u);
    EXPECT_NE(KeyOf(instance.items[0]), seriesKey);
    const Read other = ReadText(Cal(std::string(moved).replace(moved.find("0115T"), 5, "0122T")));
    EXPECT_NE(KeyOf(other.items.at(0)), KeyOf(instance.items[0]));
    // Without a UID: written at another time, folded and with LF line ends, the same
    // event; with another summary another one.
    const Read restamped = ReadText(Cal("BEGIN:VEVENT\nDTSTAMP:20250601T101010Z\nSUMMARY:Lu\n nch\n"
                                        "DTSTART:20240105T120000Z\nEND:VEVENT\n"));
    EXPECT_EQ(KeyOf(restamped.items.at(0)), lunch);
    const Read dinner = ReadText(Cal("BEGIN:VEVENT\r\nSUMMARY:Dinner\r\nDTSTART:20240105T120000Z\r\nEND:VEVENT\r\n"));
    EXPECT_NE(KeyOf(dinner.items.at(0)), lunch);

    // A file that gives one UID to two different events (as this public one does)
    // keeps both.
    std::vector<Binary> example;
    {
        CalendarReader reader(fs::path(BV_TEST_DATA) / "calendars" / "icalendar-example.ics");
        CalendarItem item;
        while (reader.Next(item)) example.push_back(KeyOf(item));
    }
    ASSERT_EQ(example.size(), 2u);
    EXPECT_NE(example[0], example[1]);

    // Every file of the public test data read twice gives its items the same keys.
    for (const char* name : {"libical-2446.ics", "vobject-radicale-0827.ics", "vobject-vtodo.ics",
                             "icalendar-example.ics", "icalendar-exdates.ics"}) {
        const fs::path path = fs::path(BV_TEST_DATA) / "calendars" / name;
        std::vector<Binary> first, second;
        for (std::vector<Binary>* keys : {&first, &second}) {
            CalendarReader reader(path);
            CalendarItem item;
            while (reader.Next(item))
                if (item.error.empty()) keys->push_back(KeyOf(item));
        }
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_EQ(first, second) << name;
    }
}

}  // namespace

#include "mailstore/ical/TaskItem.h"

#include <algorithm>

#include "mailstore/ical/IcalValues.h"
#include "mailstore/mapi/AppointmentProps.h"
#include "mailstore/mapi/TaskProps.h"

namespace bv::mailstore::ical {

namespace {

using namespace bv::mailstore::mapi;

const PropertyName kKeywords{PS_PUBLIC_STRINGS, std::string("Keywords")};

// A time of the task: `t` resolved, or null.
icaltimetype TimeOf(icalcomponent* todo, icalproperty_kind kind) {
    icalproperty* p = icalcomponent_get_first_property(todo, kind);
    if (!p) return icaltime_null_time();
    icaltimetype t = icalvalue_get_datetime(icalproperty_get_value(p));
    if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t)) return icaltime_null_time();
    return Resolve(todo, p, t);
}

// The local date of `t` at midnight, written as if it were UTC (how Outlook keeps a
// task's dates), and the UTC time of that midnight.
void SetDate(PropertyBag& p, const icaltimetype& t, uint32_t taskLid, uint32_t commonLid) {
    icaltimetype day = t.is_date ? t : WallClock(t, LocalZone());
    day.hour = day.minute = day.second = 0;
    day.is_date = 0;
    day.zone = icaltimezone_get_utc_timezone();
    p.SetNamed(TaskLid(taskLid), PT_SYSTIME, FileTimeOf(day));
    day.zone = LocalZone();
    p.SetNamed(CommonLid(commonLid), PT_SYSTIME, FileTimeOf(day));
}

}  // namespace

Message TaskFromTodo(icalcomponent* todo) {
    Message m;
    PropertyBag& p = m.props;
    const std::string subject = CrLf(Str(icalcomponent_get_summary(todo)));
    p.SetString(PR_SUBJECT, subject);
    p.SetString(PR_NORMALIZED_SUBJECT, subject);
    p.SetString(PR_CONVERSATION_TOPIC, subject);
    std::string body = CrLf(Str(icalcomponent_get_description(todo)));

    const icaltimetype start = TimeOf(todo, ICAL_DTSTART_PROPERTY);
    icaltimetype due = TimeOf(todo, ICAL_DUE_PROPERTY);
    if (icaltime_is_null_time(due) && !icaltime_is_null_time(start)) {
        if (icalproperty* d = icalcomponent_get_first_property(todo, ICAL_DURATION_PROPERTY))
            due = icaltime_add(start, icalproperty_get_duration(d));
    }
    if (!icaltime_is_null_time(start)) SetDate(p, start, LID_TASK_START_DATE, LID_COMMON_START);
    if (!icaltime_is_null_time(due)) SetDate(p, due, LID_TASK_DUE_DATE, LID_COMMON_END);

    // Status, percent complete, completion.
    const icalproperty_status status = icalcomponent_get_status(todo);
    int32_t percent = 0;
    if (icalproperty* pc = icalcomponent_get_first_property(todo, ICAL_PERCENTCOMPLETE_PROPERTY))
        percent = std::clamp(icalproperty_get_percentcomplete(pc), 0, 100);
    const icaltimetype completed = TimeOf(todo, ICAL_COMPLETED_PROPERTY);
    const bool done = status == ICAL_STATUS_COMPLETED || percent == 100 || !icaltime_is_null_time(completed);
    int32_t taskStatus = percent > 0 ? TASK_IN_PROGRESS : TASK_NOT_STARTED;
    if (status == ICAL_STATUS_INPROCESS) taskStatus = TASK_IN_PROGRESS;
    if (status == ICAL_STATUS_CANCELLED) taskStatus = TASK_DEFERRED;
    if (done) {
        taskStatus = TASK_COMPLETE;
        percent = 100;
    }
    p.SetNamed(TaskLid(LID_TASK_STATUS), PT_LONG, taskStatus);
    p.SetNamed(TaskLid(LID_PERCENT_COMPLETE), PT_DOUBLE, percent / 100.0);
    p.SetNamed(TaskLid(LID_TASK_COMPLETE), PT_BOOLEAN, done);
    if (!icaltime_is_null_time(completed)) {
        icaltimetype day = WallClock(completed, LocalZone());
        day.hour = day.minute = day.second = 0;
        day.zone = icaltimezone_get_utc_timezone();
        p.SetNamed(TaskLid(LID_TASK_DATE_COMPLETED), PT_SYSTIME, FileTimeOf(day));
    }
    p.SetNamed(TaskLid(LID_TASK_STATE), PT_LONG, 1);  // a task of its own, not assigned
    p.SetNamed(TaskLid(LID_TASK_OWNERSHIP), PT_LONG, 0);
    p.SetNamed(TaskLid(LID_TASK_ACCEPTANCE_STATE), PT_LONG, 0);
    p.SetNamed(TaskLid(LID_TEAM_TASK), PT_BOOLEAN, false);
    p.SetNamed(TaskLid(LID_TASK_FRECURRING), PT_BOOLEAN, false);

    // PRIORITY 1-4 high, 5 or none normal, 6-9 low.
    int32_t importance = IMPORTANCE_NORMAL;
    if (icalproperty* pr = icalcomponent_get_first_property(todo, ICAL_PRIORITY_PROPERTY)) {
        const int v = icalproperty_get_priority(pr);
        if (v >= 1 && v <= 4) importance = IMPORTANCE_HIGH;
        else if (v >= 6 && v <= 9) importance = IMPORTANCE_LOW;
    }
    p.SetInt(PR_IMPORTANCE, importance);
    p.SetInt(PR_PRIORITY, importance == IMPORTANCE_HIGH ? PRIO_URGENT : importance == IMPORTANCE_LOW ? PRIO_NONURGENT : PRIO_NORMAL);
    const int32_t sensitivity = SensitivityOf(todo);
    p.SetInt(PR_SENSITIVITY, sensitivity);
    p.SetNamed(CommonLid(LID_PRIVATE), PT_BOOLEAN, sensitivity == SENSITIVITY_PRIVATE);
    const std::vector<std::string> categories = CategoriesOf(todo);
    if (!categories.empty()) p.SetNamed(kKeywords, PT_MV_UNICODE, categories);
    const icaltimetype when = icaltime_is_null_time(due) ? start : due;
    if (!icaltime_is_null_time(when)) SetReminder(p, todo, FileTimeOf(when), 0);

    // A repeating task: Outlook's task recurrence is not written; the rule is kept.
    if (icalproperty* rr = icalcomponent_get_first_property(todo, ICAL_RRULE_PROPERTY)) {
        body += (body.empty() ? "" : "\r\n\r\n") + std::string("Repeats: ") + Str(icalproperty_get_value_as_string(rr));
        m.warnings.push_back("a repeating task is converted as one task, its rule kept in the notes");
    }
    if (!body.empty()) {
        p.SetString(PR_BODY, body);
        p.SetInt(PR_NATIVE_BODY, NATIVE_BODY_PLAIN);
    }
    if (icalproperty* c = icalcomponent_get_first_property(todo, ICAL_CREATED_PROPERTY))
        p.SetTime(PR_CREATION_TIME, FileTimeOf(icalproperty_get_created(c)));
    if (icalproperty* l = icalcomponent_get_first_property(todo, ICAL_LASTMODIFIED_PROPERTY))
        p.SetTime(PR_LAST_MODIFICATION_TIME, FileTimeOf(icalproperty_get_lastmodified(l)));
    p.SetString(PR_MESSAGE_CLASS, "IPM.Task");
    p.SetInt(PR_ICON_INDEX, ICON_TASK);
    p.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ);
    p.SetBool(PR_HASATTACH, false);
    p.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
    p.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
    return m;
}

}  // namespace bv::mailstore::ical

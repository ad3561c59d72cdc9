#include "mailstore/ical/AppointmentItem.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "mailstore/base/Ascii.h"
#include "mailstore/ical/AppointmentRecur.h"
#include "mailstore/ical/IcalValues.h"
#include "mailstore/ical/TimeZoneRule.h"
#include "mailstore/mapi/AppointmentProps.h"
#include "mailstore/mapi/EntryIds.h"


namespace bv::mailstore::ical {

namespace {

using namespace bv::mailstore::mapi;

const PropertyName kKeywords{PS_PUBLIC_STRINGS, std::string("Keywords")};

// The address of a CAL-ADDRESS value ("mailto:someone@example.org").
std::string AddressOf(const char* value) {
    std::string v = Str(value);
    if (base::StartsWithNoCase(v, "mailto:")) v = v.substr(7);
    return v;
}

std::string ParamText(icalproperty* p, icalparameter_kind kind) {
    icalparameter* par = icalproperty_get_first_parameter(p, kind);
    if (!par) return "";
    switch (kind) {
        case ICAL_CN_PARAMETER: return Str(icalparameter_get_cn(par));
        default: return "";
    }
}

// An attendee's row: a mail user of its address, with its meeting flags and response.
mapi::Recipient Attendee(std::string name, std::string address, int32_t type, int32_t flags, int32_t track) {
    mapi::Recipient r(type, std::move(name), std::move(address));
    r.More().SetInt(PR_RECIPIENT_FLAGS, flags);
    r.More().SetInt(PR_RECIPIENT_TRACKSTATUS, track);
    return r;
}

int32_t TrackStatus(icalproperty* p) {
    icalparameter* par = icalproperty_get_first_parameter(p, ICAL_PARTSTAT_PARAMETER);
    if (!par) return RESPONSE_NONE;
    switch (icalparameter_get_partstat(par)) {
        case ICAL_PARTSTAT_ACCEPTED: return RESPONSE_ACCEPTED;
        case ICAL_PARTSTAT_TENTATIVE: return RESPONSE_TENTATIVE;
        case ICAL_PARTSTAT_DECLINED: return RESPONSE_DECLINED;
        default: return RESPONSE_NONE;
    }
}

// Global object id ([MS-OXOCAL] 2.2.1.27): the fixed header, no instance date, a
// creation time of zero, then the UID bytes wrapped as "vCal-Uid" data, as the
// format allows for ids that are not Outlook's own.
Binary GlobalObjectId(const std::string& uid) {
    static const uint8_t kHeader[16] = {0x04, 0x00, 0x00, 0x00, 0x82, 0x00, 0xE0, 0x00,
                                        0x74, 0xC5, 0xB7, 0x10, 0x1A, 0x82, 0xE0, 0x08};
    Binary b(kHeader, kHeader + 16);
    b.insert(b.end(), 4, 0);   // YH, YL, M, D
    b.insert(b.end(), 8, 0);   // creation time
    b.insert(b.end(), 8, 0);   // reserved
    std::string data = "vCal-Uid";
    data.append("\x01\x00\x00\x00", 4);
    data += uid;
    data += '\0';
    const uint32_t size = uint32_t(data.size());
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(size >> (8 * i)));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

struct Times {
    icaltimetype start, end;
    bool allDay = false;
    bool endUnreadable = false;    // DTEND or DURATION is there but cannot be read
    icaltimezone* zone = nullptr;  // of the start
};

Times TimesOf(icalcomponent* event) {
    Times t;
    t.start = Resolve(event, icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY),
                      icalcomponent_get_dtstart(event));
    if (icaltime_is_null_time(t.start) || !icaltime_is_valid_time(t.start))
        throw std::runtime_error("the event has no start (DTSTART)");
    t.allDay = t.start.is_date != 0;
    t.zone = t.allDay ? LocalZone() : ZoneOf(t.start);
    if (t.allDay) t.start.zone = t.zone;
    t.end = icalcomponent_get_dtend(event);
    if (icaltime_is_null_time(t.end) && icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY) == nullptr &&
        icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY) == nullptr) {
        // No end at all: a moment, or one day for a date.
    } else if (icaltime_is_null_time(t.end)) {
        t.endUnreadable = true;
    }
    if (icalproperty* e = icalcomponent_get_first_property(event, ICAL_DTEND_PROPERTY)) t.end = Resolve(event, e, t.end);
    else if (!icaltime_is_null_time(t.end) && !t.end.is_date && !icaltime_is_utc(t.end)) t.end.zone = t.start.zone;
    if (icaltime_is_null_time(t.end)) {
        t.end = t.start;
        if (t.allDay) icaltime_adjust(&t.end, 1, 0, 0, 0);
    }
    if (t.allDay) {
        t.end.is_date = 1;
        t.end.zone = t.zone;
    }
    if (icaltime_compare(t.end, t.start) < 0) t.end = t.start;
    return t;
}

struct ExceptionEvent {
    icalcomponent* event;
    int64_t replaceTime;          // UTC start of the instance it replaces
    int64_t wallStart, wallEnd;  // its times in the series' zone, as if UTC
};

// A wall-clock time as if it were UTC.
int64_t AsUtc(icaltimetype t) {
    t.zone = icaltimezone_get_utc_timezone();
    return UnixToFileTime(int64_t(icaltime_as_timet_with_zone(t, icaltimezone_get_utc_timezone())));
}

// A wall-clock time of `zone` as a time in that zone.
icaltimetype WallClockIn(icaltimetype t, icaltimezone* zone) {
    t.zone = zone;
    return t;
}

}  // namespace

Message AppointmentFromEvent(icalcomponent* event, const std::vector<icalcomponent*>& overrides);

namespace {

// A changed instance of a series as Outlook stores it: an embedded appointment in a
// hidden attachment flagged as an exception ([MS-OXOCAL] 2.2.10.1), with the times it
// runs and the instance it replaces.
Attachment ExceptionAttachment(const ExceptionEvent& ev) {
    const int64_t replaceTime = ev.replaceTime;
    Attachment a;
    a.embedded = std::make_unique<Message>(AppointmentFromEvent(ev.event, {}));
    Message& x = *a.embedded;
    x.props.SetString(PR_MESSAGE_CLASS, "IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}");
    x.props.SetNamed(AppointmentLid(LID_EXCEPTION_REPLACE_TIME), PT_SYSTIME, replaceTime);
    x.props.SetNamed(AppointmentLid(0x8206), PT_BOOLEAN, false);  // PidLidFExceptionalBody
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
    a.props.SetString(PR_DISPLAY_NAME, x.props.GetString(PR_SUBJECT).value_or(""));
    a.props.SetInt(PR_RENDERING_POSITION, -1);
    a.props.SetBool(PR_ATTACHMENT_HIDDEN, true);
    a.props.SetInt(PR_ATTACHMENT_FLAGS, 0x00000002);  // afException
    a.props.SetInt(PR_ATTACH_FLAGS, 0);
    // The instance's wall-clock times in the series' zone, written as if they were UTC.
    a.props.SetTime(0x7FFB0040, ev.wallStart);  // PidTagExceptionStartTime
    a.props.SetTime(0x7FFC0040, ev.wallEnd);    // PidTagExceptionEndTime
    a.props.SetTime(0x7FF90040, replaceTime);  // PidTagExceptionReplaceTime
    return a;
}

}  // namespace

namespace {

// The notes gain a labelled paragraph: what has no Outlook form is kept where a person reads it.
void AppendToNotes(PropertyBag& p, const std::string& label, const std::string& text) {
    std::string body = p.GetString(PR_BODY).value_or("");
    body += (body.empty() ? "" : "\r\n\r\n") + label + text;
    p.SetString(PR_BODY, body);
    p.SetInt(PR_NATIVE_BODY, NATIVE_BODY_PLAIN);
}

// Subject, notes, location, the times and their zones.
void SetTextAndTimes(Message& m, icalcomponent* event, const Times& t, const std::string& subject,
                     const std::string& location) {
    PropertyBag& p = m.props;
    const int64_t startFt = FileTimeOf(t.start), endFt = FileTimeOf(t.end);
    if (t.endUnreadable) m.warnings.push_back("its end (DTEND or DURATION) cannot be read: it ends when it starts");
    p.SetString(PR_SUBJECT, subject);
    p.SetString(PR_NORMALIZED_SUBJECT, subject);
    p.SetString(PR_CONVERSATION_TOPIC, subject);
    const std::string description = CrLf(Str(icalcomponent_get_description(event)));
    if (!description.empty()) {
        p.SetString(PR_BODY, description);
        p.SetInt(PR_NATIVE_BODY, NATIVE_BODY_PLAIN);
    }
    if (!location.empty()) p.SetNamed(AppointmentLid(LID_LOCATION), PT_UNICODE, location);

    p.SetNamed(AppointmentLid(LID_APPOINTMENT_START_WHOLE), PT_SYSTIME, startFt);
    p.SetNamed(AppointmentLid(LID_APPOINTMENT_END_WHOLE), PT_SYSTIME, endFt);
    p.SetNamed(CommonLid(LID_COMMON_START), PT_SYSTIME, startFt);
    p.SetNamed(CommonLid(LID_COMMON_END), PT_SYSTIME, endFt);
    p.SetTime(PR_START_DATE, startFt);
    p.SetTime(PR_END_DATE, endFt);
    p.SetNamed(AppointmentLid(LID_APPOINTMENT_DURATION), PT_LONG, int32_t((endFt - startFt) / 600000000LL));
    p.SetNamed(AppointmentLid(LID_APPOINTMENT_SUB_TYPE), PT_BOOLEAN, t.allDay);

    // Time zone of the start, and of the end (the same zone unless DTEND names another).
    const ZoneRule rule = ZoneRuleOf(t.zone, t.start.year);
    p.SetNamed(AppointmentLid(LID_TZ_DEFINITION_START_DISPLAY), PT_BINARY, TimeZoneDefinition(rule, false));
    icaltimezone* endZone = t.allDay ? t.zone : ZoneOf(t.end);
    p.SetNamed(AppointmentLid(LID_TZ_DEFINITION_END_DISPLAY), PT_BINARY,
               TimeZoneDefinition(endZone == t.zone ? rule : ZoneRuleOf(endZone, t.end.year), false));
}

// Busy status from TRANSP (and a tentative STATUS), overridden by the CDO busy status.
int32_t BusyStatusOf(icalcomponent* event, icalproperty_status status) {
    int32_t busy = BUSY_BUSY;
    if (icalproperty* tr = icalcomponent_get_first_property(event, ICAL_TRANSP_PROPERTY))
        if (icalproperty_get_transp(tr) == ICAL_TRANSP_TRANSPARENT) busy = BUSY_FREE;
    if (busy == BUSY_BUSY && status == ICAL_STATUS_TENTATIVE) busy = BUSY_TENTATIVE;
    for (icalproperty* x = icalcomponent_get_first_property(event, ICAL_X_PROPERTY); x;
         x = icalcomponent_get_next_property(event, ICAL_X_PROPERTY)) {
        const std::string name = Str(icalproperty_get_x_name(x));
        if (base::EqualsNoCase(name, "X-MICROSOFT-CDO-BUSYSTATUS")) {
            const std::string v = Str(icalproperty_get_x(x));
            if (base::EqualsNoCase(v, "FREE")) busy = BUSY_FREE;
            else if (base::EqualsNoCase(v, "TENTATIVE")) busy = BUSY_TENTATIVE;
            else if (base::EqualsNoCase(v, "OOF")) busy = BUSY_OOF;
            else if (base::EqualsNoCase(v, "BUSY")) busy = BUSY_BUSY;
        }
    }
    return busy;
}

// The organizer as sender and the attendees as recipients; true when it is a meeting.
bool SetPeople(Message& m, icalcomponent* event, icalproperty_status status) {
    PropertyBag& p = m.props;
    std::string toNames, ccNames;
    icalproperty* org = icalcomponent_get_first_property(event, ICAL_ORGANIZER_PROPERTY);
    bool meeting = false;
    if (org) {
        const std::string addr = AddressOf(icalproperty_get_organizer(org));
        const std::string name = ParamText(org, ICAL_CN_PARAMETER);
        const std::string shown = name.empty() ? addr : name;
        m.recipients.push_back(Attendee(name, addr, MAPI_TO, RECIP_SENDABLE | RECIP_ORGANIZER, RESPONSE_NONE));
        p.SetString(PR_SENT_REPRESENTING_NAME, shown);
        p.SetString(PR_SENT_REPRESENTING_ADDRTYPE, "SMTP");
        p.SetString(PR_SENT_REPRESENTING_EMAIL_ADDRESS, addr);
        p.SetString(PR_SENDER_NAME, shown);
        p.SetString(PR_SENDER_ADDRTYPE, "SMTP");
        p.SetString(PR_SENDER_EMAIL_ADDRESS, addr);
    }
    const std::string orgAddr = org ? AddressOf(icalproperty_get_organizer(org)) : "";
    for (icalproperty* a = icalcomponent_get_first_property(event, ICAL_ATTENDEE_PROPERTY); a;
         a = icalcomponent_get_next_property(event, ICAL_ATTENDEE_PROPERTY)) {
        const std::string addr = AddressOf(icalproperty_get_attendee(a));
        if (!orgAddr.empty() && base::EqualsNoCase(addr, orgAddr)) continue;  // the organizer's own row
        const std::string name = ParamText(a, ICAL_CN_PARAMETER);
        int32_t type = MAPI_TO;
        if (icalparameter* role = icalproperty_get_first_parameter(a, ICAL_ROLE_PARAMETER)) {
            const icalparameter_role r = icalparameter_get_role(role);
            if (r == ICAL_ROLE_OPTPARTICIPANT) type = MAPI_CC;
            else if (r == ICAL_ROLE_NONPARTICIPANT) type = MAPI_BCC;
        }
        if (icalparameter* cu = icalproperty_get_first_parameter(a, ICAL_CUTYPE_PARAMETER)) {
            const icalparameter_cutype c = icalparameter_get_cutype(cu);
            if (c == ICAL_CUTYPE_ROOM || c == ICAL_CUTYPE_RESOURCE) type = MAPI_BCC;
        }
        m.recipients.push_back(Attendee(name, addr, type, RECIP_SENDABLE, TrackStatus(a)));
        std::string& names = type == MAPI_CC ? ccNames : toNames;
        if (type != MAPI_BCC) names += (names.empty() ? "" : "; ") + (name.empty() ? addr : name);
        meeting = true;
    }
    // An organizer alone (one's own event as many programs export it) is no meeting.
    if (!meeting && org) m.recipients.clear();
    if (meeting) {
        p.SetNamed(AppointmentLid(LID_TO_ATTENDEES_STRING), PT_UNICODE, toNames);
        p.SetNamed(AppointmentLid(LID_CC_ATTENDEES_STRING), PT_UNICODE, ccNames);
        p.SetNamed(AppointmentLid(LID_ALL_ATTENDEES_STRING), PT_UNICODE,
                   toNames + (!toNames.empty() && !ccNames.empty() ? "; " : "") + ccNames);
        if (!toNames.empty()) p.SetString(PR_DISPLAY_TO, toNames);
        if (!ccNames.empty()) p.SetString(PR_DISPLAY_CC, ccNames);
        int32_t state = ASF_MEETING | ASF_RECEIVED;
        if (status == ICAL_STATUS_CANCELLED) state |= ASF_CANCELED;
        p.SetNamed(AppointmentLid(LID_APPOINTMENT_STATE_FLAGS), PT_LONG, state);
        p.SetNamed(AppointmentLid(LID_RESPONSE_STATUS), PT_LONG, RESPONSE_NOT_RESPONDED);
        p.SetNamed(AppointmentLid(LID_FINVITED), PT_BOOLEAN, true);
    } else {
        p.SetNamed(AppointmentLid(LID_APPOINTMENT_STATE_FLAGS), PT_LONG, 0);
        p.SetNamed(AppointmentLid(LID_RESPONSE_STATUS), PT_LONG, RESPONSE_NONE);
    }
    return meeting;
}

// Sequence, the global object id from the UID, created and last-modified times.
void SetIdentity(PropertyBag& p, icalcomponent* event) {
    if (icalproperty* seq = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY))
        p.SetNamed(AppointmentLid(LID_APPOINTMENT_SEQUENCE), PT_LONG, int32_t(icalproperty_get_sequence(seq)));
    const std::string uid = Str(icalcomponent_get_uid(event));
    if (!uid.empty()) {
        const Binary goid = GlobalObjectId(uid);
        p.SetNamed(MeetingLid(LID_GLOBAL_OBJECT_ID), PT_BINARY, goid);
        p.SetNamed(MeetingLid(LID_CLEAN_GLOBAL_OBJECT_ID), PT_BINARY, goid);
    }
    if (icalproperty* c = icalcomponent_get_first_property(event, ICAL_CREATED_PROPERTY))
        p.SetTime(PR_CREATION_TIME, FileTimeOf(icalproperty_get_created(c)));
    if (icalproperty* l = icalcomponent_get_first_property(event, ICAL_LASTMODIFIED_PROPERTY))
        p.SetTime(PR_LAST_MODIFICATION_TIME, FileTimeOf(icalproperty_get_lastmodified(l)));
}

// The series' rule and deleted dates (EXDATE), its times as wall clock in the start's zone.
RecurInput RecurInputOf(icalcomponent* event, icalproperty* rr, const Times& t, int32_t minutes) {
    RecurInput in;
    in.rule = icalproperty_get_rrule(rr);
    in.start = WallClock(t.start, t.zone);
    in.durationMinutes = minutes;
    if (!icaltime_is_null_time(in.rule.until)) {
        icaltimetype u = in.rule.until;
        if (!u.is_date) u = WallClock(u, t.zone);
        if (u.is_date) {
            u.is_date = 0;
            u.hour = 23;
            u.minute = 59;
            u.second = 59;
        }
        u.zone = nullptr;
        in.rule.until = u;
    }
    for (icalproperty* x = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); x;
         x = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY)) {
        icaltimetype d = Resolve(event, x, icalproperty_get_exdate(x));
        if (icaltime_is_null_time(d)) continue;
        in.deleted.push_back(WallClock(d, t.zone));
    }
    return in;
}

// The overrides of a series (RECURRENCE-ID): cancelled ones become deleted instances,
// the others exceptions of the pattern and, returned, the embedded messages to attach.
std::vector<ExceptionEvent> AddOverrides(RecurInput& in, const std::vector<icalcomponent*>& overrides, const Times& t,
                                         const std::string& subject, const std::string& location) {
    std::vector<ExceptionEvent> exceptionEvents;
    for (icalcomponent* o : overrides) {
        RecurException e;
        const icaltimetype rid =
            Resolve(o, icalcomponent_get_first_property(o, ICAL_RECURRENCEID_PROPERTY), icalcomponent_get_recurrenceid(o));
        if (icaltime_is_null_time(rid)) continue;
        e.originalStart = WallClock(rid, t.zone);
        if (rid.is_date) {
            e.originalStart.hour = in.start.hour;
            e.originalStart.minute = in.start.minute;
        }
        if (icalcomponent_get_status(o) == ICAL_STATUS_CANCELLED) {
            in.deleted.push_back(e.originalStart);  // a cancelled instance is a deleted one
            continue;
        }
        Times ot;
        try {
            ot = TimesOf(o);
        } catch (const std::exception&) {
            continue;
        }
        e.start = WallClock(ot.start, t.zone);
        e.end = WallClock(ot.end, t.zone);
        const std::string s = CrLf(Str(icalcomponent_get_summary(o)));
        if (s != subject) e.subject = s;
        const std::string l = CrLf(Str(icalcomponent_get_location(o)));
        if (l != location) e.location = l;
        in.exceptions.push_back(e);
        exceptionEvents.push_back({o, FileTimeOf(rid.is_date ? WallClockIn(e.originalStart, t.zone) : rid),
                                   AsUtc(e.start), AsUtc(e.end)});
    }
    return exceptionEvents;
}

// A series with an Outlook pattern: the recurrence blob, its zone and the clip dates.
void SetPattern(PropertyBag& p, const RecurResult& rec, const RecurInput& in, const Times& t) {
    p.SetNamed(AppointmentLid(LID_APPOINTMENT_RECUR), PT_BINARY, rec.blob);
    p.SetNamed(AppointmentLid(LID_RECURRENCE_TYPE), PT_LONG, rec.recurrenceType);
    p.SetNamed(AppointmentLid(LID_RECURRENCE_PATTERN), PT_UNICODE, rec.pattern);
    const ZoneRule now = ZoneRuleOf(t.zone, t.start.year);
    p.SetNamed(AppointmentLid(LID_TIME_ZONE_STRUCT), PT_BINARY, TimeZoneStruct(now));
    p.SetNamed(AppointmentLid(LID_TIME_ZONE_DESCRIPTION), PT_UNICODE, now.name);
    p.SetNamed(AppointmentLid(LID_TZ_DEFINITION_RECUR), PT_BINARY, TimeZoneDefinition(now, true));
    icaltimetype clipStart = in.start;
    clipStart.hour = clipStart.minute = clipStart.second = 0;
    p.SetNamed(AppointmentLid(LID_CLIP_START), PT_SYSTIME,
               UnixToFileTime(int64_t(icaltime_as_timet_with_zone(clipStart, icaltimezone_get_utc_timezone()))));
    const int64_t clipEnd =
        icaltime_is_null_time(rec.lastDate)
            ? int64_t(0x0CB34557A3DD4000LL)  // 4500-08-31 23:59, no end
            : UnixToFileTime(int64_t(icaltime_as_timet_with_zone(rec.lastDate, icaltimezone_get_utc_timezone())));
    p.SetNamed(AppointmentLid(LID_CLIP_END), PT_SYSTIME, clipEnd);
}

// The series (RRULE) with its changed and deleted instances; true when it has an
// Outlook pattern. Without one the appointment is its first instance, the rule in its notes.
bool SetRecurrence(Message& m, icalcomponent* event, const std::vector<icalcomponent*>& overrides, const Times& t,
                   int32_t minutes, const std::string& subject, const std::string& location) {
    icalproperty* rr = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY);
    if (!rr) return false;
    RecurInput in = RecurInputOf(event, rr, t, minutes);
    const std::vector<ExceptionEvent> exceptionEvents = AddOverrides(in, overrides, t, subject, location);
    RecurResult rec = BuildAppointmentRecur(in);
    if (!rec.error.empty()) {
        m.warnings.push_back(rec.error + " (" + Str(icalproperty_as_ical_string(rr)) +
                             "); only its first instance is converted");
        AppendToNotes(m.props, "Repeats: ", Str(icalrecurrencetype_as_string(&in.rule)));
        return false;
    }
    // Each changed instance is also an embedded message, as Outlook keeps it.
    for (const ExceptionEvent& x : exceptionEvents) m.attachments.push_back(ExceptionAttachment(x));
    SetPattern(m.props, rec, in, t);
    return true;
}

// Dates added to a series or an event (RDATE) and instances taken out by a rule (EXRULE,
// an older form) have no Outlook form: they are kept in the notes and said, not dropped unseen.
void KeepRulesInNotes(Message& m, icalcomponent* event) {
    std::string extraDates;
    for (icalproperty* x = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); x;
         x = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
        std::string v = Str(icalproperty_get_value_as_string(x));
        if (v.empty()) continue;
        if (icalparameter* tz = icalproperty_get_first_parameter(x, ICAL_TZID_PARAMETER))
            v += " (" + Str(icalparameter_get_tzid(tz)) + ")";
        extraDates += (extraDates.empty() ? "" : ", ") + v;
    }
    for (icalproperty* x = icalcomponent_get_first_property(event, ICAL_EXRULE_PROPERTY); x;
         x = icalcomponent_get_next_property(event, ICAL_EXRULE_PROPERTY)) {
        const std::string rule = Str(icalproperty_get_value_as_string(x));
        if (rule.empty()) continue;
        m.warnings.push_back("its rule of left-out instances (EXRULE:" + rule +
                             ") has no Outlook form; those instances stay in the series, the rule is kept in its notes");
        AppendToNotes(m.props, "Except: ", rule);
    }
    if (!extraDates.empty()) {
        m.warnings.push_back("its added dates (RDATE " + extraDates +
                             ") have no place in an Outlook appointment; they are kept in its notes");
        AppendToNotes(m.props, "Also on: ", extraDates);
    }
}

}  // namespace

Message AppointmentFromEvent(icalcomponent* event, const std::vector<icalcomponent*>& overrides) {
    Message m;
    PropertyBag& p = m.props;
    const Times t = TimesOf(event);
    const int64_t startFt = FileTimeOf(t.start), endFt = FileTimeOf(t.end);
    const int32_t minutes = int32_t((endFt - startFt) / 600000000LL);
    const std::string subject = CrLf(Str(icalcomponent_get_summary(event)));
    const std::string location = CrLf(Str(icalcomponent_get_location(event)));
    SetTextAndTimes(m, event, t, subject, location);

    const icalproperty_status status = icalcomponent_get_status(event);
    const int32_t busy = BusyStatusOf(event, status);
    p.SetNamed(AppointmentLid(LID_BUSY_STATUS), PT_LONG, busy);
    p.SetNamed(AppointmentLid(LID_INTENDED_BUSY_STATUS), PT_LONG, busy);

    const int32_t sensitivity = SensitivityOf(event);
    p.SetInt(PR_SENSITIVITY, sensitivity);
    p.SetNamed(CommonLid(LID_PRIVATE), PT_BOOLEAN, sensitivity == SENSITIVITY_PRIVATE);
    const std::vector<std::string> categories = CategoriesOf(event);
    if (!categories.empty()) p.SetNamed(kKeywords, PT_MV_UNICODE, categories);
    SetReminder(p, event, startFt, minutes);

    const bool meeting = SetPeople(m, event, status);
    SetIdentity(p, event);
    const bool recurring = SetRecurrence(m, event, overrides, t, minutes, subject, location);
    KeepRulesInNotes(m, event);

    p.SetNamed(AppointmentLid(LID_RECURRING), PT_BOOLEAN, recurring);
    p.SetInt(PR_ICON_INDEX, recurring ? (meeting ? ICON_RECURRING_MEETING : ICON_RECURRING_APPOINTMENT)
                                      : (meeting ? ICON_MEETING : ICON_APPOINTMENT));
    p.SetNamed(CommonLid(LID_SIDE_EFFECTS), PT_LONG, 0x171);  // seOpenToDelete | ToCopy | ToMove | ...
    p.SetInt(PR_IMPORTANCE, IMPORTANCE_NORMAL);
    p.SetInt(PR_PRIORITY, PRIO_NORMAL);
    p.SetNamed(AppointmentLid(LID_APPOINTMENT_COLOR), PT_LONG, 0);
    p.SetNamed(AppointmentLid(0x822B), PT_BOOLEAN, false);  // PidLidFExceptionalAttendees
    p.SetString(PR_MESSAGE_CLASS, "IPM.Appointment");
    p.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ);
    p.SetBool(PR_HASATTACH, !m.attachments.empty());
    if (!m.attachments.empty()) p.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH);
    p.SetInt(PR_INTERNET_CPID, CP_UTF8_CODEPAGE);
    p.SetInt(PR_MESSAGE_CODEPAGE, CP_UTF8_CODEPAGE);
    return m;
}

}  // namespace bv::mailstore::ical

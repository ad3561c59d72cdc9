#include "mailstore/ical/IcalValues.h"

#include <algorithm>
#include <cstdlib>

#include "mailstore/base/Utf8.h"
#include "mailstore/mapi/AppointmentProps.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace bv::mailstore::ical {

using namespace bv::mailstore::mapi;

icaltimezone* LocalZone() {
    static icaltimezone* zone = [] {
        std::string name;
        if (const char* tz = std::getenv("TZ")) name = tz[0] == ':' ? tz + 1 : tz;
#if !defined(_WIN32)
        if (name.empty()) {
            char buf[512];
            ssize_t n = readlink("/etc/localtime", buf, sizeof buf - 1);
            if (n > 0) {
                std::string link(buf, size_t(n));
                size_t at = link.find("zoneinfo/");
                if (at != std::string::npos) name = link.substr(at + 9);
            }
        }
#endif
        if (name.rfind("posix/", 0) == 0) name = name.substr(6);
        icaltimezone* z = name.empty() || name == "UTC" ? nullptr : icaltimezone_get_builtin_timezone(name.c_str());
        return z ? z : icaltimezone_get_utc_timezone();
    }();
    return zone;
}

icaltimezone* ZoneOf(const icaltimetype& t) {
    if (icaltime_is_utc(t)) return icaltimezone_get_utc_timezone();
    if (t.zone) return const_cast<icaltimezone*>(t.zone);
    return LocalZone();
}

int64_t FileTimeOf(const icaltimetype& t) {
    return UnixToFileTime(int64_t(icaltime_as_timet_with_zone(t, ZoneOf(t))));
}

icaltimetype WallClock(const icaltimetype& t, icaltimezone* zone) {
    icaltimetype w = t.is_date ? t : icaltime_convert_to_zone(t, zone);
    w.zone = nullptr;
    w.is_date = 0;
    return w;
}

icaltimetype Resolve(icalcomponent* comp, icalproperty* prop, icaltimetype t) {
    if (!prop || t.is_date || t.zone || icaltime_is_utc(t)) return t;
    icalparameter* par = icalproperty_get_first_parameter(prop, ICAL_TZID_PARAMETER);
    if (!par) return t;
    const char* tzid = icalparameter_get_tzid(par);
    if (!tzid || !*tzid) return t;
    icaltimezone* zone = nullptr;
    for (icalcomponent* c = comp; c && !zone; c = icalcomponent_get_parent(c)) zone = icalcomponent_get_timezone(c, tzid);
    if (!zone) zone = icaltimezone_get_builtin_timezone(tzid[0] == '/' ? tzid + 1 : tzid);
    if (!zone) zone = icaltimezone_get_builtin_timezone_from_tzid(tzid);
    if (zone) t.zone = zone;
    return t;
}

// Text as the store takes it: bytes that are no UTF-8 become U+FFFD.
std::string Str(const char* s) { return s ? base::RepairUtf8(s) : std::string(); }

std::string CrLf(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) out += '\r';
        out += s[i];
    }
    return out;
}

std::vector<std::string> CategoriesOf(icalcomponent* comp) {
    std::vector<std::string> categories;
    for (icalproperty* c = icalcomponent_get_first_property(comp, ICAL_CATEGORIES_PROPERTY); c;
         c = icalcomponent_get_next_property(comp, ICAL_CATEGORIES_PROPERTY)) {
        // libical keeps a list as one value with its commas.
        std::string v = Str(icalproperty_get_categories(c));
        size_t b = 0;
        while (b <= v.size()) {
            size_t e = v.find(',', b);
            if (e == std::string::npos) e = v.size();
            std::string one = v.substr(b, e - b);
            size_t s = one.find_first_not_of(' '), l = one.find_last_not_of(' ');
            if (s != std::string::npos) {
                one = one.substr(s, l - s + 1);
                if (std::find(categories.begin(), categories.end(), one) == categories.end()) categories.push_back(one);
            }
            b = e + 1;
        }
    }
    return categories;
}

int32_t SensitivityOf(icalcomponent* comp) {
    if (icalproperty* c = icalcomponent_get_first_property(comp, ICAL_CLASS_PROPERTY)) {
        switch (icalproperty_get_class(c)) {
            case ICAL_CLASS_PRIVATE: return SENSITIVITY_PRIVATE;
            case ICAL_CLASS_CONFIDENTIAL: return SENSITIVITY_COMPANY_CONFIDENTIAL;
            default: break;
        }
    }
    return SENSITIVITY_NONE;
}

void SetReminder(PropertyBag& p, icalcomponent* comp, int64_t startFt, int32_t minutes) {
    for (icalcomponent* a = icalcomponent_get_first_component(comp, ICAL_VALARM_COMPONENT); a;
         a = icalcomponent_get_next_component(comp, ICAL_VALARM_COMPONENT)) {
        icalproperty* action = icalcomponent_get_first_property(a, ICAL_ACTION_PROPERTY);
        if (action && icalproperty_get_action(action) != ICAL_ACTION_DISPLAY) continue;
        icalproperty* trig = icalcomponent_get_first_property(a, ICAL_TRIGGER_PROPERTY);
        if (!trig) continue;
        const icaltriggertype tr = icalproperty_get_trigger(trig);
        int64_t before = 0;  // seconds before the start
        if (!icaltime_is_null_time(tr.time)) {
            before = (startFt - FileTimeOf(tr.time)) / 10000000LL;
        } else {
            before = -int64_t(icaldurationtype_as_int(tr.duration));
            icalparameter* rel = icalproperty_get_first_parameter(trig, ICAL_RELATED_PARAMETER);
            if (rel && icalparameter_get_related(rel) == ICAL_RELATED_END) before -= int64_t(minutes) * 60;
        }
        if (before < 0) before = 0;
        const int32_t delta = int32_t(before / 60);
        p.SetNamed(CommonLid(LID_REMINDER_SET), PT_BOOLEAN, true);
        p.SetNamed(CommonLid(LID_REMINDER_DELTA), PT_LONG, delta);
        p.SetNamed(CommonLid(LID_REMINDER_TIME), PT_SYSTIME, startFt);
        p.SetNamed(CommonLid(LID_REMINDER_SIGNAL_TIME), PT_SYSTIME, startFt - int64_t(delta) * 600000000LL);
        return;
    }
    p.SetNamed(CommonLid(LID_REMINDER_SET), PT_BOOLEAN, false);
}

}  // namespace bv::mailstore::ical

#include "mailstore/ical/CalendarReader.h"

#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <libical/ical.h>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/CappedLine.h"
#include "mailstore/mapi/PropTags.h"
#include "mailstore/ical/AppointmentItem.h"
#include "mailstore/ical/CalendarIdentity.h"
#include "mailstore/ical/TaskItem.h"

namespace bv::mailstore::ical {

namespace {

// An event larger than this is not an event but a damaged file.
constexpr size_t kMaxEventBytes = size_t(64) << 20;
// The time zones of a file are kept up to this size.
constexpr size_t kMaxZoneBytes = size_t(16) << 20;

bool IsLine(std::string_view line, std::string_view what) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r')) line.remove_suffix(1);
    return base::EqualsNoCase(line, what);
}

// The value of a property line "NAME;params:value" named `name`, or false.
bool PropertyValue(std::string_view line, std::string_view name, std::string& value) {
    if (line.size() <= name.size() || !base::StartsWithNoCase(line, name)) return false;
    const char next = line[name.size()];
    if (next != ':' && next != ';') return false;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    value.assign(line.substr(colon + 1));
    while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) value.pop_back();
    return true;
}

// Physical lines with the byte offset each starts at.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}
    bool Next(std::string& line) {
        offset_ = next_;
        const base::CappedLine got = base::ReadCappedLine(in_, line, kMaxEventBytes);
        if (!got.read) return false;
        next_ += got.consumed;
        ++number_;
        // A longer line keeps kMaxEventBytes bytes, which makes its event too large.
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (number_ == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        return true;
    }
    uint64_t offset() const { return offset_; }  // of the line Next gave
    int number() const { return number_; }
    void Seek(uint64_t offset, int number) {
        in_.clear();
        in_.seekg(std::streamoff(offset));
        next_ = offset;
        number_ = number - 1;
    }

private:
    std::istream& in_;
    uint64_t offset_ = 0, next_ = 0;
    int number_ = 0;
};

// One VEVENT or VTODO as text, with its UID and whether it overrides an instance.
struct RawEvent {
    std::string text;
    std::string uid;
    bool isOverride = false;
    bool isTodo = false;
    bool tooLarge = false;
    bool unterminated = false;
    int line = 0;
    uint64_t offset = 0;
};

// Reads from a BEGIN:VEVENT / BEGIN:VTODO line (already read as `first`) to its END.
void ReadComponent(LineReader& r, const std::string& first, RawEvent& ev, bool keepText) {
    ev.text.clear();
    ev.uid.clear();
    ev.isOverride = false;
    ev.tooLarge = false;
    ev.unterminated = true;
    ev.isTodo = IsLine(first, "BEGIN:VTODO");
    ev.line = r.number();
    ev.offset = r.offset();
    const std::string end = ev.isTodo ? "END:VTODO" : "END:VEVENT";
    if (keepText) ev.text = first + "\r\n";
    std::string line, logical;
    int depth = 0;  // nested components (VALARM)
    auto takeLogical = [&] {
        if (depth == 0 && !logical.empty()) {
            std::string v;
            if (PropertyValue(logical, "UID", v)) ev.uid = v;
            if (PropertyValue(logical, "RECURRENCE-ID", v)) ev.isOverride = true;
        }
        logical.clear();
    };
    while (r.Next(line)) {
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            if (logical.size() < 4096) logical.append(line, 1);
        } else {
            takeLogical();
            if (IsLine(line, end) && depth == 0) {
                ev.unterminated = false;
                if (keepText) ev.text += line + "\r\n";
                return;
            }
            if (base::StartsWithNoCase(line, "BEGIN:")) ++depth;
            else if (base::StartsWithNoCase(line, "END:") && depth > 0) --depth;
            else if (IsLine(line, "END:VCALENDAR")) return;  // the event was never ended
            logical = line;
        }
        // Some writers escape the ";" of a rule as in text ("FREQ=DAILY\;COUNT=10").
        if (keepText && base::StartsWithNoCase(line, "RRULE:"))
            for (size_t at; (at = line.find("\\;")) != std::string::npos;) line.erase(at, 1);
        if (keepText) {
            if (ev.text.size() + line.size() > kMaxEventBytes) {
                ev.tooLarge = true;
                keepText = false;
                ev.text.clear();
            } else {
                ev.text += line;
                ev.text += "\r\n";
            }
        }
    }
}

uint64_t HashOf(const std::string& s) { return std::hash<std::string>{}(s); }

}  // namespace

struct CalendarReader::State {
    std::string fileError;
    std::unique_ptr<std::istream> in;
    std::unique_ptr<LineReader> lines;
    std::unique_ptr<std::istream> overridesIn;  // read by offset, for the overrides of a master
    icalcomponent* zones = nullptr;  // a VCALENDAR holding the file's VTIMEZONEs
    // UID -> where its overrides are (offset, line), for UIDs with a master event.
    std::map<std::string, std::vector<std::pair<uint64_t, int>>> overrides;
    std::unordered_set<uint64_t> masters;  // hashes of the UIDs of events without RECURRENCE-ID
    // Hashes of the names items of the file are known by (kind, UID, RECURRENCE-ID) ->
    // how many were read so far.
    std::unordered_map<uint64_t, int> named;
    ~State() {
        if (zones) icalcomponent_free(zones);
    }
};

CalendarReader::CalendarReader(const std::filesystem::path& path)
    : CalendarReader([path]() -> std::unique_ptr<std::istream> {
          auto in = std::make_unique<std::ifstream>(path, std::ios::binary);
          if (!*in) return nullptr;
          return in;
      }) {}

CalendarReader::CalendarReader(const Opener& open) : s_(std::make_unique<State>()) {
    // Bad input is reported per event, never a reason to stop the program.
    icalerror_set_errors_are_fatal(0);
    s_->in = open();
    s_->overridesIn = open();
    if (!s_->in || !s_->overridesIn) {
        s_->fileError = "cannot open the file";
        return;
    }
    // First pass: the time zones, and where the overrides of recurring events are.
    LineReader r(*s_->in);
    std::string line, zoneText = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Brimvault//zones//EN\r\n";
    bool sawCalendar = false;
    RawEvent ev;
    while (r.Next(line)) {
        if (IsLine(line, "BEGIN:VCALENDAR") || IsLine(line, "BEGIN:VEVENT") || IsLine(line, "BEGIN:VTODO"))
            sawCalendar = true;
        if (IsLine(line, "BEGIN:VTIMEZONE")) {
            // Zones are small; a damaged file's are not kept past a bound.
            const bool keep = zoneText.size() < kMaxZoneBytes;
            if (keep) zoneText += line + "\r\n";
            while (r.Next(line)) {
                if (keep) zoneText += line + "\r\n";
                if (IsLine(line, "END:VTIMEZONE")) break;
            }
        } else if (IsLine(line, "BEGIN:VEVENT")) {
            ReadComponent(r, line, ev, false);
            if (ev.isOverride)
                s_->overrides[ev.uid].emplace_back(ev.offset, ev.line);
            else if (!ev.uid.empty())
                s_->masters.insert(HashOf(ev.uid));
        }
    }
    if (!sawCalendar) {
        s_->fileError = "not an iCalendar file: it has no BEGIN:VCALENDAR or BEGIN:VEVENT";
        return;
    }
    for (auto it = s_->overrides.begin(); it != s_->overrides.end();)
        it = s_->masters.count(HashOf(it->first)) ? std::next(it) : s_->overrides.erase(it);
    s_->masters.clear();
    zoneText += "END:VCALENDAR\r\n";
    s_->zones = icalparser_parse_string(zoneText.c_str());
    if (!s_->zones || icalcomponent_isa(s_->zones) != ICAL_VCALENDAR_COMPONENT) {
        if (s_->zones) icalcomponent_free(s_->zones);
        s_->zones = icalcomponent_new(ICAL_VCALENDAR_COMPONENT);
    }
    s_->in->clear();
    s_->in->seekg(0);
    s_->lines = std::make_unique<LineReader>(*s_->in);
}

CalendarReader::~CalendarReader() = default;

const std::string& CalendarReader::FileError() const { return s_->fileError; }

namespace {

icalcomponent* ParseEvent(const std::string& text, icalcomponent_kind kind = ICAL_VEVENT_COMPONENT) {
    icalcomponent* c = icalparser_parse_string(text.c_str());
    if (!c) return nullptr;
    if (icalcomponent_isa(c) == kind) return c;
    icalcomponent_free(c);
    return nullptr;
}

}  // namespace

bool CalendarReader::Next(CalendarItem& item) {
    if (!s_->lines) return false;
    item = CalendarItem{};
    std::string line;
    RawEvent ev;
    while (s_->lines->Next(line)) {
        const bool event = IsLine(line, "BEGIN:VEVENT");
        const bool todo = IsLine(line, "BEGIN:VTODO");
        if (!event && !todo) continue;
        ReadComponent(*s_->lines, line, ev, true);
        // An override of a master in this file goes with the master.
        if (event && ev.isOverride && s_->overrides.count(ev.uid)) continue;
        item.line = ev.line;
        item.task = todo;
        // A file may give one name to several items: each is known by its place among them too.
        const std::string name = CalendarItemName(ev.text);
        const int sameNameBefore = name.empty() ? 0 : s_->named[HashOf(name)]++;
        const char* what = todo ? "the task" : "the event";
        if (ev.unterminated) {
            item.error = std::string(what) + (todo ? " has no END:VTODO" : " has no END:VEVENT");
            return true;
        }
        if (ev.tooLarge) {
            item.error = std::string(what) + " is larger than 64 MB";
            return true;
        }
        if (todo) {
            icalcomponent* comp = ParseEvent(ev.text, ICAL_VTODO_COMPONENT);
            if (!comp) {
                item.error = "the task cannot be read";
                return true;
            }
            icalcomponent_add_component(s_->zones, comp);
            try {
                item.message = TaskFromTodo(comp);
                item.message.props.SetBinary(mapi::PR_SEARCH_KEY, CalendarItemSearchKey(ev.text, sameNameBefore));
            } catch (const std::exception& e) {
                item.error = e.what();
            }
            icalcomponent_remove_component(s_->zones, comp);
            icalcomponent_free(comp);
            return true;
        }
        icalcomponent* comp = ParseEvent(ev.text);
        if (!comp) {
            item.error = "the event cannot be read";
            return true;
        }
        std::vector<icalcomponent*> overrides;
        if (auto it = s_->overrides.find(ev.uid); !ev.isOverride && it != s_->overrides.end()) {
            LineReader r(*s_->overridesIn);
            for (const auto& [offset, number] : it->second) {
                r.Seek(offset, number);
                std::string first;
                RawEvent o;
                if (!r.Next(first)) continue;
                ReadComponent(r, first, o, true);
                if (icalcomponent* oc = o.unterminated || o.tooLarge ? nullptr : ParseEvent(o.text)) {
                    icalcomponent_add_component(s_->zones, oc);
                    overrides.push_back(oc);
                }
            }
        }
        icalcomponent_add_component(s_->zones, comp);
        try {
            item.message = AppointmentFromEvent(comp, overrides);
            // How a store that holds the item already recognises it: an event with
            // its changed instances is known by its own UID.
            item.message.props.SetBinary(mapi::PR_SEARCH_KEY, CalendarItemSearchKey(ev.text, sameNameBefore));
        } catch (const std::exception& e) {
            item.error = e.what();
        }
        for (icalcomponent* c : overrides) {
            icalcomponent_remove_component(s_->zones, c);
            icalcomponent_free(c);
        }
        icalcomponent_remove_component(s_->zones, comp);
        icalcomponent_free(comp);
        return true;
    }
    return false;
}


}  // namespace bv::mailstore::ical

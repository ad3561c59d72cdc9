#include "conversion/StoreName.h"

#include <cstdio>
#include <filesystem>
#include <regex>

#include "mailstore/base/CalendarTime.h"

namespace bv::conversion {

std::string CreationStamp(std::time_t when) {
    const std::tm t = mailstore::base::LocalTime(when);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d.%d.%02d %d.%d.%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

std::string EarlierSingleStoreStamp(const std::string& saveFolder) {
    namespace fs = std::filesystem;
    static const std::regex kFirstPart(R"(Brimvault(\d{1,2}\.\d{1,2}\.\d{2} \d{1,2}\.\d{1,2}\.\d{2})\.pst)");
    std::string stamp;
    fs::file_time_type newest = fs::file_time_type::min();
    std::error_code ec;
    fs::directory_iterator it(fs::u8path(saveFolder), ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::u8string name8 = it->path().filename().u8string();
        const std::string name(name8.begin(), name8.end());
        std::smatch m;
        std::error_code entryEc;
        if (!std::regex_match(name, m, kFirstPart) || !it->is_regular_file(entryEc)) continue;
        const fs::file_time_type written = it->last_write_time(entryEc);
        if (entryEc || (!stamp.empty() && written <= newest)) continue;
        newest = written;
        stamp = m[1].str();
    }
    return stamp;
}

StoreName StoreNameFor(StoreScope scope, const std::string& saveFolder, const std::string& mailboxName,
                       std::time_t now) {
    if (scope == StoreScope::OneMailbox) return {saveFolder + mailboxName, mailboxName};
    std::string stamp = EarlierSingleStoreStamp(saveFolder);
    if (stamp.empty()) stamp = CreationStamp(now);
    return {saveFolder + "Brimvault" + stamp, "Brimvault Mailbox : Created - " + stamp};
}

}  // namespace bv::conversion

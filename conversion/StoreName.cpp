#include "conversion/StoreName.h"

#include <cstdio>

namespace bv::conversion {

std::string CreationStamp(std::time_t when) {
    std::tm t{};
#ifdef _WIN32
    localtime_s(&t, &when);
#else
    localtime_r(&when, &t);
#endif
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d.%d.%02d %d.%d.%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

StoreName StoreNameFor(StoreScope scope, const std::string& saveFolder, const std::string& mailboxName,
                       std::time_t now) {
    if (scope == StoreScope::OneMailbox) return {saveFolder + mailboxName, mailboxName};
    const std::string stamp = CreationStamp(now);
    return {saveFolder + "Brimvault" + stamp, "Brimvault Mailbox : Created - " + stamp};
}

}  // namespace bv::conversion

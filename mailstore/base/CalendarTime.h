// A moment as calendar fields, in UTC or in the machine's zone: the C library's
// thread-safe calls, which the platforms name differently.
#pragma once
#include <ctime>

namespace bv::mailstore::base {

inline std::tm UtcTime(std::time_t when) {
    std::tm t{};
#ifdef _WIN32
    gmtime_s(&t, &when);
#else
    gmtime_r(&when, &t);
#endif
    return t;
}

inline std::tm LocalTime(std::time_t when) {
    std::tm t{};
#ifdef _WIN32
    localtime_s(&t, &when);
#else
    localtime_r(&when, &t);
#endif
    return t;
}

}  // namespace bv::mailstore::base

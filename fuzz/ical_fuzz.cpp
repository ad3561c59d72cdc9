// iCalendar files: any bytes are read event by event without a crash, a leak or a
// hang; every event either fails with a line inside the input or becomes an
// appointment whose strings are valid UTF-8.
#include <cstdint>
#include <fstream>
#include <string>

#include "FuzzCommon.h"
#include "mailstore/ical/CalendarReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path path = bv::fuzz::ScratchDir() / "input.ics";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    int lines = 1;
    for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    bv::mailstore::ical::CalendarReader reader(path);
    bv::mailstore::ical::CalendarItem item;
    while (reader.FileError().empty() && reader.Next(item)) {
        BV_FUZZ_CHECK(item.line >= 1 && item.line <= lines);
        if (item.error.empty()) bv::fuzz::CheckMessageStrings(item.message);
    }
    return 0;
}

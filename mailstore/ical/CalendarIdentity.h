// How an appointment or task is recognised in a store that may hold it already (each
// item is stored once): the search key of the item, set where the item is made from
// its VEVENT or VTODO, which the store compares as it does a message's.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::ical {

// The name an item is known by, from the component's text (BEGIN:VEVENT or
// BEGIN:VTODO to its END): the component kind with its UID, and with its RECURRENCE-ID
// when it has one (an instance of a recurring event changed apart from the event it
// belongs to is an item of its own). "" for a component without a UID.
std::string CalendarItemName(std::string_view componentText);

// The item's search key: its name, and for a file that gives the same name to more than
// one component, how many came before it in the file (`sameNameBefore`), so that none
// of them is taken for another. Without a UID, a digest of the component's lines,
// unfolded, property names in upper case, without DTSTAMP (when the file was written,
// not what it holds). The same component read twice, from any file or line, gives the
// same key on every platform.
std::vector<uint8_t> CalendarItemSearchKey(std::string_view componentText, int sameNameBefore = 0);

}  // namespace bv::mailstore::ical

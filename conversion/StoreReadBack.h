// The stores of a run read back: each store file written or added to is opened for
// reading, its folders and items compared with what the run put there, and its
// structure checked by the validator's fast checks (header, allocation maps, B-trees,
// where the blocks lie, the data and subnode trees). Also for stores written earlier
// (brimvault-convert --verify).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/RunObserver.h"
#include "mailstore/pst/StoreReadBack.h"

namespace bv::conversion {

struct ReadBackReport {
    int stores = 0;      // store files read back
    int64_t items = 0;   // items in their folders
    int folders = 0;     // folders holding items
    std::vector<Failure> differences;  // store file -> what differs
    bool asWritten() const { return differences.empty(); }
};

// Reads back what a run wrote: one entry per close of a store file, merged per file.
ReadBackReport ReadBackWritten(std::vector<mailstore::pst::WrittenStore> written);
// Reads back stores written earlier: each against what it says of itself.
ReadBackReport ReadBackStores(const std::vector<std::string>& paths);

}  // namespace bv::conversion

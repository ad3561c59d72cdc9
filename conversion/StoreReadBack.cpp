#include "conversion/StoreReadBack.h"

#include <map>

#include "PstValidate.h"
#include "mailstore/base/FreeMemory.h"

namespace bv::conversion {

namespace {

// One store read back, then the validator's checks of the node database (the read
// back has read the folders and items already).
void ReadBackOne(const std::string& path, const mailstore::pst::WrittenStore* written, ReadBackReport& report) {
    // What the writing let go goes back to the system first (from whichever allocator
    // the program runs on): otherwise the read back's memory comes on top of the
    // writer's freed (and scattered) heap.
    mailstore::base::ReturnFreeMemory();
    ++report.stores;
    mailstore::pst::StoreReadBack back = mailstore::pst::ReadBackStore(path, written);
    report.items += back.items;
    report.folders += back.folders;
    for (std::string& d : back.differences) report.differences.push_back({path, std::move(d)});
    pstcheck::Options fast;
    fast.checkLtp = false;
    fast.checkMessaging = false;
    fast.checkBlockData = false;  // the read back has read what it needs through its own reader
    fast.maxPerCheck = 3;
    const pstcheck::Result checked = pstcheck::ValidatePstFile(path, fast);
    // A store that cannot be opened was named by the read back already.
    if (checked.summary.fatal && !back.asWritten()) return;
    size_t listed = 0;
    for (const pstcheck::Finding& f : checked.findings) {
        if (f.severity != pstcheck::Severity::Error) continue;
        if (++listed > 5) break;
        report.differences.push_back({path, "its structure: " + pstcheck::FormatFinding(f)});
    }
    if (checked.summary.errors > 5)
        report.differences.push_back(
            {path, "its structure: " + std::to_string(checked.summary.errors - 5) + " more errors"});
}

}  // namespace

ReadBackReport ReadBackWritten(std::vector<mailstore::pst::WrittenStore> written) {
    // In the order the stores were first written; a file closed more than once is read once.
    std::vector<std::string> order;
    std::map<std::string, mailstore::pst::WrittenStore> merged;
    for (mailstore::pst::WrittenStore& w : written) {
        auto [it, added] = merged.try_emplace(w.path);
        if (added) {
            order.push_back(w.path);
            it->second = std::move(w);
        } else {
            it->second.Merge(std::move(w));
        }
    }
    ReadBackReport report;
    for (const std::string& path : order) ReadBackOne(path, &merged[path], report);
    return report;
}

ReadBackReport ReadBackStores(const std::vector<std::string>& paths) {
    ReadBackReport report;
    for (const std::string& path : paths) ReadBackOne(path, nullptr, report);
    return report;
}

}  // namespace bv::conversion

// The report of a run, one row per input item (message, card, event) and per input
// file not converted, written as the run goes: CSV for spreadsheets, or JSON Lines
// when the file's name ends in ".jsonl" or ".json". Each row reaches the file whole
// before the next is made, so a run that is killed leaves the rows of what it did;
// nothing of the report is held in memory. The observers of the window and of
// brimvault-convert write what their RunObserver::ItemDone is told.
#pragma once
#include <cstdint>
#include <string>

#include "conversion/RunObserver.h"
#include "mailstore/base/PlatformFile.h"

namespace bv::conversion {

// The columns, in order: the CSV's first row and the JSON Lines' keys.
inline constexpr const char* kItemReportColumns[] = {
    "input", "number", "offset", "line", "message_id", "date", "sender", "subject",
    "result", "reason", "destination", "folder"};

// "converted", "already there", "converted with a warning", "failed", "not converted".
const char* ResultWord(ItemOutcome::Result result);

// One CSV cell: quoted, quotes doubled, and made inert for a spreadsheet when it would
// start a formula (= + - @, tab or carriage return first): a ' is put before it.
std::string CsvCell(const std::string& value);

class ItemReportFile {
public:
    // Creates (or empties) `path` and writes the header row. Throws MailStoreError
    // naming the file when it cannot be written.
    explicit ItemReportFile(const std::string& path);
    ItemReportFile(const ItemReportFile&) = delete;
    ItemReportFile& operator=(const ItemReportFile&) = delete;

    void Write(const ItemOutcome& outcome);
    // The first write that failed, "" when none did.
    const std::string& error() const { return error_; }

private:
    void Put(const std::string& row);

    mailstore::base::PlatformFile file_{"the report"};
    uint64_t end_ = 0;
    bool json_ = false;
    std::string error_;
};

}  // namespace bv::conversion

// Contacts (.vcf) and calendars (.ics) in a run: each card becomes a contact, each
// event an appointment and each task a task, in a "Contacts" (IPF.Contact), "Calendar"
// (IPF.Appointment) or "Tasks" (IPF.Task) folder of the store (named after the file when the store gets more than one file of
// that kind), or as "Contact-n.msg" / "Appointment-n.msg" files in the file's output
// folder ("Task-n.msg" for tasks). An item that cannot be read fails alone, with its
// line; the rest convert. A store holds each item once: a contact is known by its
// card's UID (without one, by its content), an appointment or task by its UID and
// RECURRENCE-ID, so one the store holds already is counted "already there" instead. A file is read from disk, or as a member of an archive from
// the bytes the archive gives, never unpacked to disk.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "conversion/ConversionRun.h"
#include "conversion/InputFile.h"
#include "mailstore/pst/PstStoreSeries.h"

namespace bv::conversion {

enum class ItemFileKind { None, Contacts, Calendar };

// What an input holds, by its name: .vcf / .vcard contacts, .ics / .ical calendars.
ItemFileKind ItemFileKindOf(const std::string& path);
// The input's name without its extension ("family.vcf" -> "family").
std::string ItemFileStem(const std::string& fileName);
// The folder the items go to: "Contacts" / "Calendar", or `stem` when the store
// receives more than one file of the kind.
std::string ItemFolderName(ItemFileKind kind, const std::string& stem, bool oneOfSeveral);
// The folder the tasks (VTODO) of a calendar file go to: "Tasks", or "<stem> (Tasks)"
// when the store receives more than one calendar file.
std::string TaskFolderName(const std::string& stem, bool oneOfSeveral);
// The message file of item `n` (from 1): "Contact-n.msg" / "Appointment-n.msg", and
// "Task-n.msg" for a task of a calendar file.
std::string ItemMsgFileName(ItemFileKind kind, const std::string& folder, int64_t n, bool task = false);
// A calendar inside an archive is held in memory while it is read (it is read twice:
// its time zones and overrides first); one larger than this fails.
inline constexpr uint64_t kMaxCalendarMemberBytes = uint64_t(256) << 20;
// The line of the report for inputs passed over by an .eml / .emlx run.
inline constexpr const char* kItemFilesPassedOver =
    "passed over: contacts and calendars are converted into .pst and .msg files only";

struct ItemFileTarget {
    OutputKind kind = OutputKind::Msg;  // Msg or Pst
    std::string inputPath;      // the file, or the archive's path and the member's: names failures
    std::string outputFolder;  // .msg: where the files go
    mailstore::pst::PstStoreSeries* store = nullptr;  // .pst: the open store and the folder in it
    std::string folder;         // .pst: the folder's name (ItemFolderName), made for the first item added
    std::string taskFolder;     // .pst, calendars: where tasks go, made for the first task added
};

struct ItemFileResult {
    int64_t converted = 0;
    int64_t alreadyThere = 0;  // held by the store already (the same identity), so not added again
    int64_t failed = 0;
    std::vector<Failure> failures;  // "line N: reason" for each item, or the file's error
    std::vector<Failure> warnings;
    bool stopped = false;
    bool diskFull = false;  // a write found the disk full: the file's conversion ended there
};

// Converts every item of the file: read from `bytes` when given (a member of an
// archive, opened, read from where it stands to its end), else the file
// `target.inputPath`.
ItemFileResult ConvertItemFile(ItemFileKind kind, const ItemFileTarget& target, RunObserver& observer,
                               InputFile* bytes = nullptr);

}  // namespace bv::conversion

#include "conversion/ItemFiles.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "conversion/DiskFull.h"
#include "conversion/PathHelpers.h"
#include "mailstore/base/Ascii.h"
#include "mailstore/ical/CalendarReader.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/msg/MsgWriter.h"
#include "mailstore/vcard/CardReader.h"
#include "mailstore/vcard/ContactItem.h"

namespace bv::conversion {

namespace fs = std::filesystem;

namespace {

bool EndsWithNoCase(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && base::EqualsNoCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

// One item of a file: the message, or why it could not be read and where.
struct Item {
    mapi::Message message;
    bool task = false;  // of a calendar file
    std::string error;
    int line = 0;
};

class ItemSource {
public:
    virtual ~ItemSource() = default;
    // The next item; false at the end of the file.
    virtual bool Next(Item& item) = 0;
};

class ContactSource : public ItemSource {
public:
    explicit ContactSource(std::istream& in) : reader_(in) {}
    bool Next(Item& item) override {
        if (!reader_.Next(card_)) return false;
        item.line = card_.firstLine;
        item.error.clear();
        item.message = mapi::Message{};
        if (!card_.error.empty()) {
            item.line = card_.errorLine;
            item.error = card_.error;
            return true;
        }
        try {
            item.message = mailstore::vcard::ContactFromCard(card_);
        } catch (const std::exception& e) {
            item.error = e.what();
        }
        return true;
    }

private:
    mailstore::vcard::CardReader reader_;
    mailstore::vcard::Card card_;
};

class AppointmentSource : public ItemSource {
public:
    explicit AppointmentSource(const fs::path& path) : reader_(path) {}
    bool Next(Item& item) override {
        mailstore::ical::CalendarItem ci;
        if (!reader_.Next(ci)) return false;
        item.line = ci.line;
        item.task = ci.task;
        item.error = std::move(ci.error);
        item.message = std::move(ci.message);
        return true;
    }
    const std::string& FileError() const { return reader_.FileError(); }

private:
    mailstore::ical::CalendarReader reader_;
};

}  // namespace

ItemFileKind ItemFileKindOf(const std::string& path) {
    if (EndsWithNoCase(path, ".vcf") || EndsWithNoCase(path, ".vcard")) return ItemFileKind::Contacts;
    if (EndsWithNoCase(path, ".ics") || EndsWithNoCase(path, ".ical") || EndsWithNoCase(path, ".ifb"))
        return ItemFileKind::Calendar;
    return ItemFileKind::None;
}

std::string ItemFileStem(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    std::string stem = dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
    size_t b = stem.find_first_not_of(' ');
    if (b == std::string::npos) return fileName;
    return stem.substr(b, stem.find_last_not_of(' ') - b + 1);
}

std::string ItemFolderName(ItemFileKind kind, const std::string& stem, bool oneOfSeveral) {
    if (oneOfSeveral && !stem.empty()) return stem;
    return kind == ItemFileKind::Contacts ? "Contacts" : "Calendar";
}

std::string TaskFolderName(const std::string& stem, bool oneOfSeveral) {
    return oneOfSeveral && !stem.empty() ? stem + " (Tasks)" : "Tasks";
}

std::string ItemMsgFileName(ItemFileKind kind, const std::string& folder, int64_t n, bool task) {
    const char* prefix = task ? "Task-" : kind == ItemFileKind::Contacts ? "Contact-" : "Appointment-";
    return folder + kPathSeparator + prefix + std::to_string(n) + ".msg";
}

ItemFileResult ConvertItemFile(ItemFileKind kind, const ItemFileTarget& target, RunObserver& observer) {
    ItemFileResult result;
    const fs::path path = fs::u8path(target.inputPath);
    std::ifstream in;
    std::unique_ptr<ItemSource> source;
    if (kind == ItemFileKind::Contacts) {
        in.open(path, std::ios::binary);
        if (!in) {
            result.failures.push_back({target.inputPath, "cannot open the file"});
            return result;
        }
        source = std::make_unique<ContactSource>(in);
    } else {
        auto calendar = std::make_unique<AppointmentSource>(path);
        if (!calendar->FileError().empty()) {
            result.failures.push_back({target.inputPath, calendar->FileError()});
            return result;
        }
        source = std::move(calendar);
    }
    Item item;
    int64_t n = 0;
    std::string taskFolder;  // .pst: made at the first task
    std::string eventFolder = kind == ItemFileKind::Contacts ? target.folder : "";  // made at the first event
    while (source->Next(item)) {
        ++n;  // items are numbered in file order, those that fail too
        if (observer.StopRequested()) {
            result.stopped = true;
            break;
        }
        const std::string where = "line " + std::to_string(item.line) + ": ";
        if (!item.error.empty()) {
            ++result.failed;
            result.failures.push_back({target.inputPath, where + item.error});
            continue;
        }
        try {
            mapi::CompleteMessage(item.message);
            if (target.kind == OutputKind::Pst) {
                if (item.task && taskFolder.empty())
                    taskFolder = target.store->AddItemFolder(target.taskFolder.empty() ? "Tasks" : target.taskFolder,
                                                             "IPF.Task", "Tasks");
                if (!item.task && eventFolder.empty())
                    eventFolder = target.store->AddItemFolder(target.folder, "IPF.Appointment", "Calendar");
                std::string warning = target.store->Add({item.task ? taskFolder : eventFolder},
                                                        target.store->Prepare(item.message));
                if (!warning.empty()) result.warnings.push_back({target.inputPath, where + warning});
            } else {
                mailstore::msg::WriteMsgFile(item.message,
                                             fs::u8path(ItemMsgFileName(kind, target.outputFolder, n, item.task)));
            }
        } catch (const std::exception& e) {
            ++result.failed;
            if (IsDiskFull(e.what())) {
                // Every later write would fail the same way: one failure, and the run ends.
                result.diskFull = true;
                result.failures.push_back({target.inputPath, DiskFullReason(e.what())});
                break;
            }
            result.failures.push_back({target.inputPath, where + e.what()});
            continue;
        }
        for (const std::string& w : item.message.warnings) result.warnings.push_back({target.inputPath, where + w});
        ++result.converted;
        observer.MessageWritten(int32_t(n));
    }
    if (kind == ItemFileKind::Contacts && in.bad())
        result.failures.push_back({target.inputPath, "the file could not be read to its end"});
    return result;
}

}  // namespace bv::conversion

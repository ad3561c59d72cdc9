#include "conversion/ItemFiles.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <streambuf>

#include "conversion/DiskFull.h"
#include "conversion/PathHelpers.h"
#include "mailstore/base/Ascii.h"
#include "mailstore/ical/CalendarReader.h"
#include "mailstore/msg/MsgWriter.h"
#include "mailstore/vcard/CardReader.h"
#include "mailstore/vcard/ContactItem.h"

namespace bv::conversion {

namespace fs = std::filesystem;

namespace {

bool EndsWithNoCase(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && base::EqualsNoCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
}

// The bytes of an opened input, from where it stands, as a stream read once: a
// member's cards are read as the archive gives them.
class InputFileBuf : public std::streambuf {
public:
    explicit InputFileBuf(InputFile& in) : in_(in) {}

protected:
    int_type underflow() override {
        in_.Consume(handedOut_);  // every byte given before was read
        handedOut_ = 0;
        if (in_.Ensure(1) == 0) return traits_type::eof();
        char* p = const_cast<char*>(in_.data());
        handedOut_ = in_.available();
        setg(p, p, p + handedOut_);
        return traits_type::to_int_type(*p);
    }

private:
    InputFile& in_;
    size_t handedOut_ = 0;
};

class InputFileStream : public std::istream {
public:
    explicit InputFileStream(InputFile& in) : std::istream(nullptr), buf_(in) { rdbuf(&buf_); }

private:
    InputFileBuf buf_;
};

// Bytes held in memory as a stream that can seek; several may read the same bytes.
class BytesBuf : public std::streambuf {
public:
    explicit BytesBuf(const std::string& bytes) {
        char* p = const_cast<char*>(bytes.data());
        setg(p, p, p + bytes.size());
    }

protected:
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        const off_type from = dir == std::ios_base::beg ? 0 : dir == std::ios_base::cur ? gptr() - eback() : egptr() - eback();
        const off_type to = from + off;
        if (to < 0 || to > egptr() - eback()) return pos_type(off_type(-1));
        setg(eback(), eback() + to, egptr());
        return pos_type(to);
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
        return seekoff(off_type(pos), std::ios_base::beg, which);
    }
};

class BytesStream : public std::istream {
public:
    explicit BytesStream(const std::string& bytes) : std::istream(nullptr), buf_(bytes) { rdbuf(&buf_); }

private:
    BytesBuf buf_;
};

// A calendar member's bytes, read to the end or up to damage (`error` then says why);
// false when it is too large to hold.
bool ReadCalendarMember(InputFile& in, std::string& bytes, std::string& error) {
    while (in.Ensure(1) > 0) {
        if (bytes.size() + in.available() > kMaxCalendarMemberBytes) {
            error = "the calendar is larger than " + std::to_string(kMaxCalendarMemberBytes >> 20) +
                    " MB: inside an archive a calendar is read in memory; unpack it to convert it";
            bytes.clear();
            return false;
        }
        bytes.append(in.data(), in.available());
        in.Consume(in.available());
    }
    if (in.failed()) error = in.error();
    return true;
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
    // Calendar bytes in memory, which must outlive the reading.
    explicit AppointmentSource(const std::string& bytes)
        : reader_([&bytes]() -> std::unique_ptr<std::istream> { return std::make_unique<BytesStream>(bytes); }) {}
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

ItemFileResult ConvertItemFile(ItemFileKind kind, const ItemFileTarget& target, RunObserver& observer,
                               InputFile* bytes) {
    ItemFileResult result;
    const fs::path path = fs::u8path(target.inputPath);
    std::unique_ptr<std::istream> in;
    std::string calendarBytes;  // of a member: read whole first
    std::string readError;      // a member's data that could not be read to its end
    std::unique_ptr<ItemSource> source;
    if (kind == ItemFileKind::Contacts) {
        if (bytes) {
            in = std::make_unique<InputFileStream>(*bytes);
        } else {
            in = std::make_unique<std::ifstream>(path, std::ios::binary);
            if (!*in) {
                result.failures.push_back({target.inputPath, "cannot open the file"});
                return result;
            }
        }
        source = std::make_unique<ContactSource>(*in);
    } else {
        if (bytes && !ReadCalendarMember(*bytes, calendarBytes, readError)) {
            result.failures.push_back({target.inputPath, readError});
            return result;
        }
        // What was read before damage converts; the damage is told after it.
        auto calendar = bytes ? std::make_unique<AppointmentSource>(calendarBytes) : std::make_unique<AppointmentSource>(path);
        if (!calendar->FileError().empty()) {
            result.failures.push_back({target.inputPath, readError.empty() ? calendar->FileError() : readError});
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
    if (bytes && kind == ItemFileKind::Contacts && !result.stopped && !result.diskFull) {
        // A stop or a full disk leaves the member unread on purpose.
        if (bytes->failed()) readError = bytes->error();
    } else if (kind == ItemFileKind::Contacts && in->bad()) {
        readError = "the file could not be read to its end";
    }
    if (!readError.empty()) result.failures.push_back({target.inputPath, readError});
    return result;
}

}  // namespace bv::conversion

#include "conversion/ItemFiles.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <streambuf>
#include <vector>

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
    return s.size() >= suffix.size() && mailstore::base::EqualsNoCase(std::string_view(s).substr(s.size() - suffix.size()), suffix);
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

// Bytes held in memory in blocks (never copied whole, never more than a block over
// their size), read as streams that can seek; several may read the same bytes.
struct HeldBytes {
    static constexpr size_t kBlock = size_t(1) << 20;
    std::vector<std::unique_ptr<char[]>> blocks;
    uint64_t size = 0;

    void Append(const char* data, size_t n) {
        while (n > 0) {
            const size_t at = size_t(size % kBlock);
            if (at == 0) blocks.push_back(std::make_unique_for_overwrite<char[]>(kBlock));
            const size_t take = std::min(n, kBlock - at);
            std::memcpy(blocks.back().get() + at, data, take);
            data += take;
            n -= take;
            size += take;
        }
    }
};

class HeldBytesBuf : public std::streambuf {
public:
    explicit HeldBytesBuf(const HeldBytes& bytes) : b_(bytes) { Show(0); }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        const uint64_t next = base_ + uint64_t(egptr() - eback());
        if (next >= b_.size) return traits_type::eof();
        Show(next);
        return traits_type::to_int_type(*gptr());
    }
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        const off_type from = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::cur ? off_type(base_) + (gptr() - eback())
                                                          : off_type(b_.size);
        const off_type to = from + off;
        if (to < 0 || uint64_t(to) > b_.size) return pos_type(off_type(-1));
        Show(uint64_t(to));
        return pos_type(to);
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
        return seekoff(off_type(pos), std::ios_base::beg, which);
    }

private:
    // Makes the block holding `at` the get area, positioned at `at`.
    void Show(uint64_t at) {
        if (at >= b_.size) {  // the end: nothing left to get
            base_ = b_.size;
            setg(nullptr, nullptr, nullptr);
            return;
        }
        const size_t block = size_t(at / HeldBytes::kBlock);
        base_ = uint64_t(block) * HeldBytes::kBlock;
        char* p = b_.blocks[block].get();
        setg(p, p + (at - base_), p + size_t(std::min<uint64_t>(HeldBytes::kBlock, b_.size - base_)));
    }

    const HeldBytes& b_;
    uint64_t base_ = 0;  // the offset of eback()
};

class HeldBytesStream : public std::istream {
public:
    explicit HeldBytesStream(const HeldBytes& bytes) : std::istream(nullptr), buf_(bytes) { rdbuf(&buf_); }

private:
    HeldBytesBuf buf_;
};

// A calendar member's bytes, read to the end or up to damage (`in` then says why); the
// reason it cannot be converted when it is too large to hold.
std::optional<std::string> ReadCalendarMember(InputFile& in, HeldBytes& bytes) {
    while (in.Ensure(1) > 0) {
        if (bytes.size + in.available() > kMaxCalendarMemberBytes) {
            bytes = HeldBytes{};
            return "the calendar is larger than " + std::to_string(kMaxCalendarMemberBytes >> 20) +
                   " MB: inside an archive a calendar is read in memory; unpack it to convert it";
        }
        bytes.Append(in.data(), in.available());
        in.Consume(in.available());
    }
    return std::nullopt;
}

// One item of a file: the message, or why it could not be read and where.
struct Item {
    mailstore::mapi::Message message;
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
        item.message = mailstore::mapi::Message{};
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
    explicit AppointmentSource(const HeldBytes& bytes)
        : reader_([&bytes]() -> std::unique_ptr<std::istream> { return std::make_unique<HeldBytesStream>(bytes); }) {}
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

namespace {

// The items of a contacts or calendar file, as they are read.
struct OpenedItems {
    std::unique_ptr<std::istream> in;  // contacts
    HeldBytes calendarBytes;           // of a member: read whole first
    std::string readError;             // a member's data that could not be read to its end
    std::unique_ptr<ItemSource> source;
};

// Opens the items of a file (`bytes` null) or of a member read from `bytes`. False, with
// the failure in `result` and told, when the file cannot be read at all.
bool OpenItems(ItemFileKind kind, const ItemFileTarget& target, RunObserver& observer, InputFile* bytes,
               OpenedItems& opened, ItemFileResult& result) {
    auto fail = [&](std::string reason) {
        result.failures.push_back({target.inputPath, std::move(reason)});
        TellNotConverted(observer, target.inputPath, result.failures.back().reason);
        return false;
    };
    const fs::path path = fs::u8path(target.inputPath);
    if (kind == ItemFileKind::Contacts) {
        if (bytes) {
            opened.in = std::make_unique<InputFileStream>(*bytes);
        } else {
            opened.in = std::make_unique<std::ifstream>(path, std::ios::binary);
            if (!*opened.in) return fail("cannot open the file");
        }
        opened.source = std::make_unique<ContactSource>(*opened.in);
        return true;
    }
    if (bytes) {
        if (std::optional<std::string> tooLarge = ReadCalendarMember(*bytes, opened.calendarBytes))
            return fail(std::move(*tooLarge));
        if (bytes->failed()) opened.readError = bytes->error();
    }
    // What was read before damage converts; the damage is told after it.
    auto calendar = bytes ? std::make_unique<AppointmentSource>(opened.calendarBytes)
                          : std::make_unique<AppointmentSource>(path);
    if (!calendar->FileError().empty())
        return fail(opened.readError.empty() ? calendar->FileError() : opened.readError);
    opened.source = std::move(calendar);
    return true;
}

}  // namespace

ItemFileResult ConvertItemFile(ItemFileKind kind, const ItemFileTarget& target, RunObserver& observer,
                               InputFile* bytes) {
    ItemFileResult result;
    OpenedItems opened;
    if (!OpenItems(kind, target, observer, bytes, opened, result)) return result;
    std::string& readError = opened.readError;
    ItemSource* source = opened.source.get();
    Item item;
    int64_t n = 0;
    // What became of the item, for an observer that wants to know.
    const bool wantsItems = observer.WantsItems();
    auto tell = [&](ItemOutcome::Result outcome, std::string reason, std::string destination = {},
                    std::string folder = {}) {
        if (!wantsItems) return;
        ItemOutcome o;
        o.result = outcome;
        o.input = target.inputPath;
        o.number = n;
        o.line = item.line;
        if (item.error.empty()) {
            o.subject = item.message.props.GetString(mailstore::mapi::PR_SUBJECT).value_or(
                item.message.props.GetString(mailstore::mapi::PR_DISPLAY_NAME).value_or(""));
        }
        o.reason = std::move(reason);
        o.destination = std::move(destination);
        o.folder = std::move(folder);
        observer.ItemDone(o);
    };
    // .pst: the folders, each made when its first item is added (a file whose items the
    // store holds already leaves no empty folder).
    std::string taskFolder;
    std::string itemFolder;  // contacts, or events
    while (source->Next(item)) {
        ++n;  // items are numbered in file order, those that fail too
        if (observer.StopRequested()) {
            result.stopped = true;
            break;
        }
        const std::string where = "line " + std::to_string(item.line) + ": ";
        if (!item.error.empty()) {
            ++result.failed;
            result.failures.push_back({target.inputPath, where + item.error, FailureKind::MessageFailed});
            tell(ItemOutcome::Result::Failed, item.error);
            continue;
        }
        std::string destination, storeFolder;
        const size_t warningsBefore = result.warnings.size();
        try {
            mailstore::mapi::CompleteMessage(item.message);
            if (target.kind == OutputKind::Pst) {
                mailstore::pst::PreparedMessagePtr prepared = target.store->Prepare(item.message);
                // An item the store holds already (the same card or event, from an
                // earlier run or another file) is not added again.
                std::string& folder = item.task ? taskFolder : itemFolder;
                if (folder.empty() && !target.store->Holds(*prepared)) {
                    if (item.task)
                        folder = target.store->AddItemFolder(target.taskFolder.empty() ? "Tasks" : target.taskFolder,
                                                             "IPF.Task", "Tasks");
                    else if (kind == ItemFileKind::Contacts)
                        folder = target.store->AddItemFolder(target.folder, "IPF.Contact", "Contacts");
                    else
                        folder = target.store->AddItemFolder(target.folder, "IPF.Appointment", "Calendar");
                }
                mailstore::pst::PstStoreSeries::Added added = target.store->AddOnce({folder}, std::move(prepared));
                destination = target.store->path();
                storeFolder = folder;
                if (!added.warning.empty()) result.warnings.push_back({target.inputPath, where + added.warning});
                if (!added.added) {
                    ++result.alreadyThere;
                    tell(ItemOutcome::Result::AlreadyThere, "", destination, storeFolder);
                    observer.MessageWritten(int32_t(n));
                    observer.MessageSettled(false);
                    continue;
                }
            } else if (destination = ItemMsgFileName(kind, target.outputFolder, n, item.task);
                       !mailstore::msg::WriteMsgFile(item.message, fs::u8path(destination))) {
                // The same file, written before: left as it is.
                ++result.alreadyThere;
                tell(ItemOutcome::Result::AlreadyThere, "", destination);
                observer.MessageWritten(int32_t(n));
                observer.MessageSettled(false);
                continue;
            }
        } catch (const std::exception& e) {
            ++result.failed;
            tell(ItemOutcome::Result::Failed, e.what(), destination, storeFolder);
            if (IsDiskFull(e.what())) {
                // Every later write would fail the same way: one failure, and the run ends.
                result.diskFull = true;
                result.failures.push_back({target.inputPath, DiskFullReason(e.what()), FailureKind::DiskFull});
                break;
            }
            result.failures.push_back({target.inputPath, where + e.what(), FailureKind::MessageFailed});
            continue;
        }
        for (const std::string& w : item.message.warnings) result.warnings.push_back({target.inputPath, where + w});
        std::string reasons;
        for (size_t i = warningsBefore; i < result.warnings.size(); ++i)
            reasons += (reasons.empty() ? "" : "; ") + result.warnings[i].reason.substr(where.size());
        const auto outcome = reasons.empty() ? ItemOutcome::Result::Converted : ItemOutcome::Result::ConvertedWithWarning;
        tell(outcome, std::move(reasons), destination, storeFolder);
        ++result.converted;
        observer.MessageWritten(int32_t(n));
        observer.MessageSettled(true);
    }
    if (bytes && kind == ItemFileKind::Contacts && !result.stopped && !result.diskFull) {
        // A stop or a full disk leaves the member unread on purpose.
        if (bytes->failed()) readError = bytes->error();
    } else if (kind == ItemFileKind::Contacts && opened.in->bad()) {
        readError = "the file could not be read to its end";
    }
    if (!readError.empty()) {
        result.failures.push_back({target.inputPath, readError});
        TellNotConverted(observer, target.inputPath, readError);
    }
    return result;
}

}  // namespace bv::conversion

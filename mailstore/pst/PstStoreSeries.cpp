#include "mailstore/pst/PstStoreSeries.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "mailstore/MailStoreError.h"
#include "mailstore/base/Ascii.h"
#include "mailstore/base/Crc32.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/StoreSize.h"
#include "mailstore/pst/messaging/NameToIdMap.h"
#include "mailstore/pst/messaging/Store.h"

namespace bv::mailstore::pst {

namespace fs = std::filesystem;

namespace {
// What a folder made for a message adds: its PC, hierarchy and contents tables.
constexpr uint64_t kFolderBytes = 2 * 1024;
// Room for what the count of a part's bytes may miss: space that cannot be reused,
// alignment.
constexpr uint64_t kMarginBytes = 16 * 1024;
// Categories waiting for parts that are not open, at most: then those parts are
// opened again to take them.
constexpr size_t kMaxWaitingBytes = 8u << 20;
}  // namespace

// The stem's last name is cut when a part's file name made from it ("<name> (n).pst")
// could pass the 255 bytes a file system allows a name: its beginning is kept (whole
// characters) and a digest of the whole name added, so that long names that begin
// alike stay apart and the next run finds the same file.
std::string PstStoreSeries::FittingStem(const std::string& stem) {
    constexpr size_t kMaxName = 255;
    constexpr size_t kPartSuffix = std::string_view(" (99999).pst").size();
    constexpr size_t kDigest = std::string_view("~0123ABCD").size();
    const fs::path path = fs::u8path(stem);
    const std::u8string leaf8 = path.filename().u8string();
    const std::string leaf(leaf8.begin(), leaf8.end());
    if (leaf.size() + kPartSuffix <= kMaxName) return stem;
    std::string cut = base::Utf8Prefix(leaf, kMaxName - kPartSuffix - kDigest);
    while (!cut.empty() && (cut.back() == ' ' || cut.back() == '.')) cut.pop_back();  // Windows drops them
    char digest[16];
    std::snprintf(digest, sizeof digest, "~%08X",
                  unsigned(base::ComputeCrc(reinterpret_cast<const uint8_t*>(leaf.data()), leaf.size())));
    const std::u8string shortened = (path.parent_path() / fs::u8path(cut + digest)).u8string();
    return std::string(shortened.begin(), shortened.end());
}

PstStoreSeries::PstStoreSeries(std::string stem, std::string displayName, uint64_t maxSize)
    : stem_(FittingStem(stem)), displayName_(std::move(displayName)), maxSize_(maxSize) {
    spoolDir_ = fs::u8path(stem_).parent_path();
    if (spoolDir_.empty()) spoolDir_ = ".";
    OpenPart();
}

PstStoreSeries::~PstStoreSeries() { Close(); }

bool PstStoreSeries::Fits(uint64_t used) const {
    return maxSize_ == 0 || FileSizeFor(used + used / 32 + kMarginBytes) <= maxSize_;
}

void PstStoreSeries::OpenPart() {
    fs::path file;
    uint64_t existing = 0;
    for (;; ++number_) {
        path_ = stem_ + (number_ > 1 ? " (" + std::to_string(number_) + ")" : "") + ".pst";
        file = fs::u8path(path_);
        std::error_code ec;
        existing = fs::is_regular_file(file, ec) ? fs::file_size(file, ec) : 0;
        // A part of an earlier run that is already full stays as it is.
        if (existing == 0 || Fits(existing)) break;
        RememberHeld(file);
        partsDone_.push_back(path_);
    }
    part_ = Store::OpenOrCreate(file, displayName_);
    freshPart_ = existing == 0;
    messages_ = 0;
    known_.clear();
    if (!names_) {
        // Messages are prepared with the ids of the first part: where every part takes
        // the names in the same order, no message needs new ones when it is added.
        names_ = std::make_unique<NameToIdMap>(NameToIdMap::FromProperties(part_->Names().Properties()));
        cryptMethod_ = part_->CryptMethod();
    }
    for (const std::string& name : folders_) known_[{0, name}] = AddToPart(name);
}

FolderId PstStoreSeries::AddToPart(const std::string& name) {
    auto it = folderClasses_.find(name);
    if (it == folderClasses_.end()) return part_->AddFolder(part_->IpmSubtree(), name);
    return part_->AddFolderOfClass(part_->IpmSubtree(), name, it->second);
}

std::string PstStoreSeries::AddItemFolder(const std::string& nameIn, const std::string& containerClass,
                                          const std::string& what) {
    if (!part_) throw MailStoreError("no store is open");
    if (nameIn.empty()) throw MailStoreError("a folder needs a name");
    std::string name = nameIn;
    if (known_.count({0, name})) {
        auto cls = folderClasses_.find(name);
        if (cls != folderClasses_.end() && cls->second == containerClass) return name;
        name = nameIn + " (" + what + ")";  // a mailbox's folder of that name
    }
    if (known_.count({0, name})) return name;
    folderClasses_[name] = containerClass;
    try {
        known_[{0, name}] = AddToPart(name);
    } catch (...) {
        folderClasses_.erase(name);
        throw;
    }
    folders_.push_back(name);
    foldersLowered_.insert(base::AsciiLowered(name));
    return name;
}

void PstStoreSeries::NextPart() {
    ClosePart(true);
    ++number_;
    OpenPart();
}

void PstStoreSeries::AddFolder(const std::string& name) {
    if (!part_) throw MailStoreError("no store is open");
    if (name.empty()) throw MailStoreError("a folder needs a name");
    auto [it, added] = known_.try_emplace({0, name}, 0);
    if (!added) return;
    try {
        it->second = AddToPart(name);
    } catch (...) {
        known_.erase(it);
        throw;
    }
    folders_.push_back(name);
    foldersLowered_.insert(base::AsciiLowered(name));
}

PreparedMessagePtr PstStoreSeries::Prepare(const mapi::Message& message) const {
    return PreparedMessagePtr(new PreparedMessage(PrepareMessage(message, *names_, cryptMethod_, spoolDir_)));
}

PreparedMessagePtr PstStoreSeries::Prepare(mapi::Message&& message) const {
    return PreparedMessagePtr(new PreparedMessage(PrepareMessage(std::move(message), *names_, cryptMethod_, spoolDir_)));
}

PreparedMessagePtr PstStoreSeries::Prepare(mapi::Message&& message, TextApart apart) const {
    return PreparedMessagePtr(
        new PreparedMessage(PrepareMessage(std::move(message), *names_, cryptMethod_, spoolDir_, std::move(apart))));
}

FolderId PstStoreSeries::FolderIn(const std::vector<std::string>& folder) {
    if (folder.empty()) throw MailStoreError("a message needs a folder");
    auto top = known_.find({0, folder[0]});
    if (top == known_.end()) throw MailStoreError("the store has no folder \"" + folder[0] + "\"");
    FolderId current = top->second;
    for (size_t i = 1; i < folder.size(); ++i) {
        auto [it, added] = known_.try_emplace({current, folder[i]}, 0);
        if (added) {
            try {
                it->second = part_->AddFolder(current, folder[i]);
            } catch (...) {
                known_.erase(it);
                throw;
            }
        }
        current = it->second;
    }
    return current;
}

void PstStoreSeries::RememberHeld(const fs::path& file) {
    try {
        std::unique_ptr<Store> part = Store::OpenOrCreate(file, displayName_);
        NoteHeld(part->HeldIdentities());
        part->Close();  // unchanged: nothing is written
    } catch (const MailStoreError&) {
        // A part that cannot be read is left alone; its messages are not known.
    }
}

std::string PstStoreSeries::Add(const std::vector<std::string>& folder, PreparedMessagePtr message) {
    return Place(folder, std::move(message), false);
}

PstStoreSeries::Added PstStoreSeries::AddOnce(const std::vector<std::string>& folder, PreparedMessagePtr message,
                                              Refolder refolder) {
    if (!part_) throw MailStoreError("no store is open");
    if (!message) throw MailStoreError("no message to store");
    if (std::optional<Store::Match> same = part_->FindSame(message->built.props)) {
        Relabel(*part_, same->identity, Store::CategoriesOf(*message), refolder);
        return {false, {}};
    }
    // Another part is known by its messages' identities only; the identity by header
    // fields needs the part to compare bodies, so there a copy is added instead.
    const Identity identity = Store::IdentityOf(*message);
    if (identity && std::binary_search(heldElsewhere_.begin(), heldElsewhere_.end(), identity)) {
        // Held by a part that is not open: its categories reach it when that part is
        // opened again.
        std::vector<std::string> categories = Store::CategoriesOf(*message);
        if (!categories.empty() || refolder) {
            for (const std::string& c : categories) waitingBytes_ += sizeof(std::string) + c.size();
            waitingBytes_ += sizeof(Waiting);
            waitingCategories_.push_back({identity, std::move(categories), std::move(refolder)});
            if (waitingBytes_ > kMaxWaitingBytes) AddWaitingCategories();
        }
        return {false, {}};
    }
    return {true, Place(folder, std::move(message), true)};
}

bool PstStoreSeries::Relabel(Store& part, Identity identity, const std::vector<std::string>& categories,
                             const Refolder& refolder) {
    std::optional<Store::HeldMessage> held = refolder ? part.FindHeld(identity) : std::nullopt;  // as it was
    if (!part.AddCategories(identity, categories)) return false;
    if (!held) return true;
    const std::vector<std::string> now = part.FolderPath(held->folder);
    // Only a message below a top folder of this run (a mailbox's) is moved: the other
    // folders of a store, an Outlook-made one say, stay as their owner left them.
    if (now.empty() || !foldersLowered_.count(base::AsciiLowered(now[0]))) return true;
    const std::vector<std::string> wanted = refolder(now, held->categories);
    if (wanted.empty() || wanted == now) return true;
    FolderId folder = part.IpmSubtree();
    for (const std::string& name : wanted) folder = part.AddFolder(folder, name);  // (found when there)
    part.MoveMessage(held->nid, folder);
    return true;
}

bool PstStoreSeries::Holds(const PreparedMessage& message) {
    if (part_ && part_->Holds(message)) return true;
    const Identity identity = Store::IdentityOf(message);
    return identity && std::binary_search(heldElsewhere_.begin(), heldElsewhere_.end(), identity);
}

std::string PstStoreSeries::Place(const std::vector<std::string>& folder, PreparedMessagePtr message, bool once) {
    if (!part_) throw MailStoreError("no store is open");
    if (!message) throw MailStoreError("no message to store");
    // Room for the folders below the top one too, should the part not have them yet.
    const uint64_t room = StoredSize(*message) + (folder.size() - (folder.empty() ? 0 : 1)) * kFolderBytes;
    // A part takes a message past the limit only when it was made for it and holds
    // nothing else.
    while (!Fits(part_->UsedBytes() + room) && !(freshPart_ && messages_ == 0)) NextPart();
    std::string warning;
    if (!Fits(part_->UsedBytes() + room))
        warning = "it is larger than the store size limit of " + std::to_string(maxSize_) +
                  " bytes, so it has a store part of its own: " + path_;
    if (once)
        part_->AddMessageOnce(FolderIn(folder), std::move(message));
    else
        part_->AddMessage(FolderIn(folder), std::move(message));
    ++messages_;
    return warning;
}

void PstStoreSeries::NoteHeld(std::vector<Identity> identities) {
    // Both sorted (HeldIdentities): one merge.
    const size_t before = heldElsewhere_.size();
    heldElsewhere_.insert(heldElsewhere_.end(), identities.begin(), identities.end());
    std::inplace_merge(heldElsewhere_.begin(), heldElsewhere_.begin() + before, heldElsewhere_.end());
    heldElsewhere_.erase(std::unique(heldElsewhere_.begin(), heldElsewhere_.end()), heldElsewhere_.end());
}

void PstStoreSeries::Close() {
    ClosePart(false);
    AddWaitingCategories();
}

void PstStoreSeries::AddWaitingCategories() {
    if (waitingCategories_.empty()) return;
    auto waiting = std::exchange(waitingCategories_, {});
    waitingBytes_ = 0;
    std::vector<bool> done(waiting.size(), false);
    size_t left = waiting.size();
    for (const std::string& partPath : partsDone_) {
        if (left == 0) break;
        if (part_ && partPath == path_) continue;  // the open part takes its own at once
        try {
            std::unique_ptr<Store> part = Store::OpenOrCreate(fs::u8path(partPath), displayName_);
            for (size_t i = 0; i < waiting.size(); ++i) {
                if (done[i] || !Relabel(*part, waiting[i].identity, waiting[i].categories, waiting[i].refolder))
                    continue;
                done[i] = true;
                --left;
                // A full part: each change is committed (when there is one), so that the
                // next reuses the space of what it replaced rather than growing the file.
                part->CommitNow();
            }
            part->Close();  // written only when a category was added
            written_.push_back(part->TakeWritten());
        } catch (const std::exception& e) {
            // The part stays as its last commit left it.
            failures_.push_back({partPath, std::string("cannot add the labels of messages met again: ") + e.what(), 0,
                                 SystemErrorOf(e)});
        }
    }
}

void PstStoreSeries::ClosePart(bool anotherFollows) {
    std::unique_ptr<Store> part = std::move(part_);
    if (!part) return;
    known_.clear();
    // A part begun after the full parts of an earlier run that took no message (every
    // message was there already) is not made.
    if (!anotherFollows && freshPart_ && messages_ == 0 && !partsDone_.empty()) {
        part->Discard();
        return;
    }
    try {
        if (anotherFollows) NoteHeld(part->HeldIdentities());
        part->Close();
    } catch (const std::exception& e) {
        failures_.push_back({path_, e.what(), messages_, SystemErrorOf(e)});
        return;
    }
    written_.push_back(part->TakeWritten());
    partsDone_.push_back(path_);
}

}  // namespace bv::mailstore::pst

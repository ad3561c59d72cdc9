#include "conversion/StoreSetup.h"

#include <cstdio>
#include <filesystem>

#include "mailstore/MailStoreError.h"

namespace bv::conversion {

namespace fs = std::filesystem;
namespace pst = mailstore::pst;

namespace {
// Estimated bytes of what a new store holds before any message (its header, the
// first maps, and its own folders and tables), and of a mailbox folder added to it.
constexpr uint64_t kNewStoreBytes = 96 * 1024;
constexpr uint64_t kFolderBytes = 8 * 1024;
constexpr uint64_t kMarginBytes = 32 * 1024;
}  // namespace

std::string CreationStamp(std::time_t when) {
    std::tm t{};
#ifdef _WIN32
    localtime_s(&t, &when);
#else
    localtime_r(&when, &t);
#endif
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d.%d.%02d %d.%d.%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return buf;
}

RunStore::~RunStore() {
    if (store_) Close();
}

void RunStore::Open(StoreScope scope, const std::string& saveFolder, const std::string& mailboxName) {
    if (store_) Close();
    if (scope == StoreScope::AllMailboxes) {
        const std::string stamp = CreationStamp(std::time(nullptr));
        stem_ = saveFolder + "Brimvault" + stamp;
        displayName_ = "Brimvault Mailbox : Created - " + stamp;
    } else {
        stem_ = saveFolder + mailboxName;
        displayName_ = mailboxName;
    }
    part_ = 1;
    folders_.clear();
    folderClasses_.clear();
    partsDone_.clear();
    OpenPart();
}

void RunStore::OpenPart() {
    fs::path file;
    uint64_t existing = 0;
    for (;; ++part_) {
        path_ = stem_ + (part_ > 1 ? " (" + std::to_string(part_) + ")" : "") + ".pst";
        file = fs::u8path(path_);
        std::error_code ec;
        existing = fs::is_regular_file(file, ec) ? fs::file_size(file, ec) : 0;
        // A part of an earlier run that is already full stays as it is.
        if (existing == 0 || Fits(existing)) break;
        partsDone_.push_back(path_);
    }
    store_ = pst::PstStore::OpenOrCreate(file, displayName_);
    freshPart_ = existing == 0;
    used_ = freshPart_ ? kNewStoreBytes : existing;
    messages_ = 0;
    folderIds_.clear();
    // Each part gets the label folders its own messages need.
    labelFolders_ = std::make_unique<StoreLabelFolders>(*store_);
    for (const std::string& name : folders_) {
        folderIds_.emplace_back(name, AddToStore(name));
        used_ += kFolderBytes;
    }
}

bool RunStore::Fits(uint64_t used) const {
    // The estimate, with room for what it may miss: pages written when the part is
    // finished and space that cannot be reused.
    return maxSize_ == 0 || pst::PstStore::FileSizeFor(used + used / 16 + kMarginBytes) <= maxSize_;
}

void RunStore::NextPart() {
    Close();
    ++part_;
    OpenPart();
}

void RunStore::AddMailboxFolder(const std::string& name) {
    if (!store_) throw mailstore::MailStoreError("no store is open");
    if (name.empty()) throw mailstore::MailStoreError("a folder needs a name");
    for (const auto& [known, id] : folderIds_)
        if (known == name) return;
    folderIds_.emplace_back(name, store_->AddFolder(store_->IpmSubtree(), name));
    folders_.push_back(name);
    used_ += kFolderBytes;
}

std::string RunStore::AddItemFolder(const std::string& nameIn, const std::string& containerClass,
                                   const std::string& what) {
    if (!store_) throw mailstore::MailStoreError("no store is open");
    if (nameIn.empty()) throw mailstore::MailStoreError("a folder needs a name");
    std::string name = nameIn;
    for (const auto& [known, id] : folderIds_) {
        if (known != name) continue;
        auto cls = folderClasses_.find(name);
        if (cls != folderClasses_.end() && cls->second == containerClass) return name;
        name = nameIn + " (" + what + ")";  // a mailbox's folder of that name
    }
    for (const auto& [known, id] : folderIds_)
        if (known == name) return name;
    folderClasses_[name] = containerClass;
    folderIds_.emplace_back(name, AddToStore(name));
    folders_.push_back(name);
    used_ += kFolderBytes;
    return name;
}

pst::FolderId RunStore::AddToStore(const std::string& name) {
    auto it = folderClasses_.find(name);
    if (it == folderClasses_.end()) return store_->AddFolder(store_->IpmSubtree(), name);
    return store_->AddFolderOfClass(store_->IpmSubtree(), name, it->second);
}

std::string RunStore::Add(const std::string& folder, pst::PreparedMessagePtr message,
                          const std::vector<std::string>& labelFolder) {
    if (!store_) throw mailstore::MailStoreError("no store is open");
    // A message the part holds already takes no room and makes no label folders; its
    // labels join the categories of the one there.
    lastWasThere_ = message && store_->Holds(*message);
    if (lastWasThere_) {
        store_->AddMessageOnce(store_->IpmSubtree(), std::move(message));
        return std::string();
    }
    const uint64_t size = message ? pst::PstStore::StoredSize(*message) : 0;
    // Room for the label folders too, should the part not have them yet.
    const uint64_t room = size + labelFolder.size() * kFolderBytes;
    auto fits = [&] { return Fits(used_ + room); };
    // A part takes a message past the limit only when it was made for it and holds
    // nothing else.
    while (!fits() && !(freshPart_ && messages_ == 0)) NextPart();
    std::string warning;
    if (!fits())
        warning = "it is larger than the store size limit of " + std::to_string(maxSize_) +
                  " bytes, so it has a store part of its own: " + path_;
    pst::FolderId id = 0;
    bool found = false;
    for (const auto& [known, fid] : folderIds_)
        if (known == folder) {
            id = fid;
            found = true;
        }
    if (!found) throw mailstore::MailStoreError("the store has no folder \"" + folder + "\"");
    if (!labelFolder.empty()) {
        const size_t before = labelFolders_->size();
        id = labelFolders_->Resolve(id, labelFolder);
        used_ += (labelFolders_->size() - before) * kFolderBytes;
    }
    lastWasThere_ = !store_->AddMessageOnce(id, std::move(message));
    if (lastWasThere_) return std::string();  // (when the part changed above)
    used_ += size;
    ++messages_;
    return warning;
}

bool RunStore::Close() {
    labelFolders_.reset();
    std::unique_ptr<pst::PstStore> store = std::move(store_);
    if (!store) return true;
    std::string error;
    try {
        store->Close();
    } catch (const std::exception& e) {
        error = e.what();
    }
    // Messages of this part may still be in the making by workers that were handed
    // the part: it is dropped only when they are done.
    finished_.push_back(std::move(store));
    if (!error.empty()) {
        failures_.push_back({path_, error, messages_});
        return false;
    }
    partsDone_.push_back(path_);
    return true;
}

}  // namespace bv::conversion

#include "mailstore/RdoSession.h"

#include <algorithm>

#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"
#include "mailstore/pst/PstStore.h"

namespace bv::mailstore {

std::shared_ptr<AutomationObject> CreateObject(const std::string& progId) {
    if (progId == "Redemption.RDOSession") return std::make_shared<RDOSession>();
    if (progId == "Redemption.MAPIUtils") return std::make_shared<MAPIUtils>();
    throw MailStoreError("cannot create object \"" + progId + "\": unknown class name");
}

// ---- RDOMail ----

RDOMail::RDOMail(std::shared_ptr<RDOFolder> folder) : folder_(std::move(folder)) {
    message_.props.SetString(mapi::PR_MESSAGE_CLASS, "IPM.Note");
}

void RDOMail::Import(const std::filesystem::path& path, int16_t format) {
    if (format != kImportRfc822)
        throw MailStoreError("Import: format " + std::to_string(format) + " is not supported");
    mapi::Message fresh;
    mime::ImportRfc822File(path, fresh);
    message_ = std::move(fresh);
    prepared_.reset();
}

void RDOMail::ImportFromMemory(std::string_view bytes, int16_t format) {
    if (format != kImportRfc822)
        throw MailStoreError("Import: format " + std::to_string(format) + " is not supported");
    mapi::Message fresh;
    mime::ImportRfc822(bytes, fresh);
    message_ = std::move(fresh);
    prepared_.reset();
}

void RDOMail::Save() {
    if (saved_) return;
    if (!folder_ || !folder_->store().attached())
        throw MailStoreError("Save: the message's store is no longer attached");
    if (prepared_)
        folder_->store().pst().AddMessage(folder_->nid(), std::move(prepared_));
    else
        folder_->store().pst().AddMessage(folder_->nid(), message_);
    saved_ = true;
}

void RDOMail::PrepareSave() {
    if (saved_ || prepared_) return;
    if (!folder_ || !folder_->store().attached())
        throw MailStoreError("Save: the message's store is no longer attached");
    prepared_ = folder_->store().pst().Prepare(message_);
}

void RDOMail::SaveAs(const std::filesystem::path& path, int16_t format) {
    if (format != kSaveAsMsg && format != kSaveAsMsgUnicode)
        throw MailStoreError("SaveAs: format " + std::to_string(format) + " is not supported");
    msg::WriteMsgFile(message_, path);
}

// ---- RDOItems / RDOFolders / RDOFolder ----

std::shared_ptr<RDOMail> RDOItems::Add(int16_t type) {
    if (type != kItemTypeMail)
        throw MailStoreError("Items.Add: item type " + std::to_string(type) + " is not supported");
    return std::make_shared<RDOMail>(folder_->shared_from_this());
}

uint32_t RDOItems::Count() const { return folder_->store().pst().MessageCount(folder_->nid()); }

std::shared_ptr<RDOFolder> RDOFolders::Add(const std::string& name, int16_t type) {
    if (name.empty()) throw MailStoreError("Folders.Add: a folder needs a name");
    RDOStore& store = folder_->store();
    uint32_t nid = store.pst().AddFolder(folder_->nid(), name);
    return std::make_shared<RDOFolder>(store.shared_from_this(), nid, name);
}

RDOFolder::RDOFolder(std::shared_ptr<RDOStore> store, uint32_t nid, std::string name)
    : store_(std::move(store)), nid_(nid), name_(std::move(name)) {}

// ---- RDOStore ----

RDOStore::RDOStore(std::unique_ptr<pst::PstStore> pst, std::string displayName, std::filesystem::path path)
    : pst_(std::move(pst)), displayName_(std::move(displayName)), path_(std::move(path)) {}

RDOStore::~RDOStore() {
    // A store dropped without Remove is still finished, so what was stored stays readable.
    if (pst_) {
        try {
            pst_->Close();
        } catch (...) {
        }
    }
}

pst::PstStore& RDOStore::pst() {
    if (!pst_) throw MailStoreError("the store \"" + displayName_ + "\" has been removed");
    return *pst_;
}

std::shared_ptr<RDOFolder> RDOStore::IPMRootFolder() {
    return std::make_shared<RDOFolder>(shared_from_this(), pst().IpmSubtree(), "Top of Personal Folders");
}

void RDOStore::Remove() {
    if (!pst_) throw MailStoreError("Remove: the store \"" + displayName_ + "\" is not attached");
    std::unique_ptr<pst::PstStore> pst = std::move(pst_);
    if (session_) session_->detach(this);
    pst->Close();
}

// ---- RDOStores / RDOSession ----

std::shared_ptr<RDOStore> RDOStores::AddPSTStore(const std::filesystem::path& path, int16_t format,
                                                 const std::string& displayName) {
    if (!session_->LoggedOn()) throw MailStoreError("AddPSTStore: the session is not logged on");
    if (format != kStoreFormatDefault && format != kStoreFormatUnicode)
        throw MailStoreError("AddPSTStore: store format " + std::to_string(format) + " is not supported");
    auto pst = pst::PstStore::OpenOrCreate(path, displayName);
    auto store = std::make_shared<RDOStore>(std::move(pst), displayName, path);
    session_->attach(store);
    return store;
}

RDOSession::~RDOSession() {
    try {
        Logoff();
    } catch (...) {
    }
}

void RDOSession::Logon() { loggedOn_ = true; }

void RDOSession::Logoff() {
    // Detach and finish every store still attached; the first failure is reported
    // after all of them have been tried.
    std::string firstError;
    auto stores = attached_;
    for (auto& s : stores) {
        if (!s->attached()) continue;
        try {
            s->Remove();
        } catch (const std::exception& e) {
            if (firstError.empty()) firstError = e.what();
        }
    }
    attached_.clear();
    loggedOn_ = false;
    if (!firstError.empty()) throw MailStoreError(firstError);
}

RDOStores& RDOSession::Stores() {
    if (!loggedOn_) throw MailStoreError("Stores: the session is not logged on");
    return stores_;
}

void RDOSession::attach(std::shared_ptr<RDOStore> store) {
    store->setSession(this);
    attached_.push_back(std::move(store));
}

void RDOSession::detach(RDOStore* store) {
    attached_.erase(std::remove_if(attached_.begin(), attached_.end(),
                                   [store](const auto& s) { return s.get() == store; }),
                    attached_.end());
}

std::shared_ptr<RDOFolder> RDOSession::GetFolderFromPath(const std::string& path) {
    if (!loggedOn_) throw MailStoreError("GetFolderFromPath: the session is not logged on");
    if (path.size() < 3 || path[0] != '\\' || path[1] != '\\')
        throw MailStoreError("GetFolderFromPath: \"" + path + "\" is not a folder path");
    std::vector<std::string> parts;
    size_t start = 2;
    while (true) {
        size_t sep = path.find('\\', start);
        parts.push_back(path.substr(start, sep == std::string::npos ? std::string::npos : sep - start));
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    std::shared_ptr<RDOStore> store;
    // The newest attachment of a display name wins, as a later AddPSTStore replaces an earlier one.
    for (auto it = attached_.rbegin(); it != attached_.rend(); ++it)
        if ((*it)->attached() && (*it)->DisplayName() == parts[0]) {
            store = *it;
            break;
        }
    if (!store) throw MailStoreError("GetFolderFromPath: no store named \"" + parts[0] + "\" is attached");
    auto folder = store->IPMRootFolder();
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty()) continue;
        auto nid = store->pst().FindFolder(folder->nid(), parts[i]);
        if (!nid) throw MailStoreError("GetFolderFromPath: folder \"" + path + "\" not found");
        folder = std::make_shared<RDOFolder>(store, *nid, parts[i]);
    }
    return folder;
}

void MAPIUtils::HrSetOneProp(mapi::Message* mapiObject, uint32_t propTag, const mapi::PropValue& value, bool) {
    if (!mapiObject) throw MailStoreError("HrSetOneProp: no message");
    mapiObject->props.Set(propTag, value);
}

}  // namespace bv::mailstore

// The mail store library's object model, implemented natively: sessions, stores,
// folders and items over our own .pst and .msg writers. Objects are created by name
// through CreateObject ("Redemption.RDOSession", "Redemption.MAPIUtils"); every failing
// operation throws MailStoreError.
#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/pst/PstStore.h"

namespace bv::mailstore {

class RDOSession;
class RDOStore;
class RDOFolder;

// Base of every object that CreateObject hands out.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;
};

// Creates an object by its class name; throws MailStoreError for an unknown name.
std::shared_ptr<AutomationObject> CreateObject(const std::string& progId);

template <class T>
std::shared_ptr<T> CreateObjectAs(const std::string& progId) {
    auto obj = std::dynamic_pointer_cast<T>(CreateObject(progId));
    if (!obj) throw MailStoreError("object " + progId + " is not of the requested kind");
    return obj;
}

// Format codes of the operations.
constexpr int16_t kStoreFormatDefault = 1;   // AddPSTStore: Unicode .pst
constexpr int16_t kStoreFormatUnicode = 2;
constexpr int16_t kFolderTypeMail = 6;       // Folders.Add: a folder that holds mail
constexpr int16_t kItemTypeMail = 0;         // Items.Add: a mail message
constexpr int16_t kImportRfc822 = 1024;      // Import: an RFC 822 message file
constexpr int16_t kSaveAsMsg = 3;            // SaveAs: a Unicode .msg file
constexpr int16_t kSaveAsMsgUnicode = 9;

class RDOMail : public AutomationObject {
public:
    explicit RDOMail(std::shared_ptr<RDOFolder> folder);
    // Fills the message from a file; format 1024 = RFC 822.
    void Import(const std::filesystem::path& path, int16_t format);
    // The same from the message's bytes in memory, with no file in between.
    void ImportFromMemory(std::string_view bytes, int16_t format);
    // The low-level message for MAPIUtils.HrSetOneProp. The caller may change it, so
    // a form prepared for Save before is dropped.
    mapi::Message* MAPIOBJECT() {
        prepared_.reset();
        return &message_;
    }
    const mapi::Message& message() const { return message_; }
    // Turns the message into its store form ahead of Save, so that this work can run
    // on another thread while the store saves the message before. Optional: Save
    // prepares the message itself when it was not (or was changed since).
    void PrepareSave();
    // Stores the message in its folder. A message is stored at most once.
    void Save();
    // Writes the message as a .msg file (format 3 or 9); the message is not stored.
    void SaveAs(const std::filesystem::path& path, int16_t format);

private:
    std::shared_ptr<RDOFolder> folder_;
    mapi::Message message_;
    pst::PreparedMessagePtr prepared_;
    bool saved_ = false;
};

class RDOItems {
public:
    explicit RDOItems(RDOFolder* folder) : folder_(folder) {}
    // A new, unsaved mail item in the folder (type 0).
    std::shared_ptr<RDOMail> Add(int16_t type);
    uint32_t Count() const;

private:
    RDOFolder* folder_;
};

class RDOFolders {
public:
    explicit RDOFolders(RDOFolder* folder) : folder_(folder) {}
    // A subfolder of that name for mail (type 6); an existing one of the name is returned.
    std::shared_ptr<RDOFolder> Add(const std::string& name, int16_t type);

private:
    RDOFolder* folder_;
};

class RDOFolder : public std::enable_shared_from_this<RDOFolder> {
public:
    RDOFolder(std::shared_ptr<RDOStore> store, uint32_t nid, std::string name);
    RDOFolders& Folders() { return folders_; }
    RDOItems& Items() { return items_; }
    const std::string& Name() const { return name_; }
    uint32_t nid() const { return nid_; }
    RDOStore& store() { return *store_; }

private:
    std::shared_ptr<RDOStore> store_;
    uint32_t nid_;
    std::string name_;
    RDOFolders folders_{this};
    RDOItems items_{this};
};

class RDOStore : public std::enable_shared_from_this<RDOStore> {
public:
    RDOStore(std::unique_ptr<pst::PstStore> pst, std::string displayName, std::filesystem::path path);
    ~RDOStore();
    std::shared_ptr<RDOFolder> IPMRootFolder();
    // Detaches the store from its session; its .pst file is finished and stays.
    void Remove();
    const std::string& DisplayName() const { return displayName_; }
    const std::filesystem::path& Path() const { return path_; }
    bool attached() const { return pst_ != nullptr; }
    pst::PstStore& pst();
    void setSession(RDOSession* s) { session_ = s; }

private:
    std::unique_ptr<pst::PstStore> pst_;
    std::string displayName_;
    std::filesystem::path path_;
    RDOSession* session_ = nullptr;
};

class RDOStores {
public:
    explicit RDOStores(RDOSession* session) : session_(session) {}
    // Creates the .pst at `path` (or opens the one there) and attaches it under
    // `displayName`. Format 1 (default) and 2 both give a Unicode store.
    std::shared_ptr<RDOStore> AddPSTStore(const std::filesystem::path& path, int16_t format,
                                          const std::string& displayName);

private:
    RDOSession* session_;
};

class RDOSession : public AutomationObject {
public:
    RDOSession() = default;
    ~RDOSession() override;
    void Logon();
    // Closes every store still attached, then ends the session.
    void Logoff();
    bool LoggedOn() const { return loggedOn_; }
    RDOStores& Stores();
    // "\\" + store display name + "\" + folder name [+ "\" + subfolder ...]
    std::shared_ptr<RDOFolder> GetFolderFromPath(const std::string& path);

    // Bookkeeping used by RDOStores and RDOStore.
    void attach(std::shared_ptr<RDOStore> store);
    void detach(RDOStore* store);

private:
    bool loggedOn_ = false;
    RDOStores stores_{this};
    std::vector<std::shared_ptr<RDOStore>> attached_;
};

class MAPIUtils : public AutomationObject {
public:
    // Sets one property on the message; with `save` the message keeps it when stored.
    void HrSetOneProp(mapi::Message* mapiObject, uint32_t propTag, const mapi::PropValue& value, bool save);
};

}  // namespace bv::mailstore

#include "conversion/StoreSetup.h"

#include <cstdio>

#include "mailstore/RdoSession.h"

namespace bv::conversion {

using mailstore::CreateObjectAs;
using mailstore::RDOSession;

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

void OpenPSTStore(StoreMode mode, const std::string& saveFolder, const std::string& mailboxName,
                  OpenStore& store) {
    store.pstStore.reset();
    store.rdoSession = CreateObjectAs<RDOSession>("Redemption.RDOSession");
    store.rdoSession->Logon();
    switch (mode) {
        case StoreMode::Temporary:
            store.pstPath = saveFolder + "Temp" + CreationStamp(std::time(nullptr)) + ".pst";
            store.storeDisplayName = "Temp : Created - " + CreationStamp(std::time(nullptr));
            break;
        case StoreMode::Single:
            store.pstPath = saveFolder + "Brimvault" + CreationStamp(std::time(nullptr)) + ".pst";
            store.storeDisplayName = "Brimvault Mailbox : Created - " + CreationStamp(std::time(nullptr));
            break;
        case StoreMode::PerFile:
            store.pstPath = saveFolder + mailboxName + ".pst";
            store.storeDisplayName = mailboxName;
            break;
    }
    store.pstStore = store.rdoSession->Stores().AddPSTStore(std::filesystem::u8path(store.pstPath),
                                                            mailstore::kStoreFormatDefault,
                                                            store.storeDisplayName);
}

void AddMailboxFolder(OpenStore& store, const std::string& pstFolderName) {
    if (!store.pstStore) throw mailstore::MailStoreError("no store is open");
    store.pstStore->IPMRootFolder()->Folders().Add(pstFolderName, mailstore::kFolderTypeMail);
}

std::vector<std::string> ClosePSTStore(OpenStore& store, const std::function<void()>& yield) {
    std::vector<std::string> errors;
    if (yield) yield();
    try {
        if (!store.pstStore) throw mailstore::MailStoreError("no store is open");
        store.pstStore->Remove();
    } catch (const std::exception& e) {
        errors.push_back(e.what());
    }
    store.pstStore.reset();
    if (yield) yield();
    try {
        if (store.rdoSession) store.rdoSession->Logoff();
    } catch (const std::exception& e) {
        errors.push_back(e.what());
    }
    store.rdoSession.reset();
    return errors;
}

}  // namespace bv::conversion

#include "conversion/StoreSetup.h"

#include <cstdio>
#include <filesystem>

#include "mailstore/MailStoreError.h"

namespace bv::conversion {

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
    std::string displayName;
    if (scope == StoreScope::AllMailboxes) {
        const std::string stamp = CreationStamp(std::time(nullptr));
        path_ = saveFolder + "Brimvault" + stamp + ".pst";
        displayName = "Brimvault Mailbox : Created - " + stamp;
    } else {
        path_ = saveFolder + mailboxName + ".pst";
        displayName = mailboxName;
    }
    store_ = mailstore::pst::PstStore::OpenOrCreate(std::filesystem::u8path(path_), displayName);
}

mailstore::pst::FolderId RunStore::AddMailboxFolder(const std::string& name) {
    if (!store_) throw mailstore::MailStoreError("no store is open");
    if (name.empty()) throw mailstore::MailStoreError("a folder needs a name");
    return store_->AddFolder(store_->IpmSubtree(), name);
}

std::string RunStore::Close() {
    std::unique_ptr<mailstore::pst::PstStore> store = std::move(store_);
    if (!store) return "no store is open";
    try {
        store->Close();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

}  // namespace bv::conversion

// The .pst writer: the input is cut into messages as a bare-LF mailbox, up to four
// are imported and stored in a folder named after the input's first line (folder
// names come from file names, so any bytes), the store is closed and walked with
// the repository's own validator. Odd first bytes also open the finished store
// again and add the first message once more, as a mailbox given twice does.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "PstValidate.h"
#include "ReferenceSplit.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/MailStoreError.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/pst/PstStore.h"

namespace fs = std::filesystem;
using bv::mailstore::pst::PstStore;

namespace {

constexpr size_t kMaxMessages = 4;

void Validate(const fs::path& path, uint32_t expectedMessages) {
    bv::pstcheck::Result r = bv::pstcheck::ValidatePstFile(path.string());
    std::string all;
    for (const auto& f : r.findings)
        if (f.severity == bv::pstcheck::Severity::Error) all += bv::pstcheck::FormatFinding(f) + "\n";
    BV_FUZZ_CHECK(r.summary.errors == 0, all);
    BV_FUZZ_CHECK(!r.summary.fatal);
    BV_FUZZ_CHECK(r.summary.messages == expectedMessages,
                  std::to_string(r.summary.messages) + " of " + std::to_string(expectedMessages));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool reopen = data[0] & 1;
    const std::string box(reinterpret_cast<const char*>(data), size);
    std::string folderName = box.substr(0, box.find('\n')).substr(0, 80);
    if (folderName.empty()) folderName = "mailbox";

    std::vector<std::string> texts = bv::testing::ReferenceSplit(box, bv::conversion::MboxLineEnds::Lf);
    if (texts.size() > kMaxMessages) texts.resize(kMaxMessages);
    std::vector<bv::mailstore::mapi::Message> messages(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        bv::mailstore::mime::ImportRfc822(texts[i], messages[i]);
        bv::mailstore::mapi::CompleteMessage(messages[i]);
    }

    const fs::path path = bv::fuzz::ScratchDir() / "store.pst";
    fs::remove(path);
    {
        auto store = PstStore::OpenOrCreate(path, "Fuzz Store");
        auto folder = store->AddFolder(store->IpmSubtree(), folderName);
        for (const auto& m : messages) store->AddMessage(folder, m);
        BV_FUZZ_CHECK(store->MessageCount(folder) == messages.size());
        store->Close();
    }
    Validate(path, uint32_t(messages.size()));

    // Reopening finds the folder again by name, also when the name is not valid UTF-8
    // (it is stored, and compared, with replacement characters).
    if (reopen && !messages.empty()) {
        auto store = PstStore::OpenOrCreate(path, "ignored");
        auto found = store->FindFolder(store->IpmSubtree(), folderName);
        BV_FUZZ_CHECK(found.has_value(), "the folder of the first pass is not found again");
        auto folder = store->AddFolder(store->IpmSubtree(), folderName);
        BV_FUZZ_CHECK(folder == *found);
        BV_FUZZ_CHECK(store->MessageCount(folder) == messages.size(), std::to_string(store->MessageCount(folder)));
        store->AddMessage(folder, messages[0]);
        BV_FUZZ_CHECK(store->MessageCount(folder) == messages.size() + 1, std::to_string(store->MessageCount(folder)));
        store->Close();
        Validate(path, uint32_t(messages.size() + 1));
    }
    fs::remove(path);
    return 0;
}

// Test driver for the labels interop checks: cuts a mailbox into its messages and
// writes each one imported, marked read, then with its labels applied, the way a run
// sorting by labels does:
//   labels_tool msg MAILBOX OUTDIR   -> OUTDIR/<label folder>/email-N.msg
//   labels_tool pst MAILBOX OUT.pst  -> folder "labels" of a new store, then the label folder
// Prints "N<TAB>where" per message.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "conversion/AppendStrings.h"
#include "conversion/LabelFolders.h"
#include "conversion/Labels.h"
#include "conversion/MessageExtraction.h"
#include "conversion/PathHelpers.h"
#include "mailstore/MailStoreError.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"
#include "mailstore/pst/PstStore.h"

using namespace bv;

namespace {

struct Writer : conversion::MessageSink {
    std::string out;
    std::unique_ptr<mailstore::pst::PstStore> store;  // null: .msg files
    std::unique_ptr<conversion::StoreLabelFolders> folders;
    conversion::DiskLabelFolders diskFolders;
    mailstore::pst::FolderId mailboxFolder = 0;
    int failures = 0;

    void OutputMessage(int32_t n, std::string_view text, bool) override {
        const conversion::MessageLabels labels = conversion::LabelsOfMessage(text);
        try {
            mapi::Message m;
            mailstore::mime::ImportRfc822(text, m);
            int32_t flags = mapi::MSGFLAG_READ;
            if (!m.attachments.empty()) flags |= mapi::MSGFLAG_HASATTACH;
            m.props.SetInt(mapi::PR_MESSAGE_FLAGS, flags);
            conversion::ApplyLabels(labels, m);
            if (store) {
                store->AddMessage(folders->Resolve(mailboxFolder, labels.folder), m);
                std::printf("%d\t%s\n", n, conversion::FolderPathText(labels.folder).c_str());
            } else {
                const std::optional<std::string> folder = diskFolders.FolderFor(out, labels.folder);
                if (!folder) throw mailstore::MailStoreError("cannot make the folder for " + conversion::FolderPathText(labels.folder));
                const std::string target = conversion::WithTrailingSeparator(*folder) + "email-" + std::to_string(n) + ".msg";
                mailstore::msg::WriteMsgFile(m, std::filesystem::u8path(target));
                std::printf("%d\t%s\n", n, target.c_str());
            }
        } catch (const mailstore::MailStoreError& e) {
            std::fprintf(stderr, "message %d: %s\n", n, e.what());
            ++failures;
        }
    }
    bool ShouldStop() override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "msg") != 0 && std::strcmp(argv[1], "pst") != 0)) {
        std::fprintf(stderr, "usage: %s msg|pst MAILBOX OUT\n", argv[0]);
        return 2;
    }
    Writer w;
    w.out = argv[3];
    try {
        if (std::strcmp(argv[1], "pst") == 0) {
            w.store = mailstore::pst::PstStore::OpenOrCreate(std::filesystem::u8path(w.out), "Labels Test Store");
            w.folders = std::make_unique<conversion::StoreLabelFolders>(*w.store);
            w.mailboxFolder = w.store->AddFolder(w.store->IpmSubtree(), "labels");
        }
        conversion::AppendStrings acc;
        std::string error;
        const conversion::MboxMode mode = conversion::ReadMBOXFile(argv[2], &error);
        const conversion::ExtractionResult r = conversion::ExtractMailbox(argv[2], mode, w, acc);
        if (w.store) w.store->Close();
        if (!r.error.empty() || !error.empty()) {
            std::fprintf(stderr, "%s%s\n", error.c_str(), r.error.c_str());
            return 1;
        }
    } catch (const mailstore::MailStoreError& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return w.failures ? 1 : 0;
}

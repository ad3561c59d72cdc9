// Test driver for the labels interop check: cuts a mailbox into its messages and
// writes each as OUT/<label folder>/email-N.msg, imported, marked read, then with its
// labels applied, the way a run sorting by labels does.
//   labels_msg_tool MAILBOX OUTDIR
#include <cstdio>
#include <filesystem>
#include <string>

#include "conversion/AppendStrings.h"
#include "conversion/Labels.h"
#include "conversion/MessageExtraction.h"
#include "conversion/PathHelpers.h"
#include "mailstore/MailStoreError.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"

using namespace bv;

namespace {

struct Writer : conversion::MessageSink {
    std::string outDir;
    int failures = 0;
    void OutputMessage(int32_t n, std::string_view text, bool) override {
        conversion::MessageLabels labels = conversion::LabelsOfMessage(text);
        std::string folder = conversion::LabelFolderOnDisk(outDir, labels.folder);
        conversion::EnsureFolderPath(folder);
        std::string target = conversion::WithTrailingSeparator(folder) + "email-" + std::to_string(n) + ".msg";
        try {
            mapi::Message m;
            mailstore::mime::ImportRfc822(text, m);
            int32_t flags = mapi::MSGFLAG_READ;
            if (!m.attachments.empty()) flags |= mapi::MSGFLAG_HASATTACH;
            m.props.SetInt(mapi::PR_MESSAGE_FLAGS, flags);
            conversion::ApplyLabels(labels, m);
            mailstore::msg::WriteMsgFile(m, std::filesystem::u8path(target));
            std::printf("%d\t%s\n", n, target.c_str());
        } catch (const mailstore::MailStoreError& e) {
            std::fprintf(stderr, "message %d: %s\n", n, e.what());
            ++failures;
        }
    }
    bool ShouldStop() override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s MAILBOX OUTDIR\n", argv[0]);
        return 2;
    }
    Writer w;
    w.outDir = argv[2];
    conversion::AppendStrings acc;
    std::string error;
    conversion::MboxMode mode = conversion::ReadMBOXFile(argv[1], &error);
    conversion::ExtractionResult r = conversion::ExtractMailbox(argv[1], mode, w, acc);
    if (!r.error.empty() || !error.empty()) {
        std::fprintf(stderr, "%s%s\n", error.c_str(), r.error.c_str());
        return 1;
    }
    return w.failures ? 1 : 0;
}

// Reading labels from any header, and what they decide.
//
// Input: a message (its header is what counts). Every run must end with a folder of
// at least one segment, none empty or holding "/", labels and categories in valid
// UTF-8, and an on-disk folder below the mailbox folder whose every name is one a
// Windows file name can hold and none of "", ".", "..". The labels then go on a MAPI
// message and through the .msg writer, which must write the named properties.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCommon.h"
#include "conversion/Labels.h"
#include "conversion/PathHelpers.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/msg/MsgWriter.h"

using namespace bv;

namespace {

void CheckDiskName(const std::string& name) {
    BV_FUZZ_CHECK(!name.empty() && name != "." && name != "..", name);
    BV_FUZZ_CHECK(name.find_first_of("<>:\"/\\|?*") == std::string::npos, name);
    for (char c : name) BV_FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20, name);
    BV_FUZZ_CHECK(name.back() != '.' && name.back() != ' ', name);
    BV_FUZZ_CHECK(name.size() <= 200, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const std::string& label : conversion::ReadLabels(text)) BV_FUZZ_CHECK(fuzz::ValidUtf8(label), label);

    const conversion::MessageLabels labels = conversion::LabelsOfMessage(text);
    BV_FUZZ_CHECK(!labels.folder.empty());
    for (const std::string& segment : labels.folder) {
        BV_FUZZ_CHECK(!segment.empty() && segment.find('/') == std::string::npos, segment);
        CheckDiskName(conversion::FolderNameOnDisk(segment));
    }
    for (const std::string& c : labels.categories) BV_FUZZ_CHECK(fuzz::ValidUtf8(c), c);

    const std::string base = "mailbox";
    const std::string path = conversion::LabelFolderOnDisk(base, labels.folder);
    BV_FUZZ_CHECK(path.rfind(base + conversion::kPathSeparator, 0) == 0, path);

    mapi::Message m;
    m.props.SetString(mapi::PR_SUBJECT, "labels");
    m.props.SetInt(mapi::PR_MESSAGE_FLAGS, mapi::MSGFLAG_READ);
    conversion::ApplyLabels(labels, m);
    BV_FUZZ_CHECK(m.props.GetInt(mapi::PR_MESSAGE_FLAGS) == (labels.unread ? 0 : mapi::MSGFLAG_READ));
    mapi::CompleteMessage(m);
    mailstore::msg::WriteMsgFile(m, fuzz::ScratchDir() / "labels.msg");
    return 0;
}

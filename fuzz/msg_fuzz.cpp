// The .msg writer: the message imported from the input is written, and the file
// is read back with libgsf's compound-file reader. Every stream must be readable,
// the property stream well formed, one storage per recipient and attachment, and
// the subject as written.
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

#include "FuzzCommon.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"

namespace fs = std::filesystem;

namespace {

struct Storage {
    std::map<std::string, std::string> streams;
    std::map<std::string, Storage> storages;
};

void ReadAll(GsfInfile* dir, Storage& out, int depth) {
    BV_FUZZ_CHECK(depth < 80);
    int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        const char* name = gsf_infile_name_by_index(dir, i);
        BV_FUZZ_CHECK(name != nullptr);
        GsfInput* child = gsf_infile_child_by_index(dir, i);
        BV_FUZZ_CHECK(child != nullptr, name);
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
            ReadAll(GSF_INFILE(child), out.storages[name], depth + 1);
        } else {
            gsf_off_t size = gsf_input_size(child);
            std::string bytes(size_t(size), '\0');
            if (size > 0)
                BV_FUZZ_CHECK(gsf_input_read(child, size_t(size), reinterpret_cast<guint8*>(bytes.data())) != nullptr,
                              name);
            out.streams[name] = std::move(bytes);
        }
        g_object_unref(child);
    }
}

size_t CountPrefixed(const Storage& s, std::string_view prefix) {
    size_t n = 0;
    for (const auto& [name, sub] : s.storages)
        if (name.rfind(prefix, 0) == 0) ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::mailstore::mapi::Message m;
    bv::mailstore::mime::ImportRfc822(std::string_view(reinterpret_cast<const char*>(data), size), m);
    bv::fuzz::CheckMessageStrings(m, /*nulFree=*/true);

    const fs::path path = bv::fuzz::ScratchDir() / "message.msg";
    bv::mailstore::mapi::CompleteMessage(m);
    bv::mailstore::msg::WriteMsgFile(m, path);  // a MailStoreError here is a finding

    gsf_init();
    GError* err = nullptr;
    GsfInput* in = gsf_input_stdio_new(path.c_str(), &err);
    BV_FUZZ_CHECK(in != nullptr, err ? err->message : "");
    GsfInfile* root = gsf_infile_msole_new(in, &err);
    BV_FUZZ_CHECK(root != nullptr, err ? err->message : "");
    Storage top;
    ReadAll(root, top, 0);
    g_object_unref(root);
    g_object_unref(in);

    auto props = top.streams.find("__properties_version1.0");
    BV_FUZZ_CHECK(props != top.streams.end());
    BV_FUZZ_CHECK(props->second.size() >= 32 && (props->second.size() - 32) % 16 == 0);
    BV_FUZZ_CHECK(CountPrefixed(top, "__recip_version1.0_#") == m.recipients.size());
    BV_FUZZ_CHECK(CountPrefixed(top, "__attach_version1.0_#") == m.attachments.size());
    if (auto subject = m.props.GetString(bv::mailstore::mapi::PR_SUBJECT)) {
        auto s = top.streams.find("__substg1.0_0037001F");
        BV_FUZZ_CHECK(s != top.streams.end());
        BV_FUZZ_CHECK(s->second == bv::fuzz::Utf16Le(*subject));
    }
    fs::remove(path);
    return 0;
}

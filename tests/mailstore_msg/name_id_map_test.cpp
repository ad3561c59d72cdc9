// The name-to-id map against Outlook's own: for every Outlook-made .msg of the corpus,
// its names fed to NameIdMap in id order give back the file's GUID, entry and string
// streams and its hash buckets, byte for byte.
#include <gtest/gtest.h>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "mailstore/mapi/NameIdMap.h"
#include "mailstore/msg/MsgFormat.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::mapi;

namespace {

uint32_t U32(const std::string& s, size_t off) {
    return uint32_t(uint8_t(s[off])) | uint32_t(uint8_t(s[off + 1])) << 8 | uint32_t(uint8_t(s[off + 2])) << 16 |
           uint32_t(uint8_t(s[off + 3])) << 24;
}

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// The streams of a file's __nameid_version1.0 storage by name; nullopt without one.
std::optional<std::map<std::string, std::string>> NameIdStreams(const fs::path& path) {
    gsf_init();
    // libgsf takes file names in UTF-8 on every system.
    const std::u8string name = path.u8string();
    GsfInput* in = gsf_input_stdio_new(reinterpret_cast<const char*>(name.c_str()), nullptr);
    if (!in) return std::nullopt;
    GsfInfile* ole = gsf_infile_msole_new(in, nullptr);
    g_object_unref(in);
    if (!ole) return std::nullopt;
    std::optional<std::map<std::string, std::string>> out;
    if (GsfInput* dir = gsf_infile_child_by_name(ole, bv::mailstore::msg::kNameIdStorage)) {
        out.emplace();
        for (int i = 0; i < gsf_infile_num_children(GSF_INFILE(dir)); ++i) {
            GsfInput* s = gsf_infile_child_by_index(GSF_INFILE(dir), i);
            std::string data(size_t(gsf_input_size(s)), '\0');
            if (!data.empty()) gsf_input_read(s, data.size(), reinterpret_cast<guint8*>(data.data()));
            (*out)[gsf_infile_name_by_index(GSF_INFILE(dir), i)] = data;
            g_object_unref(s);
        }
        g_object_unref(dir);
    }
    g_object_unref(ole);
    return out;
}

}  // namespace

TEST(NameIdMap, SameStreamsAsOutlookWrites) {
    constexpr PropertyName::Guid kPsMapi{0x28, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    int files = 0, names = 0, stringNames = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(BV_CORPUS) / "msg")) {
        if (entry.path().extension() != ".msg") continue;
        auto streams = NameIdStreams(entry.path());
        if (!streams || (*streams)["__substg1.0_00030102"].empty()) continue;
        SCOPED_TRACE(entry.path().string());
        ++files;
        const std::string& guids = (*streams)["__substg1.0_00020102"];
        const std::string& entries = (*streams)["__substg1.0_00030102"];
        const std::string& strings = (*streams)["__substg1.0_00040102"];

        NameIdMap map(bv::mailstore::msg::kNameIdBucketCount);
        for (size_t off = 0; off + 8 <= entries.size(); off += 8, ++names) {
            const uint32_t key = U32(entries, off), info = U32(entries, off + 4);
            const uint32_t guidIndex = (info >> 1) & 0x7FFF;
            PropertyName name;
            if (guidIndex == 1) name.guid = kPsMapi;
            else if (guidIndex == 2) name.guid = PS_PUBLIC_STRINGS;
            else std::copy_n(guids.begin() + long(16 * (guidIndex - 3)), 16, name.guid.begin());
            if (info & 1) {
                std::u16string text;
                for (size_t i = 0; i < U32(strings, key); i += 2)
                    text += char16_t(uint8_t(strings[key + 4 + i]) | uint8_t(strings[key + 5 + i]) << 8);
                std::string utf8;
                for (char16_t c : text) {  // the corpus names are ASCII
                    ASSERT_LT(c, 0x80);
                    utf8 += char(c);
                }
                name.id = utf8;
                ++stringNames;
            } else {
                name.id = key;
            }
            EXPECT_EQ(map.IdOf(name), 0x8000 + (info >> 16));
        }
        EXPECT_EQ(Bytes(map.GuidStream()), guids);
        EXPECT_EQ(Bytes(map.EntryStream()), entries);
        EXPECT_EQ(Bytes(map.StringStream()), strings);
        std::map<std::string, std::string> buckets;
        for (const auto& [bucket, records] : map.HashBuckets())
            buckets[bv::mailstore::msg::SubstgName(MakeTag(uint16_t(0x1000 + bucket), PT_BINARY))] = Bytes(records);
        std::map<std::string, std::string> theirs;
        for (const auto& [name, data] : *streams)
            if (name.rfind("__substg1.0_10", 0) == 0) theirs[name] = data;
        EXPECT_EQ(buckets, theirs);
    }
    // The corpus has Outlook-made files with numeric and string names.
    EXPECT_GE(files, 5);
    EXPECT_GT(stringNames, 0);
    EXPECT_GT(names, stringNames);
}

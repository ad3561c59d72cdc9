// .msg writer: files read back with libgsf's compound-file reader; stream names,
// property stream headers, entry sizes and values checked against [MS-OXMSG].
#include <gtest/gtest.h>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/Utf16.h"
#include "mailstore/msg/MsgFormat.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/msg/MsgWriter.h"
#include "tests/TempFolder.h"

namespace fs = std::filesystem;
using namespace bv::mailstore::mapi;
using bv::mailstore::MailStoreError;
using bv::mailstore::msg::WriteMsgFile;

namespace {

// A storage of the file read back: streams by name, child storages by name.
struct Node {
    std::map<std::string, std::string> streams;
    std::map<std::string, std::unique_ptr<Node>> storages;
};

void ReadInto(GsfInfile* dir, Node& node) {
    int n = gsf_infile_num_children(dir);
    for (int i = 0; i < n; ++i) {
        std::string name = gsf_infile_name_by_index(dir, i);
        GsfInput* child = gsf_infile_child_by_index(dir, i);
        ASSERT_NE(child, nullptr);
        if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
            auto sub = std::make_unique<Node>();
            ReadInto(GSF_INFILE(child), *sub);
            node.storages[name] = std::move(sub);
        } else {
            gsf_off_t size = gsf_input_size(child);
            std::string data(size_t(size), '\0');
            if (size > 0) ASSERT_NE(gsf_input_read(child, size_t(size), reinterpret_cast<guint8*>(data.data())), nullptr);
            node.streams[name] = std::move(data);
        }
        g_object_unref(child);
    }
}

std::unique_ptr<Node> ReadMsg(const fs::path& path, std::string* clsid = nullptr) {
    gsf_init();
    GError* err = nullptr;
    // libgsf takes file names in UTF-8 on every system.
    const std::u8string name = path.u8string();
    GsfInput* in = gsf_input_stdio_new(reinterpret_cast<const char*>(name.c_str()), &err);
    EXPECT_NE(in, nullptr) << (err ? err->message : "");
    if (!in) return nullptr;
    GsfInfile* ole = gsf_infile_msole_new(in, &err);
    EXPECT_NE(ole, nullptr) << (err ? err->message : "");
    auto root = std::make_unique<Node>();
    if (ole) {
        ReadInto(ole, *root);
        if (clsid) {
            guint8 id[16];
            gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(ole), id);
            clsid->assign(reinterpret_cast<char*>(id), 16);
        }
        g_object_unref(ole);
    }
    g_object_unref(in);
    return root;
}

uint32_t U32(const std::string& s, size_t off) {
    return uint32_t(uint8_t(s[off])) | uint32_t(uint8_t(s[off + 1])) << 8 | uint32_t(uint8_t(s[off + 2])) << 16 |
           uint32_t(uint8_t(s[off + 3])) << 24;
}
uint64_t U64(const std::string& s, size_t off) { return U32(s, off) | uint64_t(U32(s, off + 4)) << 32; }

struct Entry {
    uint32_t flags;
    uint64_t value;
};
// Property stream entries by tag, after checking the header size.
std::map<uint32_t, Entry> Entries(const Node& node, size_t headerSize) {
    std::map<uint32_t, Entry> out;
    auto it = node.streams.find("__properties_version1.0");
    EXPECT_NE(it, node.streams.end());
    if (it == node.streams.end()) return out;
    const std::string& s = it->second;
    EXPECT_EQ((s.size() - headerSize) % 16, 0u) << "property stream of " << s.size() << " bytes, header " << headerSize;
    for (size_t off = headerSize; off + 16 <= s.size(); off += 16) out[U32(s, off)] = Entry{U32(s, off + 4), U64(s, off + 8)};
    return out;
}

std::string Utf16(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) out += char(c & 0xFF), out += char(c >> 8);
    return out;
}

std::string Sub(uint32_t tag) { return bv::mailstore::msg::SubstgName(tag); }

fs::path TempDir() {
    static const bv::testing::TempDir dir;
    return dir.path();
}

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Message Sample() {
    Message m;
    m.props.SetString(PR_MESSAGE_CLASS, "IPM.Note");
    m.props.SetString(PR_SUBJECT, "RE: Grüße 😀");
    m.props.SetTime(PR_CLIENT_SUBMIT_TIME, 134090000000000000LL);
    m.props.SetInt(PR_MESSAGE_FLAGS, MSGFLAG_READ | MSGFLAG_HASATTACH);
    m.props.SetBool(PR_RTF_IN_SYNC, true);
    m.props.SetBinary(PR_HTML, Binary{'<', 'p', '>'});
    m.props.Set(MakeTag(0x6601, PT_SHORT), int16_t(-2));
    m.props.Set(MakeTag(0x6602, PT_DOUBLE), 1.5);
    m.props.Set(MakeTag(0x6603, PT_LONGLONG), int64_t(0x1122334455667788LL));
    m.props.Set(MakeTag(0x6604, PT_STRING8), std::string("narrow"));
    m.props.Set(MakeTag(0x6605, PT_MV_LONG), std::vector<int32_t>{1, -1});
    m.props.Set(MakeTag(0x6606, PT_MV_UNICODE), std::vector<std::string>{"ab", ""});
    m.props.Set(MakeTag(0x6607, PT_MV_BINARY), std::vector<Binary>{{1, 2, 3}});
    m.props.Set(MakeTag(0x6608, PT_CLSID), Binary(16, 0xAB));
    m.props.Set(MakeTag(0x6609, PT_FLOAT), 2.0f);
    for (int i = 0; i < 2; ++i) {
        PropertyBag r;
        r.SetInt(PR_RECIPIENT_TYPE, MAPI_TO);
        r.SetString(PR_DISPLAY_NAME, i ? "Bob" : "Ann");
        r.SetString(PR_EMAIL_ADDRESS, i ? "bob@example.com" : "ann@example.com");
        m.recipients.push_back(r);
    }
    Attachment file;
    file.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    file.props.SetString(PR_ATTACH_LONG_FILENAME, "data.bin");
    Binary big(100000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 13);
    file.props.SetBinary(PR_ATTACH_DATA_BIN, big);
    m.attachments.push_back(std::move(file));

    Attachment item;
    item.props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
    item.props.SetString(PR_DISPLAY_NAME, "inner");
    item.embedded = std::make_unique<Message>();
    item.embedded->props.SetString(PR_SUBJECT, "inner subject");
    PropertyBag ir;
    ir.SetString(PR_DISPLAY_NAME, "Cy");
    item.embedded->recipients.push_back(ir);
    Attachment innerFile;
    innerFile.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    innerFile.props.SetBinary(PR_ATTACH_DATA_BIN, Binary{'x'});
    item.embedded->attachments.push_back(std::move(innerFile));
    m.attachments.push_back(std::move(item));
    CompleteMessage(m);
    return m;
}

}  // namespace

TEST(MsgWriter, TopLevelLayoutAndValues) {
    fs::path path = TempDir() / "sample.msg";
    WriteMsgFile(Sample(), path);
    std::string clsid;
    auto root = ReadMsg(path, &clsid);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(clsid, std::string("\x0B\x0D\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16));

    // named-property storage with its three (empty) streams
    ASSERT_TRUE(root->storages.count("__nameid_version1.0"));
    const Node& nameid = *root->storages["__nameid_version1.0"];
    for (const char* s : {"__substg1.0_00020102", "__substg1.0_00030102", "__substg1.0_00040102"}) {
        ASSERT_TRUE(nameid.streams.count(s)) << s;
        EXPECT_EQ(nameid.streams.at(s).size(), 0u);
    }

    // header: reserved 8, next recipient id, next attachment id, counts, reserved 8
    const std::string& ps = root->streams["__properties_version1.0"];
    EXPECT_EQ(U64(ps, 0), 0u);
    EXPECT_EQ(U32(ps, 8), 2u);
    EXPECT_EQ(U32(ps, 12), 2u);
    EXPECT_EQ(U32(ps, 16), 2u);
    EXPECT_EQ(U32(ps, 20), 2u);
    EXPECT_EQ(U64(ps, 24), 0u);
    auto e = Entries(*root, 32);
    for (const auto& [tag, entry] : e) EXPECT_EQ(entry.flags, 6u) << std::hex << tag;

    // fixed values inline
    EXPECT_EQ(e.at(PR_CLIENT_SUBMIT_TIME).value, 134090000000000000ULL);
    EXPECT_EQ(e.at(PR_MESSAGE_FLAGS).value, uint64_t(MSGFLAG_READ | MSGFLAG_HASATTACH));
    EXPECT_EQ(e.at(PR_RTF_IN_SYNC).value, 1u);
    EXPECT_EQ(e.at(MakeTag(0x6601, PT_SHORT)).value, 0xFFFEu);
    double d;
    uint64_t dv = e.at(MakeTag(0x6602, PT_DOUBLE)).value;
    std::memcpy(&d, &dv, 8);
    EXPECT_EQ(d, 1.5);
    EXPECT_EQ(e.at(MakeTag(0x6603, PT_LONGLONG)).value, 0x1122334455667788ULL);
    EXPECT_EQ(e.at(MakeTag(0x6609, PT_FLOAT)).value, 0x40000000u);
    EXPECT_EQ(e.at(PR_STORE_SUPPORT_MASK).value & 0x00040000u, 0x00040000u);

    // strings: UTF-16LE without terminator, entry size = bytes + 2
    std::string subject = Utf16(u"RE: Grüße \U0001F600");
    EXPECT_EQ(root->streams[Sub(PR_SUBJECT)], subject);
    EXPECT_EQ(uint32_t(e.at(PR_SUBJECT).value), subject.size() + 2);
    EXPECT_EQ(root->streams[Sub(PR_SUBJECT_PREFIX)], Utf16(u"RE: "));  // derived from the subject
    EXPECT_EQ(root->streams[Sub(PR_NORMALIZED_SUBJECT)], Utf16(u"Grüße \U0001F600"));
    EXPECT_EQ(root->streams[Sub(MakeTag(0x6604, PT_UNICODE))], Utf16(u"narrow"));  // 8-bit strings become Unicode
    EXPECT_FALSE(e.count(MakeTag(0x6604, PT_STRING8)));
    // binary and GUID: entry size = stream size
    EXPECT_EQ(root->streams[Sub(PR_HTML)], "<p>");
    EXPECT_EQ(uint32_t(e.at(PR_HTML).value), 3u);
    EXPECT_EQ(root->streams[Sub(MakeTag(0x6608, PT_CLSID))], std::string(16, '\xAB'));
    // multi-valued: fixed-size packed; variable-size as a lengths stream plus one stream per value
    EXPECT_EQ(root->streams[Sub(MakeTag(0x6605, PT_MV_LONG))], std::string("\x01\0\0\0\xFF\xFF\xFF\xFF", 8));
    const uint32_t mvs = MakeTag(0x6606, PT_MV_UNICODE);
    EXPECT_EQ(root->streams[Sub(mvs)], std::string("\x06\0\0\0\x02\0\0\0", 8));
    EXPECT_EQ(root->streams[bv::mailstore::msg::SubstgName(mvs, 0)], std::string("a\0b\0\0\0", 6));
    EXPECT_EQ(root->streams[bv::mailstore::msg::SubstgName(mvs, 1)], std::string("\0\0", 2));
    const uint32_t mvb = MakeTag(0x6607, PT_MV_BINARY);
    EXPECT_EQ(root->streams[Sub(mvb)], std::string("\x03\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(root->streams[bv::mailstore::msg::SubstgName(mvb, 0)], "\x01\x02\x03");
    // every stream of the storage belongs to an entry, and every variable entry has its stream
    for (const auto& [name, data] : root->streams) {
        if (name == "__properties_version1.0") continue;
        uint32_t tag = uint32_t(std::stoul(name.substr(12, 8), nullptr, 16));
        EXPECT_TRUE(e.count(tag)) << name;
    }

    // recipients: 8-byte header; PR_ROWID added when missing
    for (int i = 0; i < 2; ++i) {
        std::string name = bv::mailstore::msg::RecipStorageName(i);
        ASSERT_TRUE(root->storages.count(name)) << name;
        const Node& r = *root->storages[name];
        EXPECT_EQ(r.streams.at("__properties_version1.0").substr(0, 8), std::string(8, '\0'));
        auto re = Entries(r, 8);
        EXPECT_EQ(re.at(PR_ROWID).value, uint64_t(i));
        EXPECT_EQ(r.streams.at(Sub(PR_DISPLAY_NAME)), Utf16(i ? u"Bob" : u"Ann"));
    }
    EXPECT_EQ(root->storages.count("__recip_version1.0_#00000002"), 0u);
}

TEST(MsgWriter, AttachmentsAndEmbeddedMessage) {
    fs::path path = TempDir() / "attach.msg";
    Message m = Sample();
    CompleteMessage(m);
    WriteMsgFile(m, path);
    auto root = ReadMsg(path);
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(root->storages.count("__attach_version1.0_#00000000"));
    const Node& a0 = *root->storages["__attach_version1.0_#00000000"];
    auto e0 = Entries(a0, 8);
    EXPECT_EQ(e0.at(PR_ATTACH_NUM).value, 0u);  // added when missing
    EXPECT_EQ(e0.at(PR_ATTACH_METHOD).value, uint64_t(ATTACH_BY_VALUE));
    const Binary& big = *m.attachments[0].props.GetBinary(PR_ATTACH_DATA_BIN);
    EXPECT_EQ(a0.streams.at(Sub(PR_ATTACH_DATA_BIN)), std::string(big.begin(), big.end()));  // > 4096: regular sectors
    EXPECT_EQ(uint32_t(e0.at(PR_ATTACH_DATA_BIN).value), big.size());

    ASSERT_TRUE(root->storages.count("__attach_version1.0_#00000001"));
    const Node& a1 = *root->storages["__attach_version1.0_#00000001"];
    auto e1 = Entries(a1, 8);
    EXPECT_EQ(e1.at(PR_ATTACH_METHOD).value, uint64_t(ATTACH_EMBEDDED_MSG));
    EXPECT_EQ(uint32_t(e1.at(PR_ATTACH_DATA_OBJ).value), 0xFFFFFFFFu);
    ASSERT_TRUE(a1.storages.count("__substg1.0_3701000D"));
    const Node& inner = *a1.storages.at("__substg1.0_3701000D");
    EXPECT_EQ(inner.storages.count("__nameid_version1.0"), 0u);  // only at top level
    const std::string& ips = inner.streams.at("__properties_version1.0");
    EXPECT_EQ(U32(ips, 8), 1u);
    EXPECT_EQ(U32(ips, 12), 1u);
    EXPECT_EQ(U32(ips, 16), 1u);
    EXPECT_EQ(U32(ips, 20), 1u);
    auto ie = Entries(inner, 24);
    EXPECT_EQ(ie.count(PR_STORE_SUPPORT_MASK), 0u);
    EXPECT_EQ(inner.streams.at(Sub(PR_SUBJECT)), Utf16(u"inner subject"));
    EXPECT_EQ(inner.streams.at(Sub(PR_MESSAGE_CLASS)), Utf16(u"IPM.Note"));  // default class
    ASSERT_TRUE(inner.storages.count("__recip_version1.0_#00000000"));
    ASSERT_TRUE(inner.storages.count("__attach_version1.0_#00000000"));
    EXPECT_EQ(inner.storages.at("__attach_version1.0_#00000000")->streams.at(Sub(PR_ATTACH_DATA_BIN)), "x");
}

TEST(MsgWriter, EmptyMessageAndOddStrings) {
    fs::path path = TempDir() / "empty.msg";
    Message m;
    m.props.SetString(PR_BODY, std::string("bad \xFF byte"));
    CompleteMessage(m);
    WriteMsgFile(m, path);
    auto root = ReadMsg(path);
    ASSERT_NE(root, nullptr);
    auto e = Entries(*root, 32);
    EXPECT_EQ(root->streams[Sub(PR_MESSAGE_CLASS)], Utf16(u"IPM.Note"));
    EXPECT_EQ(root->streams[Sub(PR_BODY)], Utf16(u"bad \uFFFD byte"));
    EXPECT_EQ(U32(root->streams["__properties_version1.0"], 16), 0u);
    EXPECT_TRUE(root->storages.count("__nameid_version1.0"));
}

TEST(MsgWriter, ReplacesExistingFileAndLeavesNoTemporaries) {
    fs::path dir = TempDir() / "replace";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path path = dir / "m.msg";
    { std::ofstream(path) << "old content"; }
    WriteMsgFile(Sample(), path);
    auto root = ReadMsg(path);
    ASSERT_NE(root, nullptr);
    int files = 0;
    for (const auto& f : fs::directory_iterator(dir)) ++files, (void)f;
    EXPECT_EQ(files, 1);
}

TEST(MsgWriter, FailuresThrowAndLeaveNothing) {
    fs::path dir = TempDir() / "fail";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // missing folder
    try {
        WriteMsgFile(Sample(), dir / "no" / "such" / "m.msg");
        FAIL() << "no exception";
    } catch (const MailStoreError& e) {
        EXPECT_NE(std::string(e.what()).find("m.msg"), std::string::npos) << e.what();
    }
    // more attachments than a .msg can hold
    Message many;
    many.attachments.resize(2049);
    try {
        CompleteMessage(many);
        WriteMsgFile(many, dir / "many.msg");
        FAIL() << "no exception";
    } catch (const MailStoreError& e) {
        EXPECT_NE(std::string(e.what()).find("too many attachments"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dir / "many.msg"));
    EXPECT_TRUE(fs::is_empty(dir)) << "temporary file left behind";
    // the target is a folder: the rename fails, the temporary file goes
    fs::create_directories(dir / "taken.msg" / "x");
    EXPECT_THROW(WriteMsgFile(Sample(), dir / "taken.msg"), MailStoreError);
    int entries = 0;
    for (const auto& f : fs::directory_iterator(dir)) ++entries, (void)f;
    EXPECT_EQ(entries, 1);
}

TEST(MsgWriter, RecipientRowsBeyondTheLimitAreLeftOut) {
    Message m;
    m.recipients.resize(2100);
    m.props.SetString(PR_DISPLAY_TO, "everyone");
    fs::path path = TempDir() / "crowd.msg";
    CompleteMessage(m);
    WriteMsgFile(m, path);
    auto root = ReadMsg(path);
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(root->storages.count("__recip_version1.0_#000007FF"));
    EXPECT_FALSE(root->storages.count("__recip_version1.0_#00000800"));
    EXPECT_EQ(U32(root->streams["__properties_version1.0"], 8), 2048u);
    EXPECT_EQ(U32(root->streams["__properties_version1.0"], 16), 2048u);
}

// A message past the limits is fitted: what is left out is told, room stays for the
// original, and the fitted message is written (its embedded messages fitted too).
TEST(MsgWriter, MessagesPastTheLimitsAreFitted) {
    struct Case {
        size_t attachments, recipients, rowsNotMade, embeddedAttachments, embeddedRowsNotMade;
        const char* leftOut;
    } cases[] = {
        {2048, 2048, 0, 0, 0, ""},
        {10000, 0, 0, 0, 0, "2047 of its 10000 attachments"},
        {2048, 0, 0, 3000, 0, "2047 of its 2048 attachments"},
        {1, 200000, 0, 0, 0, "2048 of its 200000 recipients"},
        {1, 2048, 197952, 0, 0, "2048 of its 200000 recipients"},  // rows the importer did not make
        {2049, 2049, 0, 0, 0, "2047 of its 2049 attachments and 2048 of its 2049 recipients"},
        {1, 0, 0, 2049, 0, "some of the attachments of its attached messages"},
        {1, 0, 0, 0, 1, "some of the attachments of its attached messages"},
    };
    for (const Case& c : cases) {
        Message m;
        m.attachments.resize(c.attachments);
        m.recipients.resize(c.recipients);
        m.recipientsLeftOut = c.rowsNotMade;
        if (c.embeddedAttachments || c.embeddedRowsNotMade) {
            m.attachments[0].embedded = std::make_unique<Message>();
            m.attachments[0].embedded->attachments.resize(c.embeddedAttachments);
            m.attachments[0].embedded->recipientsLeftOut = c.embeddedRowsNotMade;
        }
        EXPECT_EQ(bv::mailstore::msg::FitsMsgFile(m), std::string(c.leftOut).empty());
        EXPECT_EQ(bv::mailstore::msg::FitToMsgFile(m), c.leftOut);
        EXPECT_TRUE(bv::mailstore::msg::FitsMsgFile(m));
        if (*c.leftOut) EXPECT_LT(m.attachments.size(), 2048u);
        CompleteMessage(m);
        EXPECT_NO_THROW(WriteMsgFile(m, TempDir() / "fitted.msg")) << c.leftOut;
    }
}

// The last attachment's bytes and the header given apart are written as if the
// message held them.
TEST(MsgWriter, BytesGivenApart) {
    const std::string bytes(5000, 'x');  // past the mini stream's cutoff
    const std::string header = "To: Jürgen <j@example.com>\r\nSubject: s\r\n";
    auto message = [&](bool held) {
        Message m = Sample();
        m.props.SetString(PR_TRANSPORT_MESSAGE_HEADERS, held ? header : "");
        Attachment a;
        a.props.SetString(PR_ATTACH_LONG_FILENAME, "original.eml");
        a.props.SetBinary(PR_ATTACH_DATA_BIN, held ? Binary(bytes.begin(), bytes.end()) : Binary());
        m.attachments.push_back(std::move(a));
        CompleteMessage(m);
        return m;
    };
    bv::mailstore::msg::MsgApart apart;
    apart.lastAttachmentData = bytes;
    apart.headerUtf16Size = Utf16LeSize(header);
    apart.header = [&header](const std::function<void(const uint8_t*, size_t)>& out) {
        for (std::string_view line : {std::string_view(header).substr(0, 29), std::string_view(header).substr(29)}) {
            const std::vector<uint8_t> utf16 = Utf8ToUtf16Le(line);
            out(utf16.data(), utf16.size());
        }
    };
    const fs::path dir = TempDir();
    WriteMsgFile(message(true), dir / "held.msg");
    WriteMsgFile(message(false), dir / "apart.msg", apart);
    EXPECT_EQ(ReadBytes(dir / "apart.msg"), ReadBytes(dir / "held.msg"));
}

TEST(MsgWriter, ManyAttachmentsAndRecipientsNumberedInHex) {
    Message m;
    for (int i = 0; i < 20; ++i) {
        PropertyBag r;
        r.SetString(PR_DISPLAY_NAME, "r" + std::to_string(i));
        m.recipients.push_back(r);
        Attachment a;
        a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(size_t(i), uint8_t(i)));
        m.attachments.push_back(std::move(a));
    }
    fs::path path = TempDir() / "many.msg";
    CompleteMessage(m);
    WriteMsgFile(m, path);
    auto root = ReadMsg(path);
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(root->storages.count("__recip_version1.0_#0000000A"));
    ASSERT_TRUE(root->storages.count("__attach_version1.0_#00000013"));
    EXPECT_EQ(root->storages["__attach_version1.0_#00000013"]->streams.at(Sub(PR_ATTACH_DATA_BIN)), std::string(19, '\x13'));
    EXPECT_EQ(root->storages["__attach_version1.0_#00000000"]->streams.at(Sub(PR_ATTACH_DATA_BIN)), "");
    EXPECT_EQ(U32(root->streams["__properties_version1.0"], 16), 20u);
}

TEST(MsgWriter, ConcurrentWritersProduceIdenticalFiles) {
    fs::path dir = TempDir() / "threads";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const Message m = Sample();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) WriteMsgFile(m, dir / ("t" + std::to_string(t) + "_" + std::to_string(i) + ".msg"));
        });
    for (auto& t : threads) t.join();
    auto read = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string first = read(dir / "t0_0.msg");
    ASSERT_GT(first.size(), 1000u);
    int files = 0;
    for (const auto& f : fs::directory_iterator(dir)) {
        // Said as sizes and the first differing byte: the whole files would bury it.
        const std::string other = read(f.path());
        const auto diff = std::mismatch(first.begin(), first.end(), other.begin(), other.end());
        EXPECT_TRUE(other == first) << f.path() << ": output must not depend on timing; " << other.size() << " bytes against "
                                    << first.size() << ", first difference at byte " << (diff.first - first.begin());
        ++files;
    }
    EXPECT_EQ(files, 100);
}

TEST(MsgWriter, SectorBoundariesAndDifat) {
    // Sizes around the mini-stream cutoff and the 64/512-byte sector sizes, plus one
    // attachment big enough to need more than 109 FAT sectors (DIFAT sectors).
    Message m;
    const size_t sizes[] = {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 9 * 1024 * 1024 + 7};
    for (size_t n : sizes) {
        Attachment a;
        Binary data(n);
        for (size_t i = 0; i < n; ++i) data[i] = uint8_t((i * 131 + n) & 0xFF);
        a.props.SetBinary(PR_ATTACH_DATA_BIN, std::move(data));
        m.attachments.push_back(std::move(a));
    }
    fs::path path = TempDir() / "sizes.msg";
    CompleteMessage(m);
    WriteMsgFile(m, path);
    EXPECT_EQ(fs::file_size(path) % 512, 0u);
    {
        std::ifstream in(path, std::ios::binary);
        std::string header(512, '\0');
        in.read(header.data(), 512);
        EXPECT_EQ(header.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
        EXPECT_EQ(U32(header, 44) > 109, true) << "FAT sectors";
        EXPECT_GE(U32(header, 72), 1u) << "DIFAT sectors";
        EXPECT_EQ(U32(header, 56), 4096u);
    }
    auto root = ReadMsg(path);
    ASSERT_NE(root, nullptr);
    for (size_t i = 0; i < std::size(sizes); ++i) {
        const std::string name = bv::mailstore::msg::AttachStorageName(uint32_t(i));
        ASSERT_TRUE(root->storages.count(name)) << name;
        const std::string& got = root->storages[name]->streams.at(Sub(PR_ATTACH_DATA_BIN));
        const Binary& want = *m.attachments[i].props.GetBinary(PR_ATTACH_DATA_BIN);
        ASSERT_EQ(got.size(), want.size()) << sizes[i];
        EXPECT_TRUE(std::equal(want.begin(), want.end(), reinterpret_cast<const uint8_t*>(got.data()))) << sizes[i];
    }
}

namespace {

struct RawDirEntry {
    std::u16string name;
    uint8_t type = 0, color = 0;
    uint32_t left = 0, right = 0, child = 0;
};

// The directory of a version-3 compound file, read by following its FAT chain.
std::vector<RawDirEntry> ReadDirectory(const std::string& f) {
    auto u32 = [&](size_t off) { return U32(f, off); };
    const uint32_t fatSectors = u32(44);
    std::vector<uint32_t> fat;
    for (uint32_t i = 0; i < fatSectors && i < 109; ++i) {
        size_t base = 512 + size_t(u32(76 + 4 * i)) * 512;
        for (int k = 0; k < 128; ++k) fat.push_back(u32(base + 4 * k));
    }
    std::vector<RawDirEntry> out;
    for (uint32_t s = u32(48); s < fat.size() && out.size() < 100000; s = fat[s]) {
        size_t base = 512 + size_t(s) * 512;
        for (int k = 0; k < 4; ++k) {
            size_t e = base + size_t(k) * 128;
            RawDirEntry d;
            uint16_t len = uint16_t(uint8_t(f[e + 64]) | uint8_t(f[e + 65]) << 8);
            for (size_t c = 0; c + 2 < len; c += 2) d.name += char16_t(uint8_t(f[e + c]) | uint8_t(f[e + c + 1]) << 8);
            d.type = uint8_t(f[e + 66]);
            d.color = uint8_t(f[e + 67]);
            d.left = u32(e + 68);
            d.right = u32(e + 72);
            d.child = u32(e + 76);
            out.push_back(d);
        }
    }
    return out;
}

bool CfbLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = std::toupper(a[i]), y = std::toupper(b[i]);
        if (x != y) return x < y;
    }
    return false;
}

// Checks the red-black search tree under `id`; returns its black height (-1 when broken).
int CheckTree(const std::vector<RawDirEntry>& dir, uint32_t id, bool parentRed, std::vector<std::u16string>& inorder) {
    if (id == 0xFFFFFFFF) return 1;
    if (id >= dir.size()) return -1;
    const RawDirEntry& e = dir[id];
    bool red = e.color == 0;
    if (red && parentRed) return -1;
    int l = CheckTree(dir, e.left, red, inorder);
    inorder.push_back(e.name);
    int r = CheckTree(dir, e.right, red, inorder);
    if (l < 0 || r < 0 || l != r) return -1;
    return l + (red ? 0 : 1);
}

}  // namespace

TEST(MsgWriter, DirectoryTreesAreOrderedRedBlackTrees) {
    for (int count : {0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 40}) {
        Message m;
        for (int i = 0; i < count; ++i) {
            PropertyBag r;
            r.SetString(PR_DISPLAY_NAME, "r");
            m.recipients.push_back(r);
            Attachment a;
            a.props.SetBinary(PR_ATTACH_DATA_BIN, Binary(1, 1));
            m.attachments.push_back(std::move(a));
        }
        fs::path path = TempDir() / "tree.msg";
        CompleteMessage(m);
        WriteMsgFile(m, path);
        std::ifstream in(path, std::ios::binary);
        const std::string f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto dir = ReadDirectory(f);
        ASSERT_FALSE(dir.empty());
        EXPECT_EQ(dir[0].type, 5);
        EXPECT_EQ(dir[0].name, u"Root Entry");
        int storages = 0;
        for (const auto& e : dir) {
            if (e.type != 1 && e.type != 5) continue;
            ++storages;
            std::vector<std::u16string> names;
            EXPECT_GT(CheckTree(dir, e.child, false, names), 0) << count << " children of a storage: not a red-black tree";
            EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), CfbLess)) << count;
            EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
            if (e.child != 0xFFFFFFFF) EXPECT_EQ(dir[e.child].color, 1) << "a tree root is black";
        }
        EXPECT_EQ(storages, 2 + 2 * count);  // root, nameid, recipients, attachments
    }
}

// Named properties: ids from 0x8000 in first-use order, shared by the embedded message,
// and the name-to-id map read back record by record as [MS-OXMSG] 2.2.3 lays it out.
TEST(MsgWriter, NamedPropertiesAndTheirMap) {
    const PropertyName keywords{PS_PUBLIC_STRINGS, std::string("Keywords")};
    const PropertyName flagRequest{PSETID_Common, uint32_t{0x8530}};
    const PropertyName::Guid otherSet{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const PropertyName odd{otherSet, std::string("Zed")};  // 10 bytes: the last record, left unpadded

    Message m;
    m.props.SetString(PR_SUBJECT, "flagged");
    m.props.SetNamed(keywords, PT_MV_UNICODE, std::vector<std::string>{"Work, Q3", "Reçus"});
    m.props.SetNamed(flagRequest, PT_UNICODE, std::string("Follow up"));
    Attachment item;
    item.embedded = std::make_unique<Message>();
    item.embedded->props.SetNamed(keywords, PT_MV_UNICODE, std::vector<std::string>{"Inner"});
    item.embedded->props.SetNamed(odd, PT_LONG, int32_t(7));
    m.attachments.push_back(std::move(item));

    fs::path path = TempDir() / "named.msg";
    CompleteMessage(m);
    WriteMsgFile(m, path);
    auto root = ReadMsg(path);
    ASSERT_NE(root, nullptr);

    // The bag keeps names in order (GUID, then id): PSETID_Common's LID comes first.
    const Node& nameid = *root->storages.at("__nameid_version1.0");
    const std::string& guids = nameid.streams.at("__substg1.0_00020102");
    const std::string& entries = nameid.streams.at("__substg1.0_00030102");
    const std::string& strings = nameid.streams.at("__substg1.0_00040102");
    ASSERT_EQ(guids.size(), 32u);  // PSETID_Common, then the other set; PS_PUBLIC_STRINGS is implied
    EXPECT_EQ(guids.substr(0, 16), std::string(reinterpret_cast<const char*>(PSETID_Common.data()), 16));
    EXPECT_EQ(guids.substr(16), std::string(reinterpret_cast<const char*>(otherSet.data()), 16));
    ASSERT_EQ(entries.size(), 3 * 8u);
    // 0x8000: LID 0x8530 in GUID 3 (the stream's first), numeric.
    EXPECT_EQ(U32(entries, 0), 0x8530u);
    EXPECT_EQ(U32(entries, 4), 0u << 16 | 3u << 1 | 0u);
    // 0x8001: "Keywords" in PS_PUBLIC_STRINGS (GUID index 2), string at offset 0.
    EXPECT_EQ(U32(entries, 8), 0u);
    EXPECT_EQ(U32(entries, 12), 1u << 16 | 2u << 1 | 1u);
    // 0x8002: "Zed" in the other set (GUID 4), string after "Keywords" (4 + 16 bytes).
    EXPECT_EQ(U32(entries, 16), 20u);
    EXPECT_EQ(U32(entries, 20), 2u << 16 | 4u << 1 | 1u);
    EXPECT_EQ(strings, std::string("\x10\0\0\0", 4) + Utf16(u"Keywords") + std::string("\x06\0\0\0", 4) + Utf16(u"Zed"));

    // Every record is in the one hash bucket its key chooses; a string's key is the
    // CRC-32 of its UTF-16 name (reflected 0xEDB88320, seeded with 0, not inverted).
    auto crc = [](const std::string& bytes) {
        uint32_t c = 0;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
        }
        return c;
    };
    const std::map<uint32_t, uint32_t> keyOf = {{U32(entries, 4), 0x8530u},
                                                {U32(entries, 12), crc(Utf16(u"Keywords"))},
                                                {U32(entries, 20), crc(Utf16(u"Zed"))}};
    size_t records = 0;
    for (const auto& [name, data] : nameid.streams) {
        if (name.rfind("__substg1.0_10", 0) != 0) continue;
        const uint32_t bucket = std::stoul(name.substr(12, 4), nullptr, 16) - 0x1000;
        EXPECT_LT(bucket, 0x1Fu);
        EXPECT_EQ(name.substr(16), "0102");
        for (size_t off = 0; off + 8 <= data.size(); off += 8, ++records) {
            const uint32_t info = U32(data, off + 4);
            ASSERT_TRUE(keyOf.count(info)) << name;
            EXPECT_EQ(U32(data, off), keyOf.at(info));
            EXPECT_EQ((keyOf.at(info) ^ (info & 0xFFFF)) % 0x1F, bucket) << name;
        }
    }
    EXPECT_EQ(records, 3u);

    // The properties under those ids, the embedded message's included.
    auto e = Entries(*root, 32);
    ASSERT_TRUE(e.count(0x8000001Fu));
    EXPECT_EQ(e.at(0x8000001Fu).value & 0xFFFFFFFF, Utf16(u"Follow up").size() + 2);
    EXPECT_EQ(root->streams.at(Sub(0x8000001F)), Utf16(u"Follow up"));
    ASSERT_TRUE(e.count(0x8001101Fu));
    EXPECT_EQ(root->streams.at(Sub(0x8001101F) + "-00000000"), Utf16(u"Work, Q3") + std::string(2, '\0'));
    EXPECT_EQ(root->streams.at(Sub(0x8001101F) + "-00000001"), Utf16(u"Reçus") + std::string(2, '\0'));
    const Node& inner = *root->storages.at("__attach_version1.0_#00000000")->storages.at("__substg1.0_3701000D");
    EXPECT_EQ(inner.storages.count("__nameid_version1.0"), 0u);
    auto ie = Entries(inner, 24);
    EXPECT_TRUE(ie.count(0x8001101Fu));
    EXPECT_EQ(ie.at(0x80020003u).value, 7u);
    EXPECT_EQ(inner.streams.at(Sub(0x8001101F) + "-00000000"), Utf16(u"Inner") + std::string(2, '\0'));
}

TEST(MsgWriter, LongTextsAreWrittenWhole) {
    // Bodies past the length made into UTF-16 as the file is written, characters of
    // every length across the pieces' cuts, in the message and in an embedded one.
    for (const std::string unit : {std::string("a"), std::string("ü€😀x"), std::string("\xC3") + "b"}) {
        std::string text;
        while (text.size() < kLongText + 7) text += unit;
        Message m = Sample();
        m.props.SetString(PR_BODY, text);
        m.attachments[1].embedded->props.SetString(PR_BODY, text + "!");
        fs::path path = TempDir() / "long.msg";
        WriteMsgFile(m, path);
        auto root = ReadMsg(path);
        ASSERT_NE(root, nullptr);
        const std::vector<uint8_t> whole = Utf8ToUtf16Le(text);
        EXPECT_EQ(root->streams[Sub(PR_BODY)], std::string(whole.begin(), whole.end()));
        EXPECT_EQ(Entries(*root, 32)[PR_BODY].value & 0xFFFFFFFF, whole.size() + 2);
        const Node& inner = *root->storages["__attach_version1.0_#00000001"]->storages["__substg1.0_3701000D"];
        EXPECT_EQ(inner.streams.at(Sub(PR_BODY)).size(), Utf8ToUtf16Le(text + "!").size());
    }
}

// Writes .pst stores from generated messages for the interop tests.
//   pst_write_tool basic OUT.pst        folders and messages of every kind (see pst_interop.py)
//   pst_write_tool many OUT.pst N       N small messages spread over 3 folders
//   pst_write_tool append OUT.pst TAG   opens OUT.pst (or creates it), adds folder "Appended TAG"
//                                       with one message in category "Appended TAG"
//   pst_write_tool one OUT.pst N FIRST  N small messages (numbered from FIRST) into folder "One Folder",
//                                       of a new store or of OUT.pst when it exists
//   pst_write_tool eml OUT.pst DIR      every .eml below DIR through the importer into one folder
//   pst_write_tool typed OUT.pst N      N mail-sized messages (timing)
//   pst_write_tool big OUT.pst GB       8 MB attachments until the store passes GB gigabytes
//   pst_write_tool remove OUT.pst       takes the item of the highest node id out from under its
//                                       folder: its node removed, its contents table row and count kept
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <filesystem>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/pst/messaging/Store.h"
#include "mailstore/pst/ndb/NodeDatabase.h"

using namespace bv::mailstore::mapi;
using bv::mailstore::pst::Store;

namespace {

constexpr int64_t kBaseTime = 1700000000;  // 2023-11-14 22:13:20 UTC

Binary Pattern(size_t n, uint32_t seed) {
    Binary b(n);
    uint32_t x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = uint8_t(x >> 16);
    }
    return b;
}

PropertyBag RecipientRow(const std::string& name, const std::string& email, int32_t type) {
    PropertyBag r;
    r.SetString(PR_DISPLAY_NAME, name);
    r.SetString(PR_EMAIL_ADDRESS, email);
    r.SetString(PR_ADDRTYPE, "SMTP");
    r.SetString(PR_SMTP_ADDRESS, email);
    r.SetInt(PR_RECIPIENT_TYPE, type);
    return r;
}

Message Basic(const std::string& subject, int n, bool read = true) {
    Message m;
    m.props.SetString(PR_MESSAGE_CLASS, "IPM.Note");
    m.props.SetString(PR_SUBJECT, subject);
    m.props.SetString(PR_CONVERSATION_TOPIC, subject);
    m.props.SetString(PR_NORMALIZED_SUBJECT, subject);  // computed: must not be stored
    m.props.SetString(PR_SENDER_NAME, "Alice Sender");
    m.props.SetString(PR_SENDER_EMAIL_ADDRESS, "alice@example.org");
    m.props.SetString(PR_SENDER_ADDRTYPE, "SMTP");
    m.props.SetString(PR_SENT_REPRESENTING_NAME, "Alice Sender");
    m.props.SetString(PR_SENT_REPRESENTING_EMAIL_ADDRESS, "alice@example.org");
    m.props.SetString(PR_SENT_REPRESENTING_ADDRTYPE, "SMTP");
    m.props.SetTime(PR_CLIENT_SUBMIT_TIME, UnixToFileTime(kBaseTime + n * 60));
    m.props.SetTime(PR_MESSAGE_DELIVERY_TIME, UnixToFileTime(kBaseTime + n * 60 + 5));
    m.props.SetString(PR_INTERNET_MESSAGE_ID, "<msg" + std::to_string(n) + "@example.org>");
    m.props.SetString(PR_BODY, "Plain body of message " + std::to_string(n) + ".\r\n");
    m.props.SetInt(PR_INTERNET_CPID, 65001);
    m.props.SetInt(PR_MESSAGE_FLAGS, read ? MSGFLAG_READ : 0);
    m.props.SetBinary(PR_ENTRYID, Binary(24, 7));  // computed: must not be stored
    m.recipients.push_back(RecipientRow("Bob Receiver", "bob@example.net", MAPI_TO));
    m.recipients.push_back(RecipientRow("Carol Copy", "carol@example.net", MAPI_CC));
    return m;
}

// A message with its defaults, as a conversion hands it to the store.
Message Completed(Message m) {
    CompleteMessage(m);
    return m;
}

Attachment FileAttachment(const std::string& name, Binary data, const std::string& mime) {
    Attachment a;
    a.props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    a.props.SetString(PR_ATTACH_LONG_FILENAME, name);
    a.props.SetString(PR_ATTACH_FILENAME, name);
    a.props.SetString(PR_DISPLAY_NAME, name);
    a.props.SetString(PR_ATTACH_MIME_TAG, mime);
    a.props.SetBinary(PR_ATTACH_DATA_BIN, std::move(data));
    return a;
}

void WriteBasic(const std::string& path) {
    auto store = Store::OpenOrCreate(path, "Brimvault Test Store");
    auto ipm = store->IpmSubtree();
    auto inbox = store->AddFolder(ipm, "Inbox");
    auto sub = store->AddFolder(inbox, "Sub Folder");
    auto archive = store->AddFolder(ipm, "Archive 2024");
    if (store->AddFolder(ipm, "Inbox") != inbox) throw std::runtime_error("AddFolder did not return the existing folder");

    // 1: plain text, with two categories (the string-named property "Keywords").
    {
        Message m = Basic("Plain message", 1);
        m.props.SetNamed(PropertyName{PS_PUBLIC_STRINGS, std::string("Keywords")}, PT_MV_UNICODE,
                         std::vector<std::string>{"Red Category", "Projekt \xc3\x9c"});
        CompleteMessage(m);
        store->AddMessage(inbox, m);
    }
    // 2: HTML and plain bodies, three attachments (small, > 8 KB, > 4 MB).
    {
        Message m = Basic("With attachments", 2);
        std::string html = "<html><body><p>HTML body of message 2</p></body></html>";
        m.props.SetBinary(PR_HTML, Binary(html.begin(), html.end()));
        std::string txt = "hello attachment\n";
        m.attachments.push_back(FileAttachment("hello.txt", Binary(txt.begin(), txt.end()), "text/plain"));
        m.attachments.push_back(FileAttachment("data.bin", Pattern(10000, 2), "application/octet-stream"));
        m.attachments.push_back(FileAttachment("big.bin", Pattern(5 * 1024 * 1024 + 123, 3), "application/octet-stream"));
        CompleteMessage(m);
        store->AddMessage(inbox, m);
    }
    // 3: embedded message with its own attachment.
    {
        Message m = Basic("Carrier of an embedded message", 3);
        auto inner = std::make_unique<Message>(Basic("Inner message", 30));
        std::string t = "inner attachment\n";
        inner->attachments.push_back(FileAttachment("inner.txt", Binary(t.begin(), t.end()), "text/plain"));
        Attachment a;
        a.props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
        a.props.SetString(PR_DISPLAY_NAME, "Inner message");
        a.props.SetString(PR_ATTACH_MIME_TAG, "message/rfc822");
        a.embedded = std::move(inner);
        m.attachments.push_back(std::move(a));
        CompleteMessage(m);
        store->AddMessage(inbox, m);
    }
    // 4: 200 recipients.
    {
        Message m = Basic("Two hundred recipients", 4);
        m.recipients.clear();
        for (int i = 0; i < 200; ++i)
            m.recipients.push_back(RecipientRow("Recipient " + std::to_string(i), "r" + std::to_string(i) + "@example.com",
                                             i < 150 ? MAPI_TO : MAPI_CC));
        CompleteMessage(m);
        store->AddMessage(inbox, m);
    }
    // 5: unread, with a long body (a value in a subnode) and a non-ASCII subject.
    {
        Message m = Basic("Unread \xc3\xbcnicode \xe2\x82\xac message", 5, false);
        std::string body;
        for (int i = 0; i < 400; ++i) body += "Line " + std::to_string(i) + " of a long body.\r\n";
        m.props.SetString(PR_BODY, body);
        CompleteMessage(m);
        store->AddMessage(inbox, m);
    }
    for (int i = 0; i < 3; ++i) store->AddMessage(sub, Completed(Basic("Sub message " + std::to_string(i), 10 + i)));
    {
        // A subject of 2000 characters: over 3580 bytes in UTF-16, so both the PC value
        // and the contents table cell live in subnodes.
        std::string subject = "Long subject ";
        while (subject.size() < 2000) subject += "x";
        store->AddMessage(sub, Completed(Basic(subject, 13)));
    }
    {
        // No recipients, no body, no attachments: empty recipient table.
        Message m = Basic("Archived message", 20);
        m.recipients.clear();
        m.props.Remove(PR_BODY);
        CompleteMessage(m);
        store->AddMessage(archive, m);
    }
    {
        // 400 attachments: more subnodes than one SLBLOCK holds (SIBLOCK above SLBLOCKs).
        Message m = Basic("Four hundred attachments", 21);
        for (int i = 0; i < 400; ++i) {
            std::string t = "attachment " + std::to_string(i) + "\n";
            m.attachments.push_back(FileAttachment("a" + std::to_string(i) + ".txt", Binary(t.begin(), t.end()), "text/plain"));
        }
        CompleteMessage(m);
        store->AddMessage(archive, m);
    }
    store->Close();
    store->Close();  // idempotent
}

void WriteMany(const std::string& path, int n) {
    auto store = Store::OpenOrCreate(path, "Many");
    auto ipm = store->IpmSubtree();
    uint32_t folders[3] = {store->AddFolder(ipm, "Bulk A"), store->AddFolder(ipm, "Bulk B"), 0};
    folders[2] = store->AddFolder(folders[0], "Bulk C");
    for (int i = 0; i < n; ++i) {
        Message m = Basic("Bulk message " + std::to_string(i), i, i % 7 != 0);
        if (i % 50 == 0) m.attachments.push_back(FileAttachment("a.bin", Pattern(3000 + i % 9000, uint32_t(i)), "application/octet-stream"));
        CompleteMessage(m);
        store->AddMessage(folders[i % 3], m);
    }
    store->Close();
}

void WriteOneFolder(const std::string& path, int n, int first) {
    auto store = Store::OpenOrCreate(path, "One Folder Store");
    auto folder = store->AddFolder(store->IpmSubtree(), "One Folder");
    for (int i = first; i < first + n; ++i) store->AddMessage(folder, Completed(Basic("One message " + std::to_string(i), i, i % 5 != 0)));
    store->Close();
}

// Enough 8 MB attachments to take the store past `gigabytes` GB (64-bit offsets,
// FMap and FPMap pages).
void WriteBig(const std::string& path, double gigabytes) {
    auto store = Store::OpenOrCreate(path, "Big");
    auto folder = store->AddFolder(store->IpmSubtree(), "Big");
    Binary chunk = Pattern(1 << 20, 77);
    size_t perMessage = 8 * (1 << 20);
    int n = int(gigabytes * (1 << 30) / double(perMessage)) + 1;
    for (int i = 0; i < n; ++i) {
        Message m = Basic("Big message " + std::to_string(i), i);
        Binary data;
        data.reserve(perMessage);
        while (data.size() < perMessage) data.insert(data.end(), chunk.begin(), chunk.end());
        for (int k = 0; k < 4; ++k) data[size_t(k)] = uint8_t(i >> (8 * k));
        m.attachments.push_back(FileAttachment("big" + std::to_string(i) + ".bin", std::move(data), "application/octet-stream"));
        CompleteMessage(m);
        store->AddMessage(folder, m);
    }
    store->Close();
}

// N messages of mail-like size (text and HTML bodies, every fifth with a 50 KB
// attachment), for timing the writer.
void WriteTyped(const std::string& path, int n) {
    auto store = Store::OpenOrCreate(path, "Typed");
    auto folder = store->AddFolder(store->IpmSubtree(), "Typed");
    std::string text, html = "<html><body>";
    for (int i = 0; i < 120; ++i) text += "A line of an ordinary mail body, number " + std::to_string(i) + ".\r\n";
    for (int i = 0; i < 120; ++i) html += "<p>A line of an ordinary mail body, number " + std::to_string(i) + ".</p>";
    html += "</body></html>";
    Binary attachment = Pattern(50000, 5);
    for (int i = 0; i < n; ++i) {
        Message m = Basic("Typed message " + std::to_string(i), i);
        m.props.SetString(PR_BODY, text);
        m.props.SetBinary(PR_HTML, Binary(html.begin(), html.end()));
        if (i % 5 == 0) m.attachments.push_back(FileAttachment("file.bin", attachment, "application/octet-stream"));
        CompleteMessage(m);
        store->AddMessage(folder, m);
    }
    store->Close();
}

// Every .eml file below `dir`, imported by the RFC 822 importer and stored in one folder.
void WriteEml(const std::string& path, const std::string& dir) {
    auto store = Store::OpenOrCreate(path, "Imported Mail");
    auto folder = store->AddFolder(store->IpmSubtree(), "Imported");
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().extension() == ".eml") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        Message m;
        bv::mailstore::mime::ImportRfc822File(f, m);
        CompleteMessage(m);
        store->AddMessage(folder, m);
    }
    std::printf("%zu\n", files.size());
    store->Close();
}

void Append(const std::string& path, const std::string& tag) {
    auto store = Store::OpenOrCreate(path, "ignored");
    auto f = store->AddFolder(store->IpmSubtree(), "Appended " + tag);
    Message m = Basic("Appended message " + tag, 99);
    m.props.SetNamed(PropertyName{PS_PUBLIC_STRINGS, std::string("Keywords")}, PT_MV_UNICODE,
                     std::vector<std::string>{"Appended " + tag});
    CompleteMessage(m);
    store->AddMessage(f, m);
    // Destroyed without Close: the destructor closes.
}

void RemoveItem(const std::string& path) {
    using namespace bv::mailstore::pst;
    std::unique_ptr<NodeDatabase> db = NodeDatabase::Open(path);
    Nid last = 0;
    db->ForEachNode([&](Nid nid, const NodeRef&) {
        if (NidTypeOf(nid) == NID_TYPE_NORMAL_MESSAGE) last = std::max(last, nid);
    });
    if (!last) throw bv::mailstore::MailStoreError("the store holds no item");
    db->RemoveNode(last);
    db->Commit();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: pst_write_tool basic|many|append OUT.pst [N|TAG]\n");
        return 2;
    }
    std::string mode = argv[1], path = argv[2];
    try {
        if (mode == "basic") WriteBasic(path);
        else if (mode == "many") WriteMany(path, argc > 3 ? std::atoi(argv[3]) : 1000);
        else if (mode == "append") Append(path, argc > 3 ? argv[3] : "1");
        else if (mode == "one") WriteOneFolder(path, argc > 3 ? std::atoi(argv[3]) : 1000, argc > 4 ? std::atoi(argv[4]) : 0);
        else if (mode == "eml") WriteEml(path, argv[3]);
        else if (mode == "typed") WriteTyped(path, argc > 3 ? std::atoi(argv[3]) : 11000);
        else if (mode == "remove") RemoveItem(path);
        else if (mode == "big") WriteBig(path, argc > 3 ? std::atof(argv[3]) : 4.2);
        else return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pst_write_tool: %s\n", e.what());
        return 1;
    }
    return 0;
}

// Archives as inputs: every mailbox inside a .zip, .tar, .tgz, .tar.bz2, .tar.xz or
// .mbox.gz converts exactly as the same mailbox unpacked, into a folder that follows
// the archive's path and the member's; bad members fail alone. The archives are made
// here with libarchive's writer, then damaged as each case needs.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <chrono>
#include <random>
#include <thread>

#include "TestHost.h"
#include "conversion/ArchiveInput.h"
#include "conversion/ConversionRun.h"
#include "conversion/PathHelpers.h"

using namespace bv::conversion;
using bv::testing::ReadFile;
using bv::testing::TempDir;
using bv::testing::TestHost;
using bv::testing::WriteFile;
namespace fs = std::filesystem;

namespace {

struct Entry {
    std::string name;
    std::string data;
    bool folder = false;
    bool encrypted = false;
    bool stored = false;  // zip: not compressed
};

enum class Kind { Zip, Tar, Tgz, Tbz2, Txz, Gz };

void WriteArchive(const fs::path& path, Kind kind, const std::vector<Entry>& entries) {
    struct archive* a = archive_write_new();
    switch (kind) {
        case Kind::Zip: archive_write_set_format_zip(a); break;
        case Kind::Gz: archive_write_set_format_raw(a); break;
        default: archive_write_set_format_pax_restricted(a); break;
    }
    if (kind == Kind::Tgz || kind == Kind::Gz) archive_write_add_filter_gzip(a);
    if (kind == Kind::Tbz2) archive_write_add_filter_bzip2(a);
    if (kind == Kind::Txz) archive_write_add_filter_xz(a);
#ifdef _WIN32
    ASSERT_EQ(archive_write_open_filename_w(a, path.c_str()), ARCHIVE_OK) << archive_error_string(a);
#else
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK) << archive_error_string(a);
#endif
    for (const Entry& e : entries) {
        if (kind == Kind::Zip)
            e.stored ? archive_write_zip_set_compression_store(a) : archive_write_zip_set_compression_deflate(a);
        struct archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.name.c_str());
        archive_entry_set_filetype(entry, e.folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, la_int64_t(e.data.size()));
        archive_entry_set_mtime(entry, 1796630400, 0);
        ASSERT_EQ(archive_write_header(a, entry), ARCHIVE_OK) << archive_error_string(a);
        if (!e.data.empty()) {
            ASSERT_EQ(archive_write_data(a, e.data.data(), e.data.size()), la_ssize_t(e.data.size()));
        }
        archive_entry_free(entry);
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK) << archive_error_string(a);
    archive_write_free(a);
    // An encrypted zip member: the "encrypted" flag in its local and central headers
    // (the name follows them at 30 and 46 bytes; the flags are at 6 and 8).
    std::string bytes = ReadFile(path);
    for (const Entry& e : entries) {
        if (!e.encrypted) continue;
        size_t local = bytes.find(e.name), central = bytes.rfind(e.name);
        ASSERT_TRUE(local != std::string::npos && local != central && local >= 30 && central >= 46);
        bytes[local - 30 + 6] |= 1;
        bytes[central - 46 + 8] |= 1;
    }
    WriteFile(path, bytes);
}

// A mailbox of `count` messages with bare LF (or CR LF) line ends; `noise` adds lines
// of random letters, so that it does not compress to nothing.
std::string Mailbox(const std::string& who, int count, bool crlf, size_t noise = 0) {
    std::mt19937 rnd(unsigned(who.size() * 7919 + count));
    const char* nl = crlf ? "\r\n" : "\n";
    std::string s;
    for (int i = 1; i <= count; ++i) {
        s += "From " + who + "@example.org Mon Dec  7 08:00:00 2026" + nl;
        s += "Subject: " + who + " " + std::to_string(i) + nl + nl + "Body of " + who + " " + std::to_string(i) + nl;
        for (size_t k = 0; k < noise; ++k) {
            std::string line(70, 'a');
            for (char& c : line) c = char('a' + rnd() % 26);
            s += line + nl;
        }
    }
    return s;
}

// Every file below `dir`, relative path -> content.
std::map<std::string, std::string> Files(const fs::path& dir) {
    std::map<std::string, std::string> out;
    if (!fs::exists(dir)) return out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[fs::relative(e.path(), dir).string()] = ReadFile(e.path());
    return out;
}

// The .eml files of `mailbox` converted from a file of its own.
std::map<std::string, std::string> Unpacked(const std::string& mailbox) {
    TempDir in, out;
    fs::path box = in.path() / "box.mbox";
    WriteFile(box, mailbox);
    TestHost h;
    h.options.destination = out.str();
    h.options.inputs = {box.string()};
    EXPECT_TRUE(h.Run().ok());
    return Files(out.path() / box.relative_path());
}

RunReport Convert(const fs::path& input, const fs::path& dest, TestHost* host = nullptr) {
    TestHost own;
    TestHost& h = host ? *host : own;
    h.options.kind = OutputKind::Eml;
    h.options.destination = dest.string();
    h.options.inputs = {input.string()};
    return h.Run();
}

std::string Reasons(const RunReport& r) {
    std::string s;
    for (const Failure& f : r.failures) s += f.file + ": " + f.reason + "\n";
    return s;
}

bool Failed(const RunReport& r, const std::string& fileEnd, const std::string& reasonPart) {
    return std::any_of(r.failures.begin(), r.failures.end(), [&](const Failure& f) {
        return f.file.size() >= fileEnd.size() && f.file.compare(f.file.size() - fileEnd.size(), fileEnd.size(), fileEnd) == 0 &&
               f.reason.find(reasonPart) != std::string::npos;
    });
}

void Corrupt(const fs::path& p, size_t at, size_t count) {
    std::string s = ReadFile(p);
    for (size_t i = at; i < at + count && i < s.size(); ++i) s[i] = char(s[i] ^ 0x5a);
    WriteFile(p, s);
}

}  // namespace

TEST(ArchiveRun, EveryFormatConvertsItsMailboxesAsTheUnpackedOnes) {
    const std::string inbox = Mailbox("inbox", 40, true, 3), sent = Mailbox("sent", 25, false, 2);
    const auto inboxFiles = Unpacked(inbox), sentFiles = Unpacked(sent);
    ASSERT_EQ(inboxFiles.size(), 40u);
    ASSERT_EQ(sentFiles.size(), 25u);
    const std::vector<Entry> entries = {
        {"export/", "", true},
        {"export/readme.html", "<html>not a mailbox</html>"},
        {"export/contacts.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n"},
        {"export/Mail/Inbox.mbox", inbox},
        {"export/Mail/Sent", sent},  // no extension: known by its "From " line
    };
    const std::pair<Kind, const char*> kinds[] = {{Kind::Zip, "export.zip"},   {Kind::Tar, "export.tar"},
                                                  {Kind::Tgz, "export.tgz"},   {Kind::Tbz2, "export.tar.bz2"},
                                                  {Kind::Txz, "export.tar.xz"}};
    for (auto [kind, name] : kinds) {
        SCOPED_TRACE(name);
        TempDir in, out;
        const fs::path archive = in.path() / "parts" / name;
        fs::create_directories(archive.parent_path());
        WriteArchive(archive, kind, entries);
        const std::string before = ReadFile(archive);
        TestHost h;
        RunReport r = Convert(archive, out.path(), &h);
        EXPECT_TRUE(r.ok()) << Reasons(r);
        EXPECT_EQ(r.mailboxesConverted, 2);
        EXPECT_EQ(r.messagesConverted, 65);
        const fs::path mirrored = out.path() / archive.relative_path() / "export" / "Mail";
        EXPECT_EQ(Files(mirrored / "Inbox.mbox"), inboxFiles);
        EXPECT_EQ(Files(mirrored / "Sent"), sentFiles);
        // Nothing else is written: no folder for the members passed over.
        EXPECT_EQ(Files(out.path()).size(), 65u);
        EXPECT_EQ(h.immFile, (std::vector<std::string>{name, "Inbox.mbox", "Sent"}));
        EXPECT_EQ(ReadFile(archive), before);
    }

    // A single gzip'd mailbox: its member is the file without ".gz".
    TempDir in, out;
    const fs::path gz = in.path() / "anna.mbox.gz";
    WriteArchive(gz, Kind::Gz, {{"data", inbox}});
    RunReport r = Convert(gz, out.path());
    EXPECT_TRUE(r.ok()) << Reasons(r);
    EXPECT_EQ(Files(out.path() / gz.relative_path() / "anna.mbox"), inboxFiles);
}

TEST(ArchiveRun, ZipMembersThatCannotBeReadFailAloneAndNothingLandsOutside) {
    TempDir in, out;
    const fs::path zip = in.path() / "export.zip";
    const std::string box = Mailbox("ok", 3, false);
    WriteArchive(zip, Kind::Zip,
                 {{"a/first.mbox", box},
                  {"../climbs.mbox", box},
                  {"a/../../climbs-too.mbox", box},
                  {"/absolute.mbox", box},
                  {"C:/drive.mbox", box},
                  {"locked.mbox", box, false, true},
                  {"b/last.mbox", box}});
    RunReport r = Convert(zip, out.path());
    const std::string why = Reasons(r);
    EXPECT_TRUE(Failed(r, "export.zip", "\"../climbs.mbox\" climbs out of the archive")) << why;
    EXPECT_TRUE(Failed(r, "export.zip", "\"a/../../climbs-too.mbox\" climbs out")) << why;
    EXPECT_TRUE(Failed(r, "export.zip", "\"/absolute.mbox\" is absolute")) << why;
    EXPECT_TRUE(Failed(r, "export.zip", "\"C:/drive.mbox\" is absolute")) << why;
    EXPECT_TRUE(Failed(r, "locked.mbox", "encrypted")) << why;
    EXPECT_EQ(r.failures.size(), 5u) << why;
    EXPECT_EQ(r.mailboxesConverted, 2);
    EXPECT_EQ(r.mailboxesFailed, 5);
    // Only the two good members' messages, each in its own folder below the archive's.
    const fs::path base = out.path() / zip.relative_path();
    std::map<std::string, std::string> all = Files(out.path());
    EXPECT_EQ(all.size(), 6u);
    for (const auto& [file, _] : all) EXPECT_EQ(file.rfind((zip.relative_path()).string(), 0), 0u) << file;
    EXPECT_TRUE(fs::exists(base / "a" / "first.mbox" / "email-3.eml"));
    EXPECT_TRUE(fs::exists(base / "b" / "last.mbox" / "email-3.eml"));
}

TEST(ArchiveRun, DamagedDataFailsItsMemberAndKeepsWhatCameBefore) {
    const std::string big = Mailbox("big", 200, false, 30);  // ~450 KB of letters
    const auto bigFiles = Unpacked(big);

    // A zip: a stored member whose checksum fails, a deflated member damaged in its
    // last quarter, and a good member after both.
    {
        TempDir in, out;
        const fs::path zip = in.path() / "export.zip";
        WriteArchive(zip, Kind::Zip,
                     {{"stored.mbox", Mailbox("s", 4, false), false, false, true},
                      {"big.mbox", big},
                      {"good.mbox", Mailbox("g", 5, false)}});
        std::string bytes = ReadFile(zip);
        const size_t storedAt = bytes.find("From s@example.org");
        ASSERT_NE(storedAt, std::string::npos);
        Corrupt(zip, storedAt + 40, 1);  // inside message 1's subject line
        const size_t bigHeader = bytes.find("big.mbox");
        const size_t goodHeader = bytes.find("good.mbox");
        Corrupt(zip, bigHeader + (goodHeader - bigHeader) * 3 / 4, 64);
        RunReport r = Convert(zip, out.path());
        const std::string why = Reasons(r);
        EXPECT_TRUE(Failed(r, "stored.mbox", "CRC")) << why;
        EXPECT_TRUE(Failed(r, "big.mbox", "damaged")) << why;
        EXPECT_EQ(r.failures.size(), 2u) << why;
        EXPECT_EQ(r.mailboxesConverted, 1);
        const fs::path base = out.path() / zip.relative_path();
        EXPECT_EQ(Files(base / "good.mbox").size(), 5u);
        // The messages read before the damage are there, as they are when unpacked.
        const auto got = Files(base / "big.mbox");
        EXPECT_GT(got.size(), 100u);
        EXPECT_LT(got.size(), 200u);
        for (const auto& [file, content] : got) EXPECT_EQ(content, bigFiles.at(file)) << file;
    }

    // A .tgz cut short in its second member: the first converts, the second keeps the
    // messages before the cut and fails.
    {
        TempDir in, out;
        const fs::path tgz = in.path() / "export.tgz";
        WriteArchive(tgz, Kind::Tgz, {{"one.mbox", Mailbox("one", 3, true)}, {"big.mbox", big}});
        fs::resize_file(tgz, fs::file_size(tgz) * 2 / 3);
        RunReport r = Convert(tgz, out.path());
        const std::string why = Reasons(r);
        EXPECT_TRUE(Failed(r, "big.mbox", "cut short")) << why;
        const fs::path base = out.path() / tgz.relative_path();
        EXPECT_EQ(Files(base / "one.mbox").size(), 3u);
        const auto got = Files(base / "big.mbox");
        EXPECT_GT(got.size(), 50u);
        for (const auto& [file, content] : got) EXPECT_EQ(content, bigFiles.at(file)) << file;
        EXPECT_EQ(r.mailboxesConverted, 1) << why;
    }

    // A plain .tar cut short: its members are read straight from the file.
    {
        TempDir in, out;
        const fs::path tar = in.path() / "export.tar";
        WriteArchive(tar, Kind::Tar, {{"one.mbox", Mailbox("one", 3, true)}, {"big.mbox", big}});
        fs::resize_file(tar, ReadFile(tar).find("From big") + big.size() / 2);
        RunReport r = Convert(tar, out.path());
        const std::string why = Reasons(r);
        EXPECT_TRUE(Failed(r, "big.mbox", "cut short")) << why;
        const fs::path base = out.path() / tar.relative_path();
        EXPECT_EQ(Files(base / "one.mbox").size(), 3u);
        const auto got = Files(base / "big.mbox");
        EXPECT_GT(got.size(), 90u);
        EXPECT_LE(got.size(), 100u);
        for (const auto& [file, content] : got) EXPECT_EQ(content, bigFiles.at(file)) << file;
    }

    // A zip cut short (a download that broke off): read as a stream without its
    // central directory, up to the cut.
    {
        TempDir in, out;
        const fs::path zip = in.path() / "export.zip";
        WriteArchive(zip, Kind::Zip, {{"one.mbox", Mailbox("one", 3, true)}, {"big.mbox", big}});
        fs::resize_file(zip, fs::file_size(zip) * 3 / 4);
        RunReport r = Convert(zip, out.path());
        const std::string why = Reasons(r);
        EXPECT_TRUE(Failed(r, "big.mbox", "cut short")) << why;
        const fs::path base = out.path() / zip.relative_path();
        EXPECT_EQ(Files(base / "one.mbox").size(), 3u);
        const auto got = Files(base / "big.mbox");
        EXPECT_GT(got.size(), 50u);
        for (const auto& [file, content] : got) EXPECT_EQ(content, bigFiles.at(file)) << file;
        EXPECT_EQ(r.mailboxesConverted, 1) << why;
        EXPECT_EQ(r.mailboxesFailed, 1) << why;
    }

    // A .tar whose second header's checksum fails: reported, and the member after it
    // still converts.
    {
        TempDir in, out;
        const fs::path tar = in.path() / "export.tar";
        WriteArchive(tar, Kind::Tar,
                     {{"one.mbox", Mailbox("one", 2, false)}, {"two.mbox", Mailbox("two", 2, false)},
                      {"three.mbox", Mailbox("three", 2, false)}});
        const size_t twoHeader = ReadFile(tar).find("two.mbox");
        Corrupt(tar, twoHeader + 148, 2);  // its header checksum field
        RunReport r = Convert(tar, out.path());
        const std::string why = Reasons(r);
        EXPECT_TRUE(Failed(r, "export.tar", "damaged")) << why;
        const fs::path base = out.path() / tar.relative_path();
        EXPECT_EQ(Files(base / "one.mbox").size(), 2u);
        EXPECT_EQ(Files(base / "three.mbox").size(), 2u) << why;
    }

    // A .mbox.gz cut short: the messages before the cut, and the failure.
    {
        TempDir in, out;
        const fs::path gz = in.path() / "big.mbox.gz";
        WriteArchive(gz, Kind::Gz, {{"data", big}});
        fs::resize_file(gz, fs::file_size(gz) / 2);
        RunReport r = Convert(gz, out.path());
        EXPECT_TRUE(Failed(r, "big.mbox", "cut short")) << Reasons(r);
        const auto got = Files(out.path() / gz.relative_path() / "big.mbox");
        EXPECT_GT(got.size(), 50u);
        for (const auto& [file, content] : got) EXPECT_EQ(content, bigFiles.at(file)) << file;
    }
}

TEST(ArchiveRun, AMemberThatExpandsLikeABombIsStopped) {
    // The allowance is 1 GB past the archive's size; here 2 MB, so the bomb stays small.
    SetBombAllowanceForTesting(2 << 20);
    std::string bomb;
    for (int i = 0; i < 40; ++i) bomb += "From x\n\n" + std::string(200 * 1024, 'a') + "\n";  // 8 MB
    const std::string good = Mailbox("good", 3, false);
    for (Kind kind : {Kind::Zip, Kind::Tgz}) {
        TempDir in, out;
        const fs::path archive = in.path() / (kind == Kind::Zip ? "bomb.zip" : "bomb.tgz");
        WriteArchive(archive, kind, {{"first.mbox", good}, {"bomb.mbox", bomb}, {"after.mbox", good}});
        ASSERT_LT(fs::file_size(archive), 100u * 1024);
        RunReport r = Convert(archive, out.path());
        const std::string why = Reasons(r);
        EXPECT_TRUE(Failed(r, "bomb.mbox", "decompression bomb")) << why;
        const fs::path base = out.path() / archive.relative_path();
        EXPECT_EQ(Files(base / "first.mbox").size(), 3u);
        // Stopped soon after the allowance: far fewer than its 40 messages.
        EXPECT_LT(Files(base / "bomb.mbox").size(), 15u);
        if (kind == Kind::Zip) {
            EXPECT_EQ(Files(base / "after.mbox").size(), 3u) << why;  // each member compressed alone
            EXPECT_EQ(r.failures.size(), 1u) << why;
        } else {
            EXPECT_TRUE(Failed(r, "bomb.tgz", "cannot be reached")) << why;
        }
    }
    SetBombAllowanceForTesting(0);
}

TEST(ArchiveRun, AnArchiveWithoutMailboxesOrOfNoKnownFormatIsReported) {
    TempDir in, out;
    const fs::path zip = in.path() / "photos.zip";
    WriteArchive(zip, Kind::Zip, {{"a.jpg", "\xff\xd8\xff\xe0 not really"}, {"notes.txt", "hello"}});
    RunReport r = Convert(zip, out.path());
    EXPECT_TRUE(Failed(r, "photos.zip", "no mailbox found in the archive")) << Reasons(r);
    EXPECT_EQ(r.mailboxesFailed, 1);

    // Looks like a zip but is not one.
    const fs::path fake = in.path() / "fake.zip";
    WriteFile(fake, std::string("PK\x03\x04", 4) + std::string(100, '\x01'));
    r = Convert(fake, out.path());
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.failures.size(), 1u) << Reasons(r);
    EXPECT_EQ(r.mailboxesFailed, 1);
    EXPECT_TRUE(Files(out.path()).empty());
}

TEST(ArchiveRun, MailboxesAreKnownByNameOrFirstLine) {
    EXPECT_EQ(MemberKindOf("x/Inbox.MBOX", "", 0), MemberKind::Mailbox);
    EXPECT_EQ(MemberKindOf("x/old.mbx", "junk", 4), MemberKind::Mailbox);
    EXPECT_EQ(MemberKindOf("x/Sent", "From a", 6), MemberKind::Mailbox);
    EXPECT_EQ(MemberKindOf("x/notes.txt", "from a", 6), MemberKind::Other);
    EXPECT_EQ(MemberKindOf("x/people.vcf", "BEGIN:VCARD", 11), MemberKind::Contacts);
    EXPECT_EQ(MemberKindOf("x/cal.ics", "BEGIN:VCALENDAR", 15), MemberKind::Calendar);
    EXPECT_EQ(MemberKindOf("x/Cal.ICAL", "", 0), MemberKind::Calendar);
    EXPECT_EQ(MemberKindOf("x/Sent", "\xEF\xBB\xBF \r\n\t\nFrom a", 14), MemberKind::Mailbox);
    EXPECT_EQ(UnsafeMemberName("a/b..c/d.mbox"), "");
    EXPECT_NE(UnsafeMemberName("a\\..\\d.mbox"), "");
}

TEST(ArchiveRun, AStopInsideAMemberEndsTheRunThere) {
    TempDir in, out;
    const fs::path tgz = in.path() / "export.tgz";
    WriteArchive(tgz, Kind::Tgz, {{"big.mbox", Mailbox("big", 300, false, 20)}, {"next.mbox", Mailbox("n", 2, false)}});
    TestHost h;
    h.stopAfterMessages = 10;
    RunReport r = Convert(tgz, out.path(), &h);
    EXPECT_TRUE(r.stopped);
    const fs::path base = out.path() / tgz.relative_path();
    EXPECT_EQ(Files(base / "big.mbox").size(), 10u);
    EXPECT_FALSE(fs::exists(base / "next.mbox"));
}

TEST(ArchiveRun, AMemberIsProbedAsAFileIs) {
    // A byte-order mark and blank lines before the first separator, as in a file; a
    // member named as a mailbox that is none fails as such a file does.
    const std::string box = "\xEF\xBB\xBF\r\n\r\n" + Mailbox("bom", 3, true);
    const auto unpacked = Unpacked(box);
    TempDir in, out;
    const fs::path zip = in.path() / "export.zip";
    WriteArchive(zip, Kind::Zip, {{"Bom", box}, {"Notes.mbox", "just some notes\n"}});
    RunReport r = Convert(zip, out.path());
    EXPECT_EQ(Files(out.path() / zip.relative_path() / "Bom"), unpacked);
    EXPECT_EQ(unpacked.size(), 3u);
    EXPECT_TRUE(Failed(r, "Notes.mbox", "not a mailbox: its first line is not a \"From \" separator line")) << Reasons(r);
    EXPECT_EQ(r.mailboxesConverted, 1);
    EXPECT_FALSE(fs::exists(out.path() / zip.relative_path() / "Notes.mbox"));
}

TEST(ArchiveRun, TheShareReadIsThatOfTheArchiveBytes) {
    struct Recorder : TestHost {
        std::vector<std::pair<uint64_t, uint64_t>> calls;
        void BytesRead(uint64_t done, uint64_t total) override { calls.push_back({done, total}); }
        void MessageWritten(int32_t number) override {
            TestHost::MessageWritten(number);
            if (number % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a slow disk
        }
    };
    TempDir in, out;
    const fs::path zip = in.path() / "export.zip";
    // ~12 MB, ~8 MB packed: well past what is read ahead (a few MiB), so the archive
    // cannot be read through before the first messages are written, however slow they are.
    WriteArchive(zip, Kind::Zip, {{"a.mbox", Mailbox("a", 1000, false, 170)}});
    const uint64_t size = fs::file_size(zip);
    ASSERT_GT(size, 6u << 20);
    Recorder h;
    Convert(zip, out.path(), &h);
    ASSERT_GE(h.calls.size(), 3u);
    for (size_t i = 0; i < h.calls.size(); ++i) {
        EXPECT_EQ(h.calls[i].second, size);
        if (i > 0) {
            EXPECT_GE(h.calls[i].first, h.calls[i - 1].first);
        }
    }
    EXPECT_EQ(h.calls.back().first, size);
    EXPECT_TRUE(std::any_of(h.calls.begin(), h.calls.end(), [&](auto& c) { return c.first > 0 && c.first < size; }));
}

namespace {

// Files of the public test data: cards (one with six), and calendars whose overrides
// and time zone come after the event they belong to (read in a second pass).
const char* const kContacts = "contacts/ezvcard-john-doe-1.vcf";
const char* const kCalendar = "calendars/vobject-radicale-0827.ics";
const char* const kZoneAfterEvent = "calendars/icalendar-forward-reference.ics";

std::string TestData(const char* name) { return ReadFile(fs::path(BV_TEST_DATA) / name); }

// The events of a calendar file `copies` times over, each copy with UIDs of its own:
// past a megabyte, so that its overrides are found again by seeking far into it.
std::string ManyCopies(const std::string& calendar, int copies) {
    const size_t first = calendar.find("BEGIN:VEVENT"), end = calendar.rfind("END:VCALENDAR");
    const std::string events = calendar.substr(first, end - first);
    std::string out = calendar.substr(0, first);
    for (int i = 0; i < copies; ++i) {
        std::string copy = events;
        for (size_t at = 0; (at = copy.find("\nUID:", at)) != std::string::npos; at += 5)
            copy.insert(copy.find_first_of("\r\n", at + 1), "-" + std::to_string(i));
        out += copy;
    }
    return out + calendar.substr(end);
}

RunReport ConvertTo(OutputKind kind, const std::vector<fs::path>& inputs, const fs::path& dest) {
    TestHost h;
    h.options.kind = kind;
    h.options.destination = dest.string();
    for (const fs::path& p : inputs) h.options.inputs.push_back(p.string());
    return h.Run();
}

}  // namespace

TEST(ArchiveRun, ContactsAndCalendarsInsideConvertAsTheSameFilesUnpacked) {
    const std::string cards = TestData(kContacts), later = TestData(kZoneAfterEvent);
    const std::string events = ManyCopies(TestData(kCalendar), 900);
    ASSERT_GT(events.size(), 1200000u);
    // The same files on disk, as .msg files.
    TempDir loose, looseOut;
    WriteFile(loose.path() / "family.vcf", cards);
    WriteFile(loose.path() / "work.ics", events);
    WriteFile(loose.path() / "later.ical", later);
    RunReport expected = ConvertTo(OutputKind::Msg,
                                   {loose.path() / "family.vcf", loose.path() / "work.ics", loose.path() / "later.ical"},
                                   looseOut.path());
    ASSERT_TRUE(expected.ok()) << Reasons(expected);
    const auto familyFiles = Files(looseOut.path() / loose.path().relative_path() / "family.vcf");
    const auto workFiles = Files(looseOut.path() / loose.path().relative_path() / "work.ics");
    const auto laterFiles = Files(looseOut.path() / loose.path().relative_path() / "later.ical");
    ASSERT_EQ(familyFiles.size(), 6u);
    ASSERT_EQ(workFiles.size(), 900u);  // one series each, its two overrides inside it
    ASSERT_EQ(laterFiles.size(), 1u);

    const std::vector<Entry> entries = {
        {"export/Contacts/family.vcf", cards},
        {"export/Calendar/work.ics", events},
        {"export/Calendar/later.ical", later},
        {"export/Mail/Inbox.mbox", Mailbox("inbox", 3, false)},
    };
    for (auto [kind, name] : {std::pair{Kind::Zip, "export.zip"}, {Kind::Tar, "export.tar"}, {Kind::Tgz, "export.tgz"}}) {
        SCOPED_TRACE(name);
        TempDir in, out;
        const fs::path archive = in.path() / name;
        WriteArchive(archive, kind, entries);
        TestHost h;
        h.options.kind = OutputKind::Msg;
        h.options.destination = out.str();
        h.options.inputs = {archive.string()};
        RunReport r = h.Run();
        EXPECT_TRUE(r.ok()) << Reasons(r);
        EXPECT_EQ(r.mailboxesConverted, 1);
        EXPECT_EQ(r.itemFilesConverted, 3);
        EXPECT_EQ(r.messagesConverted, 3);
        EXPECT_EQ(r.itemsConverted, expected.itemsConverted);
        const fs::path base = out.path() / archive.relative_path() / "export";
        EXPECT_EQ(Files(base / "Contacts" / "family.vcf"), familyFiles);
        EXPECT_EQ(Files(base / "Calendar" / "work.ics"), workFiles);
        EXPECT_EQ(Files(base / "Calendar" / "later.ical"), laterFiles);
        EXPECT_EQ(h.immFile, (std::vector<std::string>{name, "family.vcf", "work.ics", "later.ical", "Inbox.mbox"}));
    }

    // An .eml run passes them over and notes it, naming the member; the mailbox converts.
    TempDir in, out;
    const fs::path zip = in.path() / "export.zip";
    WriteArchive(zip, Kind::Zip, entries);
    RunReport r = ConvertTo(OutputKind::Eml, {zip}, out.path());
    EXPECT_TRUE(r.ok()) << Reasons(r);
    EXPECT_EQ(r.messagesConverted, 3);
    EXPECT_TRUE(r.warnings.empty());
    ASSERT_EQ(r.notes.size(), 1u);
    EXPECT_EQ(r.notes[0].file, zip.string() + kPathSeparator + "export/Contacts/family.vcf and 2 more");
    EXPECT_EQ(Files(out.path()).size(), 3u);
}

TEST(ArchiveRun, AContactsOrCalendarMemberFailsAloneNamedByItsPathInside) {
    // A card that cannot be read, after a byte-order mark and blank lines (the line told
    // is the member's own); a calendar whose stored bytes fail their checksum: its
    // events are read and written, and the damage is told; a mailbox after both converts.
    const std::string cards = "\xEF\xBB\xBF\r\n\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:First\r\nEND:VCARD\r\n"
                              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Broken\r\nno property here\r\nEND:VCARD\r\n"
                              "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Third\r\nEND:VCARD\r\n";
    TempDir in, out;
    const fs::path zip = in.path() / "export.zip";
    WriteArchive(zip, Kind::Zip,
                 {{"people/family.vcf", cards},
                  {"cal/work.ics", TestData(kCalendar), false, false, true},
                  {"Inbox.mbox", Mailbox("inbox", 2, false)}});
    const std::string bytes = ReadFile(zip);
    Corrupt(zip, bytes.find("SUMMARY:") + 9, 1);  // the stored calendar's first summary
    RunReport r = ConvertTo(OutputKind::Msg, {zip}, out.path());
    const std::string inside = std::string("export.zip") + kPathSeparator;
    EXPECT_TRUE(Failed(r, inside + "people/family.vcf", "line 10: ")) << Reasons(r);
    EXPECT_TRUE(Failed(r, inside + "cal/work.ics", "damaged")) << Reasons(r);
    const fs::path base = out.path() / zip.relative_path();
    EXPECT_EQ(Files(base / "people" / "family.vcf").size(), 2u);
    EXPECT_TRUE(fs::exists(base / "people" / "family.vcf" / "Contact-3.msg"));
    EXPECT_EQ(Files(base / "cal" / "work.ics").size(), 1u);
    EXPECT_EQ(Files(base / "Inbox.mbox").size(), 2u);
    EXPECT_EQ(r.mailboxesConverted, 1);
    EXPECT_EQ(r.itemFilesFailed, 2);
}

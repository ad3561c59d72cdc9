#include "mailstore/pst/messaging/StoreFile.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <string_view>

#include "mailstore/base/Ascii.h"
#include "mailstore/base/FreeMemory.h"
#include "mailstore/base/PlatformFile.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/pst/StoreErrors.h"

namespace bv::mailstore::pst {
namespace {

namespace fs = std::filesystem;

// Removes the temporary files of new stores that runs which no longer exist left in
// the store's folder (".NAME.pst.partial-PID" and ".NAME.pst.partial-PID-N", of any
// store: the one store of a run is named by the time the run started): a run that was
// killed cannot remove its own.
void RemoveStalePartials(const fs::path& dir) {
    constexpr std::string_view kMark = ".pst.partial-";
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const size_t mark = name.rfind(kMark);
        if (name.empty() || name[0] != '.' || mark == std::string::npos) continue;
        const std::string rest = name.substr(mark + kMark.size());
        size_t digits = 0;
        while (digits < rest.size() && std::isdigit(uint8_t(rest[digits]))) ++digits;
        if (digits == 0 || digits > 9 || (digits < rest.size() && rest[digits] != '-')) continue;
        const unsigned long pid = std::stoul(rest.substr(0, digits));
        if (pid == base::CurrentProcessId() || base::ProcessMayBeRunning(pid)) continue;  // that run is still going
        std::error_code removed;
        fs::remove(it->path(), removed);
    }
}

// The temporary name of a new store ".NAME.pst.partial-PID[-N]": as long a part of the
// store's own name as lets it fit the file system's 255 bytes, so that any store
// name that fits has a temporary name that fits too (the process id and N keep it
// apart from another's).
std::string TemporaryName(const std::string& fileName, unsigned n) {
    constexpr size_t kMaxName = 255;
    const std::string tail = ".partial-" + std::to_string(base::CurrentProcessId()) + (n ? "-" + std::to_string(n) : "");
    std::string stem = fileName;
    std::string ext;
    if (stem.size() >= 4 && base::EqualsNoCase(std::string_view(stem).substr(stem.size() - 4), ".pst")) {
        ext = stem.substr(stem.size() - 4);
        stem.resize(stem.size() - 4);
    }
    const size_t room = kMaxName - 1 - ext.size() - tail.size();
    if (stem.size() > room) stem = base::Utf8Prefix(stem, room);
    return "." + stem + ext + tail;
}

fs::path FolderOf(const fs::path& path) { return path.parent_path().empty() ? fs::path(".") : path.parent_path(); }

}  // namespace

StoreFile::~StoreFile() {
    // A file neither finished nor abandoned (the store failed while opening): as it was.
    if (db_ || !temp_.empty()) Abandon();
}

void StoreFile::OpenInPlace(const fs::path& path) {
    final_ = path;
    RemoveStalePartials(FolderOf(path));
    base::PlatformFile file("the store");
    file.Open(path, base::PlatformFile::Mode::ReadOnly);
    uint8_t raw[kHeaderSize] = {};
    const size_t got = file.ReadAt(0, raw, sizeof raw);
    file.Close();
    try {
        Header::Parse(raw, got);
    } catch (const MailStoreError& e) {
        throw NotAStoreError(path, e);
    }
    inPlace_ = true;
    try {
        db_ = NodeDatabase::Open(path);
        db_->SetDurable(true);
    } catch (const StoreInUseError&) {
        throw;
    } catch (const MailStoreError& e) {
        throw NotAStoreError(path, e);
    }
    cryptMethod_ = db_->CryptMethod();
}

void StoreFile::OpenForReading(const fs::path& path) {
    final_ = path;
    closed_ = true;  // nothing is added, and closing writes nothing
    db_ = NodeDatabase::OpenForReading(path);
    cryptMethod_ = db_->CryptMethod();
}

void StoreFile::Create(const fs::path& path, uint8_t cryptMethod) {
    final_ = path;
    const fs::path dir = FolderOf(path);
    RemoveStalePartials(dir);
    static std::atomic<unsigned> opened{0};
    const unsigned n = opened++;
    const std::u8string name = path.filename().u8string();
    temp_ = dir / fs::u8path(TemporaryName(std::string(name.begin(), name.end()), n));
    db_ = NodeDatabase::Create(temp_, cryptMethod);
    cryptMethod_ = db_->CryptMethod();
}

void StoreFile::WriteLtpNode(Nid nid, const LtpNode& node, Nid parent) {
    Bid data = db_->WriteDataTree(node.blocks, node.crcs.empty() ? nullptr : &node.crcs);
    db_->SetNode(nid, {data, WriteSubnodes(node.subnodes), parent});
}

Bid StoreFile::WriteMadeValue(const ValueSource& source) {
    // Each block is written (and sealed) as soon as it is full: only one is held.
    std::vector<WrittenBlock> written;
    Bytes block;
    block.reserve(kMaxBlockData);
    auto put = [&] {
        written.push_back({db_->WriteBlock(block.data(), block.size(), false), block.size()});
        block.clear();
    };
    source.Read([&](const uint8_t* data, size_t size) {
        while (size > 0) {
            const size_t n = std::min(size, kMaxBlockData - block.size());
            block.insert(block.end(), data, data + n);
            data += n;
            size -= n;
            if (block.size() == kMaxBlockData) put();
        }
    });
    if (!block.empty() || written.empty()) put();
    return db_->WriteDataTree(written);
}

Bid StoreFile::WriteSpooled(const BlockSpool& spool, const std::vector<SpooledBlock>& blocks) {
    std::vector<WrittenBlock> written;
    written.reserve(blocks.size());
    spool.ForEach(blocks, [&](const uint8_t* data, size_t size) {
        written.push_back({db_->WriteBlock(data, size, false), size});
    });
    return db_->WriteDataTree(written);
}

Bid StoreFile::WriteSubnodes(const std::vector<LtpSubnode>& subs) {
    std::vector<SLENTRY> entries;
    size_t count = 0;
    for (const LtpSubnode& s : subs) count += s.Count();
    entries.reserve(count);
    for (const LtpSubnode& s : subs) {
        if (!s.run.empty()) {
            // Each its one block, read from the spool in order.
            std::vector<SpooledBlock> blocks;
            blocks.reserve(s.run.size());
            for (const OneBlockSubnode& r : s.run) blocks.push_back(r.block);
            size_t i = 0;
            s.spool->ForEach(blocks, [&](const uint8_t* data, size_t size) {
                entries.push_back({s.run[i++].nid, db_->WriteBlock(data, size, false), 0});
            });
            continue;
        }
        const std::vector<uint32_t>* crcs = s.crcs.empty() ? nullptr : &s.crcs;
        Bid d = s.source            ? WriteMadeValue(*s.source)
                : s.spool          ? WriteSpooled(*s.spool, s.spooled)
                : s.blocks.empty() ? db_->WriteDataTree(s.data.data(), s.data.size(), crcs)
                                   : db_->WriteDataTree(s.blocks, crcs);
        entries.push_back({s.nid, d, WriteSubnodes(s.subnodes)});
    }
    return db_->WriteSubnodeTree(std::move(entries));
}

std::vector<PcProp> StoreFile::ReadNodeProps(const NodeRef& ref, const std::vector<SLENTRY>* given,
                                             std::vector<Nid>* valueSubnodes) {
    std::optional<std::vector<SLENTRY>> read;  // the subnode tree, read at the first long value
    auto subnodeBytes = [&](Nid sub) {
        if (valueSubnodes) valueSubnodes->push_back(sub);
        if (!given && !read) read = db_->ReadSubnodeTree(ref.bidSub);
        for (const SLENTRY& e : given ? *given : *read)
            if (Nid(e.nid) == sub) {
                Bytes all;
                for (auto& b : db_->ReadDataTree(e.bidData)) all.insert(all.end(), b.begin(), b.end());
                return all;
            }
        FormatError("SLENTRY", "nid", "subnode " + std::to_string(sub) + " is missing");
    };
    HeapReader heap(db_->ReadDataTree(ref.bidData));
    return ReadPropertyContext(heap, subnodeBytes);
}

void StoreFile::Opened() { lastCommit_ = lastIndexWrite_ = std::chrono::steady_clock::now(); }

uint32_t StoreFile::CommitMessages() {
    static const uint32_t every = [] {
        const char* v = std::getenv("BV_PST_COMMIT_MESSAGES");
        long n = v ? std::strtol(v, nullptr, 10) : 0;
        return n > 0 ? uint32_t(n) : 2000u;
    }();
    return every;
}

bool StoreFile::MessageAdded() {
    ++sinceCommit_;
    return inPlace_ &&
           (sinceCommit_ >= CommitMessages() || std::chrono::steady_clock::now() - lastCommit_ >= kCommitInterval);
}

bool StoreFile::IndexDue(bool closing, std::chrono::steady_clock::time_point now) const {
    // Last of the blocks: the index is valid while no block comes after it. A commit
    // between leaves the index behind it, and a run opening the store after a kill
    // there knows the messages by reading them (as in a store Outlook made).
    return closing || now - lastIndexWrite_ >= kCommitInterval;
}

void StoreFile::Commit() {
    // The commit's buffers are large and short-lived: what was freed before it and
    // by it goes back to the system, so a long run holds only what it uses.
    base::ReturnFreeMemory();
    db_->Commit();
    base::ReturnFreeMemory();
    sinceCommit_ = 0;
    lastCommit_ = std::chrono::steady_clock::now();
}

void StoreFile::Finish() {
    db_.reset();
    if (!inPlace_) {
        std::error_code ec;
        fs::rename(temp_, final_, ec);
        if (ec) throw IoError(IoError::Operation::MoveInto, final_.string(), ec);
        temp_.clear();
    }
    closed_ = true;
}

void StoreFile::Abandon() {
    closed_ = true;
    if (db_ && inPlace_) db_->DropUncommitted();
    db_.reset();
    std::error_code ec;
    if (!temp_.empty()) fs::remove(temp_, ec);
    temp_.clear();
}

}  // namespace bv::mailstore::pst

// A store read back: opened for reading only and compared, folder by folder and item
// by item, with what its writer put there.
#include <algorithm>
#include <functional>
#include <optional>

#include "mailstore/MailStoreError.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/ItemReader.h"
#include "mailstore/pst/messaging/Store.h"

namespace bv::mailstore::pst {

namespace fs = std::filesystem;

namespace {

// Differences listed one by one at most; the rest are counted.
constexpr size_t kDifferencesListed = 20;

std::string PathText(const std::vector<std::string>& path) {
    std::string text;
    for (const std::string& name : path) text += (text.empty() ? "" : "/") + name;
    return text;
}

std::string Items(int64_t n) { return std::to_string(n) + (n == 1 ? " item" : " items"); }

class Differences {
public:
    explicit Differences(std::vector<std::string>& out) : out_(out) {}
    ~Differences() {
        if (more_ > 0) out_.push_back("... and " + std::to_string(more_) + " more differences");
    }
    void Add(std::string what) {
        if (out_.size() < kDifferencesListed) out_.push_back(std::move(what));
        else ++more_;
    }

private:
    std::vector<std::string>& out_;
    size_t more_ = 0;
};

// The row ids of folder `folder`'s contents table, handed to `row` as they are read.
// Throws MailStoreError.
void ContentsRows(NodeDatabase& db, Nid folder, const std::function<void(Nid)>& row) {
    std::optional<NodeRef> table = db.FindNode(MakeNid(NID_TYPE_CONTENTS_TABLE, NidIndexOf(folder)));
    if (!table) FormatError("folder", "contents table", "is missing");
    std::vector<Bid> heap = db.DataTreeBids(table->bidData);
    std::vector<SLENTRY> subnodes = db.ReadSubnodeTree(table->bidSub);
    auto subnodeBids = [&](Nid sub) {
        for (const SLENTRY& e : subnodes)
            if (Nid(e.nid) == sub) return db.DataTreeBids(e.bidData);
        FormatError("SLENTRY", "nid", "subnode " + std::to_string(sub) + " of the contents table is missing");
    };
    if (heap.empty()) return;
    std::map<Nid, std::vector<Bid>> bidsOf;
    auto bids = [&](Nid sub) -> const std::vector<Bid>& {
        auto it = bidsOf.find(sub);
        return it != bidsOf.end() ? it->second : bidsOf[sub] = subnodeBids(sub);
    };
    TcBlockSource source;
    source.heapBlocks = heap.size();
    source.heapBlock = [&](size_t i) { return db.ReadBlock(heap[i]); };
    source.subnodeBlocks = [&](Nid sub) { return bids(sub).size(); };
    source.subnodeBlock = [&](Nid sub, size_t i) { return db.ReadBlock(bids(sub).at(i)); };
    ForEachTableRow(source, [](const std::vector<TCOLDESC>&) {}, [&](TcRowRead&& r) { row(r.rowId); });
}

// An item as a contents table lists it: its NID (high half, so that they sort by NID) and
// the folder listing it (its place among the folders read).
uint64_t Listing(Nid nid, size_t folder) { return uint64_t(nid) << 32 | uint32_t(folder); }
Nid ListedNid(uint64_t listing) { return Nid(listing >> 32); }
size_t ListingFolder(uint64_t listing) { return size_t(uint32_t(listing)); }

// Items written that read back as other items or not at all, counted as the identities
// read come (in NID order).
class WrittenComparison {
public:
    explicit WrittenComparison(const WrittenItems& items) : reader_(items) {
        // Written in NID order, as they are, they are compared as they are read; else sorted here.
        WrittenItems::Reader check(items);
        WrittenItem item, last;
        bool first = true, sorted = true;
        while (sorted && check.Next(item)) {
            sorted = first || last.nid <= item.nid;
            first = false;
            last = item;
        }
        if (sorted) return;
        WrittenItems::Reader all(items);
        while (all.Next(item)) sorted_.push_back(item);
        std::stable_sort(sorted_.begin(), sorted_.end(), [](const WrittenItem& x, const WrittenItem& y) { return x.nid < y.nid; });
        inMemory_ = true;
    }
    // Identities read, NIDs ascending from one call to the next.
    void Compare(const std::vector<std::pair<Nid, Identity>>& read) {
        if (read.empty()) return;
        WrittenItem item;
        while (peek(item) && item.nid <= read.back().first) {
            take();
            auto it = std::lower_bound(read.begin(), read.end(), item.nid, [](const auto& r, Nid n) { return r.first < n; });
            if (it == read.end() || it->first != item.nid) ++gone;
            else if (it->second != item.identity()) ++changed;
        }
    }
    void Finish() {
        WrittenItem item;
        while (peek(item)) {
            take();
            ++gone;
        }
    }
    bool failed() const { return reader_.failed(); }
    int64_t gone = 0, changed = 0;

private:
    bool peek(WrittenItem& item) {
        if (inMemory_) {
            if (next_ >= sorted_.size()) return false;
            item = sorted_[next_];
            return true;
        }
        if (!havePeeked_) havePeeked_ = reader_.Next(peeked_);
        item = peeked_;
        return havePeeked_;
    }
    void take() {
        if (inMemory_) ++next_;
        else havePeeked_ = false;
    }
    WrittenItems::Reader reader_;
    WrittenItem peeked_;
    bool havePeeked_ = false;
    bool inMemory_ = false;
    std::vector<WrittenItem> sorted_;  // when written out of NID order
    size_t next_ = 0;
};

}  // namespace

// Items kept in memory before they go to the temporary file.
constexpr size_t kWrittenInMemory = 4096;

void WrittenItems::Add(const WrittenItem& item) {
    memory_.push_back(item);
    if (memory_.size() < kWrittenInMemory || !spill_) return;
    if (!file_) file_.reset(std::tmpfile());
    const size_t bytes = memory_.size() * sizeof(WrittenItem);
    if (file_ && std::fseek(file_.get(), 0, SEEK_END) == 0 &&
        std::fwrite(memory_.data(), 1, bytes, file_.get()) == bytes && std::fflush(file_.get()) == 0) {
        inFile_ += memory_.size();
        memory_.clear();
        return;
    }
    // No room for the file: what it holds stays valid, the rest stays here.
    spill_ = false;
    if (file_) std::fflush(file_.get());
}

void WrittenItems::Append(WrittenItems&& later) {
    Reader reader(later);
    WrittenItem item;
    while (reader.Next(item)) Add(item);
}

WrittenItems::Reader::Reader(const WrittenItems& items) : items_(items) {}

bool WrittenItems::Reader::Next(WrittenItem& item) {
    if (next_ >= items_.size() || failed_) return false;
    if (next_ >= items_.inFile_) {
        item = items_.memory_[next_++ - items_.inFile_];
        return true;
    }
    if (inChunk_ >= chunk_.size()) {
        chunk_.resize(std::min(kWrittenInMemory, items_.inFile_ - next_));
        const size_t bytes = chunk_.size() * sizeof(WrittenItem);
        std::FILE* f = items_.file_.get();
        // (16 bytes an item: a long reaches past a hundred million items)
        if (std::fseek(f, long(next_ * sizeof(WrittenItem)), SEEK_SET) != 0 || std::fread(chunk_.data(), 1, bytes, f) != bytes) {
            failed_ = true;
            return false;
        }
        inChunk_ = 0;
    }
    item = chunk_[inChunk_++];
    ++next_;
    return true;
}

void WrittenStore::Merge(WrittenStore later) {
    folders = std::move(later.folders);
    items.Append(std::move(later.items));
}

void Store::NoteWritten(Nid nid, const std::vector<PcProp>& props) {
    const Identity identity = IdentityIndex::IdentityOf(props);
    written_.items.Add({nid, identity.check, identity.key});
}

void Store::RecordWritten() {
    const std::u8string path = file_.path().u8string();
    written_.path.assign(path.begin(), path.end());
    written_.folders.clear();
    for (const auto& [nid, f] : folders_.all()) {
        if (f.search) continue;
        std::vector<std::string> path = folders_.Path(nid);
        if (!path.empty()) written_.folders[std::move(path)] = f.rowCount;
    }
}

std::unique_ptr<Store> Store::OpenForReading(const fs::path& path) {
    std::unique_ptr<Store> s(new Store());
    try {
        s->file_.OpenForReading(path);
        s->LoadExisting();
    } catch (const MailStoreError& e) {
        throw MailStoreError(path.string() + " cannot be read as a .pst store: " + e.what(), e.SystemError());
    }
    return s;
}

namespace {

// A folder below the top as read back: what its table and counts say, and what the
// items' nodes say of it.
struct FolderRead {
    Nid nid = 0;
    std::vector<std::string> path;
    std::vector<std::string> differences;  // of its table and counts
    bool tableRead = false;
    int64_t missing = 0, elsewhere = 0, unlisted = 0;
};

}  // namespace

StoreReadBack Store::ReadBack(const WrittenStore* written) {
    StoreReadBack out;
    Differences differs(out.differences);
    NodeDatabase& db = file_.db();

    // Each folder below the top: its contents table against its count and against what
    // was written; then, below, against the items whose nodes are in it.
    std::vector<FolderRead> folders;
    std::vector<uint64_t> listed;  // every listing of an item in a contents table
    uint64_t expected = 0;
    for (const auto& [nid, f] : folders_.all())
        if (!f.search) expected += f.rowCount;
    listed.reserve(size_t(std::min<uint64_t>(expected, uint64_t(1) << 24)));
    for (const auto& [nid, f] : folders_.all()) {
        if (f.search) continue;
        FolderRead folder;
        folder.nid = nid;
        folder.path = folders_.Path(nid);
        if (folder.path.empty()) continue;
        const std::string name = PathText(folder.path);
        const size_t before = listed.size(), index = folders.size();
        try {
            ContentsRows(db, nid, [&](Nid row) { listed.push_back(Listing(row, index)); });
        } catch (const MailStoreError& e) {
            listed.resize(before);
            folder.differences.push_back(name + ": its contents table cannot be read (" + e.what() + ")");
            folders.push_back(std::move(folder));
            continue;
        }
        folder.tableRead = true;
        const size_t rows = listed.size() - before;
        if (rows != f.rowCount)
            folder.differences.push_back(name + ": its contents table lists " + Items(int64_t(rows)) + ", its count says " +
                                         std::to_string(f.rowCount));
        if (written) {
            auto w = written->folders.find(folder.path);
            const int64_t count = w == written->folders.end() ? 0 : w->second;
            if (int64_t(rows) != count)
                folder.differences.push_back(name + ": " + Items(int64_t(rows)) + " read back, " + std::to_string(count) +
                                             " written");
        }
        out.items += int64_t(rows);
        if (rows) ++out.folders;
        folders.push_back(std::move(folder));
    }
    std::sort(listed.begin(), listed.end());
    std::map<Nid, size_t> folderOf;  // the folders whose tables were read
    for (size_t i = 0; i < folders.size(); ++i)
        if (folders[i].tableRead) folderOf[folders[i].nid] = i;

    // The items' nodes in NID order beside the listings: an item listed but with no node,
    // listed by a folder other than its own, or in a folder that does not list it; and
    // every item written is there, and is the item written.
    std::optional<WrittenComparison> compared;
    if (written) compared.emplace(written->items);
    // Each part of the items read, known by their identities in NID order.
    std::vector<std::pair<Nid, Identity>> identities;
    ItemReader reader(
        db, [&](Nid nid, const std::vector<PcProp>& props) { identities.push_back({nid, IdentityIndex::IdentityOf(props)}); },
        [&] {
            std::sort(identities.begin(), identities.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
            if (compared) compared->Compare(identities);
            identities.clear();
        });
    size_t next = 0;
    db.ForEachNode([&](Nid nid, const NodeRef& ref) {
        if (NidTypeOf(nid) != NID_TYPE_NORMAL_MESSAGE) return;
        for (; next < listed.size() && ListedNid(listed[next]) < nid; ++next) ++folders[ListingFolder(listed[next])].missing;
        uint32_t times = 0;
        for (; next < listed.size() && ListedNid(listed[next]) == nid; ++next, ++times) {
            FolderRead& folder = folders[ListingFolder(listed[next])];
            if (ref.nidParent != folder.nid) ++folder.elsewhere;
        }
        if (times) {
            reader.Add(nid, ref.bidData, times);
        } else if (auto f = folderOf.find(ref.nidParent); f != folderOf.end()) {
            ++folders[f->second].unlisted;
        }
    });
    for (; next < listed.size(); ++next) ++folders[ListingFolder(listed[next])].missing;
    std::vector<uint64_t>().swap(listed);
    reader.Flush();

    for (FolderRead& folder : folders) {
        for (std::string& d : folder.differences) differs.Add(std::move(d));
        const std::string name = PathText(folder.path);
        if (folder.missing)
            differs.Add(name + ": " + Items(folder.missing) + " listed in its contents table " +
                        (folder.missing == 1 ? "is" : "are") + " missing");
        if (folder.elsewhere)
            differs.Add(name + ": " + Items(folder.elsewhere) + " listed in its contents table belong to another folder");
    }
    if (written) {
        for (const auto& [path, count] : written->folders) {
            bool found = false;
            for (const auto& [nid, index] : folderOf) found = found || folders[index].path == path;
            if (!found && count > 0) differs.Add(PathText(path) + ": missing (" + Items(count) + " written)");
        }
    }
    for (const auto& [nid, index] : folderOf)
        if (folders[index].unlisted)
            differs.Add(PathText(folders[index].path) + ": " + Items(folders[index].unlisted) + " not listed in its contents table");
    if (reader.unreadable) differs.Add(Items(reader.unreadable) + " cannot be read");
    if (compared) {
        compared->Finish();
        if (compared->failed()) differs.Add("what was written cannot be compared: its record cannot be read");
        if (compared->gone) differs.Add(Items(compared->gone) + " of those written cannot be found");
        if (compared->changed) differs.Add(Items(compared->changed) + " of those written read back as other items");
    }
    return out;
}

StoreReadBack ReadBackStore(const std::string& path, const WrittenStore* written) {
    try {
        std::unique_ptr<Store> store = Store::OpenForReading(fs::u8path(path));
        return store->ReadBack(written);
    } catch (const std::exception& e) {
        StoreReadBack out;
        out.differences.push_back(e.what());
        return out;
    }
}

}  // namespace bv::mailstore::pst

// A store read back: opened for reading only and compared, folder by folder and item
// by item, with what its writer put there.
#include <algorithm>
#include <functional>
#include <optional>

#include "mailstore/MailStoreError.h"
#include "mailstore/pst/ltp/TableContext.h"
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

// The items' nodes, by NID: where each says it is, and its data.
struct ItemNode {
    Nid nid;
    Nid parent;
    Bid data;
};

class ItemNodes {
public:
    explicit ItemNodes(NodeDatabase& db) {
        db.ForEachNode([&](Nid nid, const NodeRef& ref) {
            if (NidTypeOf(nid) == NID_TYPE_NORMAL_MESSAGE) nodes_.push_back({nid, ref.nidParent, ref.bidData});
        });
        std::sort(nodes_.begin(), nodes_.end(), [](const ItemNode& a, const ItemNode& b) { return a.nid < b.nid; });
    }
    const ItemNode* Of(Nid nid) const {
        auto it = std::lower_bound(nodes_.begin(), nodes_.end(), nid, [](const ItemNode& n, Nid k) { return n.nid < k; });
        return it != nodes_.end() && it->nid == nid ? &*it : nullptr;
    }
    const std::vector<ItemNode>& all() const { return nodes_; }

private:
    std::vector<ItemNode> nodes_;
};

// The row ids of folder `folder`'s contents table. Throws MailStoreError.
std::vector<Nid> ContentsRows(NodeDatabase& db, Nid folder) {
    std::vector<Nid> rows;
    std::optional<NodeRef> table = db.FindNode(MakeNid(NID_TYPE_CONTENTS_TABLE, NidIndexOf(folder)));
    if (!table) FormatError("folder", "contents table", "is missing");
    std::vector<Bid> heap = db.DataTreeBids(table->bidData);
    std::vector<SLENTRY> subnodes = db.ReadSubnodeTree(table->bidSub);
    auto subnodeBids = [&](Nid sub) {
        for (const SLENTRY& e : subnodes)
            if (Nid(e.nid) == sub) return db.DataTreeBids(e.bidData);
        FormatError("SLENTRY", "nid", "subnode " + std::to_string(sub) + " of the contents table is missing");
    };
    if (heap.empty()) return rows;
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
    ForEachTableRow(source, [](const std::vector<TCOLDESC>&) {}, [&](TcRowRead&& r) { rows.push_back(r.rowId); });
    return rows;
}

// Items listed read (their properties, not the long values in their subnodes) and known
// by their identities, so many at a time that memory stays bounded whatever the store holds.
constexpr size_t kItemsReadAtOnce = 1 << 17;

// Every item of `listed` (NIDs in order) read and known by its identity; `unreadable` counts
// those that cannot be read. fn(identities) gets them a part at a time, in NID order.
void ReadListedIdentities(NodeDatabase& db, const ItemNodes& nodes, const std::vector<Nid>& listed, int64_t& unreadable,
                          const std::function<void(const std::vector<std::pair<Nid, Identity>>&)>& fn) {
    std::vector<std::pair<Bid, Nid>> single;  // items whose properties are one block, in file order
    std::vector<std::pair<Nid, Bid>> trees;
    std::vector<std::pair<Nid, Identity>> identities;
    std::vector<Bid> bids;
    for (size_t begin = 0; begin < listed.size();) {
        // A part ends where the NID changes, so that an item listed twice is read in one part.
        size_t end = std::min(listed.size(), begin + kItemsReadAtOnce);
        while (end < listed.size() && listed[end] == listed[end - 1]) ++end;
        single.clear();
        trees.clear();
        identities.clear();
        for (size_t i = begin; i < end; ++i) {
            const ItemNode* node = nodes.Of(listed[i]);
            if (!node) continue;
            if (node->data & kBidInternal) trees.push_back({listed[i], node->data});
            else single.push_back({node->data & ~Bid(1), listed[i]});
        }
        begin = end;
        auto take = [&](Nid nid, std::vector<Bytes>&& blocks) {
            try {
                HeapReader heap(std::move(blocks));
                identities.push_back({nid, IdentityIndex::IdentityOf(ReadPropertyContext(heap, [](Nid) { return Bytes(); }))});
            } catch (const MailStoreError&) {
                ++unreadable;
            }
        };
        std::sort(single.begin(), single.end());
        bids.clear();
        for (const auto& [bid, nid] : single) bids.push_back(bid);
        size_t readSingle = 0;
        db.ReadBlocks(bids, [&](Bid bid, Bytes&& data) {
            auto it = std::lower_bound(single.begin(), single.end(), std::make_pair(bid & ~Bid(1), Nid(0)));
            for (; it != single.end() && it->first == (bid & ~Bid(1)); ++it, ++readSingle) {
                std::vector<Bytes> blocks{data};
                take(it->second, std::move(blocks));
            }
        });
        unreadable += int64_t(single.size() - std::min(readSingle, single.size()));
        for (const auto& [nid, bid] : trees) {
            try {
                take(nid, db.ReadDataTree(bid));
            } catch (const MailStoreError&) {
                ++unreadable;
            }
        }
        // One identity a NID (an item listed twice is read twice, alike).
        std::stable_sort(identities.begin(), identities.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
        identities.erase(std::unique(identities.begin(), identities.end(), [](const auto& x, const auto& y) { return x.first == y.first; }),
                         identities.end());
        fn(identities);
    }
}

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

StoreReadBack Store::ReadBack(const WrittenStore* written) {
    StoreReadBack out;
    Differences differs(out.differences);
    NodeDatabase& db = file_.db();
    const ItemNodes nodes(db);

    // Each folder below the top: its contents table against its count, against what
    // was written, and against the items whose nodes are in it.
    std::vector<Nid> listed;  // every item a contents table lists
    std::map<Nid, std::vector<std::string>> paths;
    for (const auto& [nid, f] : folders_.all()) {
        if (f.search) continue;
        std::vector<std::string> path = folders_.Path(nid);
        if (path.empty()) continue;
        const std::string name = PathText(path);
        std::vector<Nid> rows;
        try {
            rows = ContentsRows(db, nid);
        } catch (const MailStoreError& e) {
            differs.Add(name + ": its contents table cannot be read (" + e.what() + ")");
            continue;
        }
        if (rows.size() != f.rowCount)
            differs.Add(name + ": its contents table lists " + Items(int64_t(rows.size())) + ", its count says " +
                        std::to_string(f.rowCount));
        if (written) {
            auto w = written->folders.find(path);
            const int64_t expected = w == written->folders.end() ? 0 : w->second;
            if (int64_t(rows.size()) != expected)
                differs.Add(name + ": " + Items(int64_t(rows.size())) + " read back, " + std::to_string(expected) +
                            " written");
        }
        int64_t missing = 0, elsewhere = 0;
        for (Nid row : rows) {
            const ItemNode* node = nodes.Of(row);
            if (!node) ++missing;
            else if (node->parent != nid) ++elsewhere;
        }
        if (missing) differs.Add(name + ": " + Items(missing) + " listed in its contents table " + (missing == 1 ? "is" : "are") + " missing");
        if (elsewhere) differs.Add(name + ": " + Items(elsewhere) + " listed in its contents table belong to another folder");
        out.items += int64_t(rows.size());
        if (!rows.empty()) ++out.folders;
        listed.insert(listed.end(), rows.begin(), rows.end());
        paths[nid] = std::move(path);
    }
    if (written) {
        for (const auto& [path, count] : written->folders) {
            bool found = false;
            for (const auto& [nid, p] : paths) found = found || p == path;
            if (!found && count > 0) differs.Add(PathText(path) + ": missing (" + Items(count) + " written)");
        }
    }
    // An item whose node is in a folder below the top but that no table lists.
    std::sort(listed.begin(), listed.end());
    std::map<Nid, int64_t> unlisted;
    for (const ItemNode& n : nodes.all())
        if (paths.count(n.parent) && !std::binary_search(listed.begin(), listed.end(), n.nid)) ++unlisted[n.parent];
    for (const auto& [folder, n] : unlisted)
        differs.Add(PathText(paths[folder]) + ": " + Items(n) + " not listed in its contents table");

    // Every item written is there, and is the item written.
    int64_t unreadable = 0;
    std::optional<WrittenComparison> compared;
    if (written) compared.emplace(written->items);
    ReadListedIdentities(db, nodes, listed, unreadable, [&](const std::vector<std::pair<Nid, Identity>>& identities) {
        if (compared) compared->Compare(identities);
    });
    if (unreadable) differs.Add(Items(unreadable) + " cannot be read");
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

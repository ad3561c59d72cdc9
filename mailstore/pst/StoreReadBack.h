// A store read back after it was written: opened for reading only, through the same
// reading path a run adding to it takes (folders through the hierarchy tables, each
// folder's contents table, each item's node and identity), and compared with what the
// writer says it put there.
#pragma once
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mailstore/pst/messaging/IdentityTable.h"

namespace bv::mailstore::pst {

// An item written: its node and identity, in 16 bytes (a store may hold millions).
struct WrittenItem {
    uint32_t nid = 0;
    uint32_t check = 0;  // of the identity
    uint64_t key = 0;    // of the identity
    Identity identity() const { return Identity{key, check}; }
};

// The items a store object wrote, in the order written: the last few thousand in memory,
// the others in a temporary file (a store may hold millions; the read back reads them once,
// in order). Without a temporary file they all stay in memory.
class WrittenItems {
public:
    void Add(const WrittenItem& item);
    void Append(WrittenItems&& later);
    size_t size() const { return inFile_ + memory_.size(); }

    // Reads the items in the order written.
    class Reader {
    public:
        explicit Reader(const WrittenItems& items);
        // False at the end, or when the temporary file cannot be read (failed() then).
        bool Next(WrittenItem& item);
        bool failed() const { return failed_; }

    private:
        const WrittenItems& items_;
        size_t next_ = 0;
        std::vector<WrittenItem> chunk_;
        size_t inChunk_ = 0;
        bool failed_ = false;
    };

private:
    struct Close {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Close> file_;
    size_t inFile_ = 0;                // items in the file, before those in memory
    bool spill_ = true;                // false once the file could not be made or written
    std::vector<WrittenItem> memory_;
};

// What a store object wrote into one store file, as its close left it.
struct WrittenStore {
    std::string path;
    // Every folder below the top of the store (names from the top down) -> the items
    // the writer holds it to have.
    std::map<std::vector<std::string>, uint32_t> folders;
    // The items written by this run: node id and identity (none without a search key), in order.
    WrittenItems items;
    // A later close of the same file (opened again to add categories): its folders
    // replace these, its items come after these.
    void Merge(WrittenStore later);
};

struct StoreReadBack {
    int64_t items = 0;  // items listed in the contents tables of the folders below the top
    int folders = 0;    // folders below the top that hold at least one item
    // What differs, one line each, in words a user understands; empty when the store
    // reads back as written.
    std::vector<std::string> differences;
    bool asWritten() const { return differences.empty(); }
};

// Reads the store at `path` back. With `written`, every folder's items are compared
// with what was written and every item written is looked for by its node and identity;
// without, each folder's contents table is compared with its own count and with the
// items whose nodes are in it. Never throws: a store that cannot be read is a difference.
StoreReadBack ReadBackStore(const std::string& path, const WrittenStore* written = nullptr);

}  // namespace bv::mailstore::pst

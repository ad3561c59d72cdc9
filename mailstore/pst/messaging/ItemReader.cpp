#include "mailstore/pst/messaging/ItemReader.h"

#include <algorithm>

#include "mailstore/MailStoreError.h"
#include "mailstore/pst/ltp/Heap.h"

namespace bv::mailstore::pst {

namespace {

// Items gathered before a part is read: about 1.5 MB of them.
constexpr size_t kItemsReadAtOnce = 1 << 16;

}  // namespace

void ItemReader::Add(Nid nid, Bid data, uint32_t times) {
    if (data & kBidInternal) trees_.push_back({nid, data, times});
    else single_.push_back({data & ~Bid(1), nid, times});
    if (single_.size() + trees_.size() >= kItemsReadAtOnce) Flush();
}

void ItemReader::Take(Nid nid, std::vector<Bytes>&& blocks, uint32_t times) {
    std::vector<PcProp> props;
    try {
        HeapReader heap(std::move(blocks));
        props = ReadPropertyContext(heap, [](Nid) { return Bytes(); });
    } catch (const MailStoreError&) {
        unreadable += times;
        return;
    }
    item_(nid, props);
}

void ItemReader::Flush() {
    if (single_.empty() && trees_.empty()) return;
    // The single blocks in BID order: for a store written in order, in file order too,
    // and the look-ups walk the BBT's leaves one after the other.
    std::sort(single_.begin(), single_.end());
    Bytes data;
    bool read = false;  // `data` is the block of the item before (of one BID, as it may be)
    for (size_t i = 0; i < single_.size(); ++i) {
        const Pending& s = single_[i];
        if (i == 0 || s.key != single_[i - 1].key) {
            try {
                data = db_.ReadBlock(s.key);
                read = true;
            } catch (const MailStoreError&) {
                read = false;
            }
        }
        if (!read) {
            unreadable += s.times;
            continue;
        }
        std::vector<Bytes> blocks{data};
        Take(Nid(s.other), std::move(blocks), s.times);
    }
    for (const Pending& t : trees_) {
        std::vector<Bytes> blocks;
        try {
            blocks = db_.ReadDataTree(t.other);
        } catch (const MailStoreError&) {
            unreadable += t.times;
            continue;
        }
        Take(Nid(t.key), std::move(blocks), t.times);
    }
    single_.clear();
    trees_.clear();
    if (partRead_) partRead_();
}

}  // namespace bv::mailstore::pst

// A write-once compound file ([MS-CFB] version 3, 512-byte sectors): the caller builds
// the tree of storages and streams in memory, then Write() lays it out and writes it
// sequentially in one pass.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace bv::mailstore::msg {

class CompoundFile {
public:
    struct Entry {
        std::u16string name;
        bool storage = false;
        std::vector<std::unique_ptr<Entry>> children;  // storages only
        // stream data: owned, or borrowed from the caller (must outlive Write())
        std::vector<uint8_t> owned;
        const uint8_t* borrowed = nullptr;
        size_t borrowedSize = 0;

        const uint8_t* data() const { return borrowed ? borrowed : owned.data(); }
        size_t size() const { return borrowed ? borrowedSize : owned.size(); }
    };

    CompoundFile();

    Entry* root() { return root_.get(); }
    void SetRootClsid(const unsigned char clsid[16]);

    // Adds a child storage / stream under `parent`. Names are ASCII here (.msg names are).
    static Entry* AddStorage(Entry* parent, const std::string& name);
    static Entry* AddStream(Entry* parent, const std::string& name, std::vector<uint8_t> data);
    static Entry* AddBorrowedStream(Entry* parent, const std::string& name, const uint8_t* data, size_t size);
    // Makes the borrowed streams directly under `storage` its own (copies of their
    // bytes), for bytes that do not live until the file is written.
    static void OwnStreams(Entry* storage);

    // Writes the whole file. Throws MailStoreError saying what failed.
    void Write(FILE* out) const;

private:
    std::unique_ptr<Entry> root_;
    unsigned char clsid_[16] = {};
};

}  // namespace bv::mailstore::msg

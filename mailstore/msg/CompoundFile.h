// A write-once compound file ([MS-CFB] version 3, 512-byte sectors): the caller builds
// the tree of storages and streams in memory, then Write() lays it out and writes it
// sequentially in one pass.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bv::mailstore::msg {

class CompoundFile {
public:
    using Piece = std::function<void(const uint8_t*, size_t)>;
    // Hands a stream's bytes to a Piece in order, in pieces of any size.
    using Maker = std::function<void(const Piece&)>;

    struct Entry {
        // The name, ASCII (as .msg names are), kept in the entry: a message of
        // thousands of recipients has tens of thousands of entries. A name past 31
        // characters counts 32 and fails the write.
        char name[32] = {};
        uint8_t nameSize = 0;
        bool storage = false;
        std::vector<std::unique_ptr<Entry>> children;  // storages only
        // stream data: owned, or borrowed from the caller (must outlive Write()), or
        // made by the caller as Write() writes it (from what must outlive Write())
        std::vector<uint8_t> owned;
        const uint8_t* borrowed = nullptr;
        size_t borrowedSize = 0;
        Maker made;
        size_t madeSize = 0;

        size_t size() const { return made ? madeSize : borrowed ? borrowedSize : owned.size(); }
        // Hands the stream's bytes to `piece` in order.
        void Read(const Piece& piece) const;
    };

    CompoundFile();

    Entry* root() { return root_.get(); }
    void SetRootClsid(const unsigned char clsid[16]);

    // Adds a child storage / stream under `parent`. Names are ASCII here (.msg names are).
    static Entry* AddStorage(Entry* parent, const std::string& name);
    static Entry* AddStream(Entry* parent, const std::string& name, std::vector<uint8_t> data);
    static Entry* AddBorrowedStream(Entry* parent, const std::string& name, const uint8_t* data, size_t size);
    // A stream of `size` bytes that `make` hands out when the file is written (a long
    // text made into UTF-16 piece by piece, never held whole).
    static Entry* AddMadeStream(Entry* parent, const std::string& name, size_t size, Maker make);
    // Makes the borrowed and made streams directly under `storage` its own (copies of
    // their bytes), for bytes that do not live until the file is written.
    static void OwnStreams(Entry* storage);

    // Writes the whole file. Throws MailStoreError saying what failed.
    void Write(FILE* out) const;

private:
    static void SetName(Entry& e, const std::string& name);

    std::unique_ptr<Entry> root_;
    unsigned char clsid_[16] = {};
};

}  // namespace bv::mailstore::msg

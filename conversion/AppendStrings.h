// Gathers one message's text as the mailbox is read. Appending grows the buffer
// geometrically up to a megabyte, so each byte of an ordinary message is copied a
// bounded number of times; a message that goes on to a worker is taken out whole,
// without a copy. A longer message is gathered in pieces past that and joined once
// into a string of its own size: doubling would leave it up to twice its size (and
// three times while it moves), and the next message's buffer as large again.
#pragma once
#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bv::conversion {

class AppendStrings {
public:
    // Up to this many bytes a message is gathered in one buffer, kept for the next one.
    static constexpr size_t kWhole = size_t(1) << 20;

    void AddToString(std::string_view piece) {
        if (pieces_.empty() && text_.size() + piece.size() <= std::max(text_.capacity(), kWhole)) text_.append(piece);
        else AddPiece(piece);
    }
    void AddToString(const char* data, size_t size) { AddToString(std::string_view(data, size)); }

    // The gathered text without copying it (a long one is joined first); valid until
    // the next change.
    std::string_view View() {
        if (!pieces_.empty()) text_ = Joined();
        return text_;
    }
    // Hands the gathered text over, its bytes moved, not copied (a long one joined
    // into a string of its size). The next message starts in a fresh buffer as large
    // as this one, up to kWhole.
    std::string Take() {
        if (!pieces_.empty()) {
            std::string out = Joined();
            text_.clear();
            return out;
        }
        std::string out = std::move(text_);
        text_ = std::string();
        text_.reserve(std::min(out.size(), kWhole));
        return out;
    }
    // Starts a fresh message; the room (up to about kWhole) stays for the next one.
    void Clear() {
        text_.clear();
        if (text_.capacity() > 2 * kWhole) std::string().swap(text_);
        DropPieces();
    }
    size_t size() const { return text_.size() + piecesSize_; }

private:
    void AddPiece(std::string_view piece) {
        piecesSize_ += piece.size();
        if (pieces_.empty() || pieces_.back().capacity() - pieces_.back().size() < piece.size()) {
            pieces_.emplace_back().reserve(std::max(piece.size(), kWhole));
        }
        pieces_.back().append(piece);
    }
    // The whole text in a string of its size; the pieces go as they are copied.
    std::string Joined() {
        std::string out;
        out.reserve(size());
        out.append(text_);
        for (std::string& piece : pieces_) {
            out.append(piece);
            std::string().swap(piece);
        }
        DropPieces();
        return out;
    }
    void DropPieces() {
        std::vector<std::string>().swap(pieces_);
        piecesSize_ = 0;
    }

    std::string text_;
    std::vector<std::string> pieces_;  // the text past text_, in order
    size_t piecesSize_ = 0;
};

}  // namespace bv::conversion

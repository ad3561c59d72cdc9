// Reads one line of a text file keeping at most a fixed number of its bytes, so a
// damaged file with a line of gigabytes is read through in bounded memory.
#pragma once
#include <cstdint>
#include <istream>
#include <string>

namespace bv::mailstore::base {

struct CappedLine {
    bool read = false;       // false at the end of the input
    bool truncated = false;  // the line was longer than the cap; the rest was passed over
    uint64_t consumed = 0;   // bytes taken from the input, its LF included
};

// The next line without its LF (a CR before it is kept), at most `cap` bytes of it.
inline CappedLine ReadCappedLine(std::istream& in, std::string& line, size_t cap) {
    CappedLine r;
    line.clear();
    std::streambuf* sb = in.rdbuf();
    int c = sb ? sb->sbumpc() : std::char_traits<char>::eof();
    if (c == std::char_traits<char>::eof()) {
        in.setstate(std::ios::eofbit);
        return r;
    }
    r.read = true;
    while (c != std::char_traits<char>::eof()) {
        ++r.consumed;
        if (c == '\n') break;
        if (line.size() < cap)
            line.push_back(char(c));
        else
            r.truncated = true;
        c = sb->sbumpc();
    }
    return r;
}

}  // namespace bv::mailstore::base

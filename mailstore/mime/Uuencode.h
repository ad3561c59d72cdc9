// uuencoded files: parts sent with a uuencode transfer encoding, and the
// "begin 644 name" ... "end" blocks older mail programs put into a text body.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace bv::mailstore::mime {

struct UuFile {
    std::string name;   // from the "begin" line; may be empty
    std::string bytes;
};

// The file of a uuencoded part: the lines after its "begin" line up to "end" (all
// lines when there is no "begin" line). Returns false when a line was damaged; what
// could be decoded is in `file` all the same.
bool DecodeUuencoded(std::string_view text, UuFile& file);

// Takes every complete uuencoded block out of a text body: the files, in order; the
// text keeps what surrounds them.
std::vector<UuFile> TakeUuencodedBlocks(std::string& text);

}  // namespace bv::mailstore::mime

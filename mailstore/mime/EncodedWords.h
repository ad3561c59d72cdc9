// RFC 2047 encoded words, read the way mail readers read them: adjacent words are
// one text (the bytes of words in the same charset are joined before they are
// converted, so a character split across two words survives, and base64 padding
// inside the run ends nothing), blanks between them vanish.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace bv::mailstore::mime {

// Where the encoded word ("=?charset?B|Q?payload?=", no blanks or line ends in it)
// that starts at `at` ends (one past its "?="); 0 when none starts there. Every
// reader of encoded words asks here, so they accept the same words.
size_t EncodedWordEnd(std::string_view text, size_t at);

// Unstructured header text (a subject) -> UTF-8. Bytes outside encoded words are
// read as UTF-8 when valid, else as windows-1252.
std::string DecodeEncodedWords(std::string_view text);

// True when `raw` holds two encoded words with only blanks between them.
bool HasAdjacentEncodedWords(std::string_view raw);

// `raw` with every run of two or more adjacent encoded words replaced by one UTF-8
// word holding their text, for parsers that decode a single word right but cut a
// run of them (structured fields, parameters).
std::string JoinAdjacentEncodedWords(std::string_view raw);

}  // namespace bv::mailstore::mime

// UTF-8 <-> UTF-16LE for the MAPI model and its writers: the project's UTF-8 codec.
#pragma once
#include <cstddef>

#include "mailstore/base/Utf8.h"

namespace bv::mailstore::mapi {

using base::AppendUtf8;
using base::Utf16LeSize;
using base::Utf16LeToUtf8;
using base::Utf8ToUtf16Le;
using base::Utf8ToUtf16LeInPieces;
using base::ValidUtf8Prefix;

// A text of at least this many bytes (a long body) is turned into UTF-16 by a writer
// as it writes it, in pieces of this size: it is never held in both forms at once.
inline constexpr size_t kLongText = size_t(1) << 20;

}  // namespace bv::mailstore::mapi

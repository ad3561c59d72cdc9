// UTF-8 <-> UTF-16LE for the MAPI model and its writers: the project's UTF-8 codec.
#pragma once
#include "mailstore/base/Utf8.h"

namespace bv::mailstore::mapi {

using base::AppendUtf8;
using base::Utf16LeToUtf8;
using base::Utf8ToUtf16Le;
using base::ValidUtf8Prefix;

}  // namespace bv::mailstore::mapi

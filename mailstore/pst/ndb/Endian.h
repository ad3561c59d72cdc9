// Little-endian field access for the on-disk structures (the project's one writer).
#pragma once
#include "mailstore/base/LittleEndian.h"

namespace bv::mailstore::pst {

using Bytes = base::Bytes;
using base::Append16;
using base::Append32;
using base::Append64;
using base::Get16;
using base::Get32;
using base::Get64;
using base::Put16;
using base::Put32;
using base::Put64;

}  // namespace bv::mailstore::pst

// What a store file takes, estimated from above before it is written: a series of
// stores opens its next part before a message would take one past its size limit.
#pragma once
#include <cstdint>

namespace bv::mailstore::pst {

struct PreparedMessage;

// What a prepared message adds to a store file: its blocks with their trailers and
// alignment, the block trees over them, and its share of the B-trees and of its
// folder's contents table.
uint64_t StoredSize(const PreparedMessage& message);
// The size of a store file whose blocks and pages take `used` bytes (Store::UsedBytes):
// the header and whole allocation regions.
uint64_t FileSizeFor(uint64_t used);

}  // namespace bv::mailstore::pst

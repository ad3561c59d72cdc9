// Hands the memory the allocator keeps free back to the system. A store's commit
// frees buffers of megabytes (the trees' pages, the allocation maps) that the
// allocator would otherwise hold on to for seconds; calling this after it keeps a
// long run's footprint at what it uses.
#pragma once

namespace bv::mailstore::base {

void ReturnFreeMemory();

}  // namespace bv::mailstore::base

// A full disk ends a run: every later write would fail the same way. The first
// write that finds it full is the one failure reported, naming the file.
#pragma once
#include <string>

namespace bv::conversion {

// Whether a failure's reason is a full disk (no space left, or a disk quota used up).
bool IsDiskFull(const std::string& reason);

// The reason reported for the write that found the disk full, from the reason its
// write failed with: "the disk is full (No space left on device); the conversion
// stopped there".
std::string DiskFullReason(const std::string& reason);

}  // namespace bv::conversion

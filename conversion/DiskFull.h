// A full disk ends a run: every later write would fail the same way. The first
// write that finds it full is the one failure reported, naming the file. Whether a
// failure is a full disk is read from its system error code, which the mail store's
// errors carry (mailstore::SystemErrorOf) as do the standard library's.
#pragma once
#include <exception>
#include <string>
#include <system_error>

#include "mailstore/MailStoreError.h"

namespace bv::conversion {

// Whether the disk is full (no space left, or a disk quota used up): by the code, or
// by the code a failure carries.
using mailstore::IsDiskFull;
bool IsDiskFull(const std::exception& failure);

// The reason reported for the write that found the disk full: "the disk is full (No
// space left on device); the conversion stopped there" (the words of a quota used up
// for that).
std::string DiskFullReason(std::error_code code);

}  // namespace bv::conversion

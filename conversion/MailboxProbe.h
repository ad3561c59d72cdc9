// Decides how a mailbox's lines end by looking at its first 512 bytes.
#pragma once
#include <string>

namespace bv::conversion {

// "Normal": lines end in CR LF or CR (read line by line);
// "NotNormal": lines end in a bare LF; None: not probed, or the file could not be read.
enum class MboxMode { None, Normal, NotNormal };

constexpr size_t kProbeBytes = 512;

// Probes `fileName`. On failure returns MboxMode::None and says why in `error`.
MboxMode ReadMBOXFile(const std::string& fileName, std::string* error = nullptr);

// The rule itself, over the first bytes of a file.
MboxMode ProbeLineEnds(const char* data, size_t size);


}  // namespace bv::conversion

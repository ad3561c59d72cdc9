// The few header fields the run itself reads (the date of an .emlx), from
// the message's top as the importer's one header splitter cuts it.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "mailstore/base/Ascii.h"
#include "mailstore/mime/TopHeader.h"

namespace bv::conversion {

using mailstore::mime::HeaderFields;

// The value without its folding line breaks and without surrounding blanks.
std::string UnfoldFieldValue(std::string_view rawValue);

// Unix seconds of an RFC 5322 date, when it parses.
std::optional<long long> DecodeDate(std::string_view value);

using mailstore::base::EqualsNoCase;
using mailstore::base::StartsWithNoCase;

}  // namespace bv::conversion

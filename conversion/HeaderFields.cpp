#include "conversion/HeaderFields.h"

#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/Dates.h"

namespace bv::conversion {

std::optional<long long> DecodeDate(std::string_view value) { return mailstore::mime::ReadDate(value); }

std::string UnfoldFieldValue(std::string_view raw) { return mailstore::mime::UnfoldHeader(raw); }

}  // namespace bv::conversion

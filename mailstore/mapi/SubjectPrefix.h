// The subject prefix of a message ("RE: ", "FW: "), as MAPI splits it.
#pragma once
#include <string>
#include <utility>

namespace bv::mailstore::mapi {

// Splits "RE: topic" into {"RE: ", "topic"}: a prefix is one to three characters,
// none of them a digit or white space, followed by ": " ([MS-OXCMSG] 2.2.1.9).
std::pair<std::string, std::string> SplitSubjectPrefix(const std::string& subject);

}  // namespace bv::mailstore::mapi

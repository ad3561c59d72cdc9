// The text of an RTF body (a decompressed PR_RTF_COMPRESSED).
#pragma once
#include <string>
#include <string_view>

namespace bv::mailstore::mime {

// What an RTF document says, for PR_BODY: plain text (UTF-8, LF line ends), or,
// for HTML encapsulated in RTF ([MS-OXRTFEX], "\fromhtml"), the HTML document.
struct RtfText {
    std::string text;
    bool html = false;
};
RtfText ReadRtf(std::string_view rtf);

}  // namespace bv::mailstore::mime

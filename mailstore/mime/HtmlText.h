// HTML bodies: a plain-text rendering, the charset a document declares, and what
// it shows by reference.
#pragma once
#include <string>
#include <string_view>

namespace bv::mailstore::mime {

// Plain-text rendering of an HTML document (UTF-8 in, UTF-8 out): tags stripped,
// entities decoded, block elements and <br> become line breaks, script/style dropped.
std::string HtmlToText(std::string_view html);

// Replaces the charset named in the HTML's <meta> declaration with "utf-8" (after
// the document was converted to UTF-8). Unchanged when it names none.
std::string DeclareHtmlUtf8(std::string html);
// The charset named by the HTML's <meta> declaration (first 8 KB), or empty.
std::string HtmlMetaCharset(std::string_view html);

// True when the document refers to the part with this Content-ID ("cid:ID", the
// scheme in any case, ID without its angle brackets).
bool HtmlReferencesContentId(std::string_view html, std::string_view contentId);

}  // namespace bv::mailstore::mime

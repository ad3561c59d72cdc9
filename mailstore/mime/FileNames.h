// Attachment file names: safe long names, their 8.3 forms and extensions, and the
// names an attachment carries in the MAPI model.
#pragma once
#include <string>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mime {

// A file name safe on every file system: path separators and control characters
// replaced, surrounding blanks and dots trimmed.
std::string SanitizeFileName(const std::string& name);
// The 8.3 short form of a long file name ("LONGFI~1.PDF").
std::string ShortFileName(const std::string& longName);
// ".pdf" for "report.pdf"; empty when there is no extension.
std::string FileExtension(const std::string& name);
// Extension for a MIME type when a part carries no file name (".bin" when unknown).
std::string ExtensionForMimeType(const std::string& mimeType);

// PR_ATTACH_LONG_FILENAME, PR_ATTACH_FILENAME (8.3), PR_DISPLAY_NAME and
// PR_ATTACH_EXTENSION of an attachment named `longName`.
void SetAttachNames(mapi::PropertyBag& p, const std::string& longName);

}  // namespace bv::mailstore::mime

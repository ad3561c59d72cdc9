// Path arithmetic of the run: file name of a path, the root of a path, folder creation.
// On Windows "\" is the separator ("/" too, as Windows accepts it); elsewhere "/" and
// "\" both separate, so lists made on either system behave alike.
#pragma once
#include <system_error>
#include <string>
#include <string_view>

namespace bv::conversion {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

bool IsPathSeparator(char c);

// The text after the last separator: "C:\Mail\inbox.mbox" -> "inbox.mbox";
// a text without separator is returned whole; one ending in a separator gives "".
std::string PathLastPart(std::string_view path);

// `path` with the platform separator appended unless it already ends in a separator.
std::string WithTrailingSeparator(std::string_view path);

// Length of the path's root: "C:\" 3, "\\server\share\" its length, "/" 1; 0 for a
// relative path. The run drops the root when it mirrors an input path under the destination.
size_t PathRootLength(std::string_view path);

// Creates the folder and every missing parent. True when the folder exists afterwards;
// otherwise `why`, when given, holds the system's error of the attempt (none when it
// gave none).
bool EnsureFolderPath(std::string_view path, std::error_code* why = nullptr);

}  // namespace bv::conversion

#include "conversion/RunNames.h"

#include "conversion/ArchiveInput.h"
#include "conversion/InputFile.h"
#include "conversion/ItemFiles.h"
#include "conversion/PathHelpers.h"
#include "mailstore/base/Ascii.h"

namespace bv::conversion {

namespace {

void RemoveAll(std::string& s, const std::string& what) {
    for (size_t pos; (pos = s.find(what)) != std::string::npos;) s.erase(pos, what.size());
}

// The name of the folder `inputPath` lies in: "anna" for ".../anna/Inbox.mbox".
std::string ParentName(const std::string& inputPath) {
    size_t end = inputPath.size();
    while (end > 0 && !IsPathSeparator(inputPath[end - 1])) --end;  // the file's name
    while (end > 0 && IsPathSeparator(inputPath[end - 1])) --end;
    size_t begin = end;
    while (begin > 0 && !IsPathSeparator(inputPath[begin - 1])) --begin;
    std::string name = inputPath.substr(begin, end - begin);
    return name.empty() || name.back() == ':' ? std::string() : name;
}

}  // namespace

std::string MirroredPart(const std::string& inputPath) {
    std::string rest = inputPath.substr(PathRootLength(inputPath));
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= rest.size()) {
        size_t j = i;
        while (j < rest.size() && !IsPathSeparator(rest[j])) ++j;
        std::string part = rest.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            // A drive letter inside the path ("C:") would make the result a root of its own.
            for (char& c : part)
                if (c == ':') c = '_';
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += kPathSeparator;
        out += p;
    }
    return out;
}

std::string MailboxName(const std::string& inputFileName) {
    std::string name = TrimBlanks(inputFileName);
    RemoveAll(name, ".mbox");
    name = TrimBlanks(name);
    RemoveAll(name, ".MBOX");
    return name.empty() ? "mailbox" : name;
}

DistinctNames::DistinctNames(const std::vector<std::string>& inputs, std::string (*nameOf)(const std::string&)) {
    std::map<std::string, std::string> first;
    for (const std::string& input : inputs) {
        const std::string key = mailstore::base::AsciiLowered(nameOf(input));
        if (key.empty()) continue;
        auto [at, isNew] = first.emplace(key, input);
        if (!isNew && at->second != input) shared_.insert(key);
    }
}

std::string DistinctNames::For(const std::string& inputPath, const std::string& name) {
    if (auto known = given_.find(inputPath); known != given_.end()) return known->second;
    std::string chosen = name;
    if (shared_.count(mailstore::base::AsciiLowered(name)) || taken_.count(mailstore::base::AsciiLowered(name))) {
        const std::string parent = ParentName(inputPath);
        const std::string base = parent.empty() ? name : name + " (" + parent + ")";
        chosen = base;
        for (int n = 2; taken_.count(mailstore::base::AsciiLowered(chosen)); ++n) chosen = base + " " + std::to_string(n);
    }
    taken_.insert(mailstore::base::AsciiLowered(chosen));
    given_.emplace(inputPath, chosen);
    return chosen;
}

std::string ListedName(const std::string& input) {
    const std::string path = TrimBlanks(input);
    if (path.empty() || IsArchiveFile(path) || ItemFileKindOf(path) != ItemFileKind::None) return "";
    return MailboxName(PathLastPart(path));
}

}  // namespace bv::conversion

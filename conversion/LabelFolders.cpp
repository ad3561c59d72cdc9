#include "conversion/LabelFolders.h"

#include <algorithm>

#include "conversion/Labels.h"
#include "conversion/PathHelpers.h"

namespace bv::conversion {

std::optional<std::string> DiskLabelFolders::FolderFor(std::string_view mailboxFolder,
                                                       const std::vector<std::string>& folder) {
    std::string path = LabelFolderOnDisk(mailboxFolder, folder);
    std::lock_guard lock(mutex_);
    if (made_.count(path)) return path;
    if (!EnsureFolderPath(path)) return std::nullopt;
    made_.insert(path);
    return path;
}

std::optional<std::vector<std::string>> LabelFolderMetAgain(const std::vector<std::string>& labelFolder,
                                                            const std::vector<std::string>& categories,
                                                            const std::vector<std::string>& labels,
                                                            const LabelRules& rules) {
    std::optional<std::vector<std::string>> both = LabelsOfSorted(labelFolder, categories, rules);
    if (!both) return std::nullopt;
    both->insert(both->end(), labels.begin(), labels.end());
    std::vector<std::string> wanted = SortLabels(*both, rules).folder;
    if (SameLabelFolder(wanted, labelFolder)) return std::nullopt;
    return wanted;
}

std::string FolderPathText(const std::vector<std::string>& folder) {
    std::string text;
    for (const std::string& segment : folder) {
        if (!text.empty()) text += '/';
        text += segment;
    }
    return text;
}

void LabelFolderCounts::Add(const std::vector<std::string>& folder) { ++counts_[FolderPathText(folder)]; }

std::string FolderCountsTable(const std::map<std::string, int64_t>& counts) {
    if (counts.empty()) return std::string();
    const std::string kFolder = "Folder", kMessages = "Messages";
    size_t nameWidth = kFolder.size(), countWidth = kMessages.size();
    auto width = [](const std::string& s) {  // characters, not bytes
        return size_t(std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    };
    for (const auto& [name, n] : counts) {
        nameWidth = std::max(nameWidth, width(name));
        countWidth = std::max(countWidth, std::to_string(n).size());
    }
    auto line = [&](const std::string& name, const std::string& count) {
        return name + std::string(nameWidth - width(name) + 2, ' ') + std::string(countWidth - count.size(), ' ') + count + "\n";
    };
    std::string out = line(kFolder, kMessages);
    for (const auto& [name, n] : counts) out += line(name, std::to_string(n));
    return out;
}

}  // namespace bv::conversion

#include "filelist/PathLogger.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "conversion/PathHelpers.h"

namespace bv::filelist {

namespace fs = std::filesystem;

namespace {

// "\" separates as well as "/" everywhere, so a list made on Windows walks the same.
fs::path ToFsPath(const std::string& utf8) {
    std::u8string s(utf8.begin(), utf8.end());
#ifndef _WIN32
    for (char8_t& c : s)
        if (c == u8'\\') c = u8'/';
#endif
    return fs::path(s);
}

std::string ToUtf8(const fs::path& p) {
    std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

// True when `target` is `folder` or one of its parents (both canonical).
bool IsSelfOrAncestor(const fs::path& target, const fs::path& folder) {
    auto t = target.begin();
    auto f = folder.begin();
    for (; t != target.end(); ++t, ++f) {
        if (f == folder.end() || *t != *f) return false;
    }
    return true;
}

class LocalFolderSource : public FolderSource {
public:
    bool FolderExists(const std::string& path) override {
        std::error_code ec;
        return !path.empty() && fs::is_directory(ToFsPath(path), ec);
    }

    Listing List(const std::string& path) override {
        const fs::path folder = ToFsPath(path);
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) throw FolderReadError(path, ec.message());

        Listing listing;
        fs::path canonicalFolder;  // computed on the first linked sub-folder
        for (const fs::directory_iterator end; it != end; it.increment(ec)) {
            const fs::directory_entry& entry = *it;
            std::string name = ToUtf8(entry.path().filename());
            std::error_code entryEc;
            if (entry.is_directory(entryEc)) {
                if (entry.is_symlink(entryEc)) {
                    if (canonicalFolder.empty()) canonicalFolder = fs::canonical(folder, entryEc);
                    fs::path target = fs::canonical(entry.path(), entryEc);
                    if (!entryEc && IsSelfOrAncestor(target, canonicalFolder)) continue;
                }
                listing.subFolders.push_back(std::move(name));
            } else {
                listing.files.push_back(std::move(name));
            }
        }
        if (ec) throw FolderReadError(path, ec.message());
        std::sort(listing.subFolders.begin(), listing.subFolders.end());
        std::sort(listing.files.begin(), listing.files.end());
        return listing;
    }
};

}  // namespace

std::shared_ptr<FolderSource> MakeLocalFolderSource() { return std::make_shared<LocalFolderSource>(); }

pathLogger::pathLogger(SourceFactory sourceFactory) : sourceFactory_(std::move(sourceFactory)) {}

void pathLogger::PathLogInit() {
    fso_ = sourceFactory_();
    fullFileNamesOnly_ = true;
    fileNames_.reset();
    pathNames_.reset();
    pathPointers_.reset();
    fullFileNames_.reset();
}

void pathLogger::LogPath(const std::string& strPARENT) {
    if (!fso_) fso_ = sourceFactory_();
    stopped_ = false;
    if (!fso_->FolderExists(strPARENT)) return;

    fileCounter_ = 1;
    int32_t current = 1;
    int32_t last = 1;
    auto folders = pathNames();
    folders->Add(conversion::WithTrailingSeparator(strPARENT), "K0");

    do {
        // Copy: Add may reallocate the collection the reference points into.
        const std::string folderPath = folders->Item(static_cast<std::size_t>(current));
        FolderSource::Listing listing = fso_->List(folderPath);

        for (const std::string& sub : listing.subFolders) {
            ++last;
            folders->Add(folderPath + sub + conversion::kPathSeparator, "K" + std::to_string(last));
        }
        for (const std::string& file : listing.files) {
            const std::string key = "K" + std::to_string(fileCounter_);
            if (fullFileNamesOnly_) {
                fullFileNames()->Add(folderPath + file, key);
            } else {
                fileNames()->Add(file, key);
                fullFileNames()->Add(folderPath + file, key);
                pathPointers()->Add(current, key);
            }
            ++fileCounter_;
        }
        if (progress_ && !progress_(fileCounter_ - 1)) {
            stopped_ = true;
            return;
        }
        ++current;
    } while (current <= last);
}

void pathLogger::Terminate() {
    fso_.reset();
    fileNames_.reset();
    pathNames_.reset();
    pathPointers_.reset();
    fullFileNames_.reset();
}

}  // namespace bv::filelist

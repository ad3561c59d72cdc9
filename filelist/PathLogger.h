// pathLogger: walks the folder tree below one folder, breadth first, and collects the
// path of every file in it. No filter: every file found is taken.
//
// Calling order for one walk: PathLogInit, optionally fullFileNamesOnly(false), LogPath,
// read the wanted collections, Terminate. The collections are shared: a reference taken
// from one of the four properties keeps its items after Terminate or after the walker
// is gone.
//
// No Qt here: the walker reads the file system through FolderSource, by default
// std::filesystem.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

namespace bv::filelist {

// An ordered list of items, addressed by position (from 1), each with a unique text key.
template <typename T>
class KeyedCollection {
public:
    class DuplicateKey : public std::logic_error {
    public:
        explicit DuplicateKey(const std::string& key)
            : std::logic_error("Key is already associated with an element of this collection: " + key) {}
    };

    void Add(T item, const std::string& key) {
        if (!keySet_.insert(key).second) throw DuplicateKey(key);
        items_.push_back(std::move(item));
        keys_.push_back(key);
    }
    std::size_t Count() const { return items_.size(); }
    // Position counts from 1.
    const T& Item(std::size_t position) const { return items_.at(position - 1); }
    const std::string& Key(std::size_t position) const { return keys_.at(position - 1); }
    const std::vector<T>& Items() const { return items_; }

private:
    std::vector<T> items_;
    std::vector<std::string> keys_;
    std::unordered_set<std::string> keySet_;
};

using TextCollection = KeyedCollection<std::string>;
using PointerCollection = KeyedCollection<int32_t>;

// A folder whose content could not be listed during a walk.
class FolderReadError : public std::runtime_error {
public:
    FolderReadError(std::string folder, const std::string& why)
        : std::runtime_error("Cannot read the folder " + folder + ": " + why), folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }

private:
    std::string folder_;
};

// How the walker sees the file system. Paths are UTF-8 texts.
class FolderSource {
public:
    struct Listing {
        std::vector<std::string> subFolders;  // names only, in listing order
        std::vector<std::string> files;       // names only, in listing order
    };
    virtual ~FolderSource() = default;
    virtual bool FolderExists(const std::string& path) = 0;
    // Throws FolderReadError when the folder's content cannot be listed.
    virtual Listing List(const std::string& path) = 0;
};

// The local file system through std::filesystem. Names come in name order (byte order
// of their UTF-8 text), the order in which NTFS lists a folder, so a folder adds its
// files in the same order on every system. A linked sub-folder whose target is the
// listed folder itself or one of its parents is left out, so a link loop cannot make
// the walk endless.
std::shared_ptr<FolderSource> MakeLocalFolderSource();

class pathLogger {
public:
    using SourceFactory = std::function<std::shared_ptr<FolderSource>()>;
    // Told after each folder's files are taken, with the number of files found so far;
    // false stops the walk there.
    using Progress = std::function<bool(int32_t filesFound)>;

    // `sourceFactory` makes the file-system object at each PathLogInit.
    explicit pathLogger(SourceFactory sourceFactory = MakeLocalFolderSource);

    void PathLogInit();
    // Walks the tree below strPARENT (with or without a final separator). A missing
    // folder changes nothing. A folder that cannot be listed ends the walk with
    // FolderReadError; the collections keep what was found until then.
    void LogPath(const std::string& strPARENT);
    // One more than the number of files the last walk collected; 0 before any walk
    // found its folder.
    int32_t Count() const { return fileCounter_; }
    void Terminate();

    void SetProgress(Progress progress) { progress_ = std::move(progress); }
    // True when the last walk was stopped by its progress handler.
    bool stopped() const { return stopped_; }

    void fullFileNamesOnly(bool fullPath) { fullFileNamesOnly_ = fullPath; }
    bool fullFileNamesOnly() const { return fullFileNamesOnly_; }

    std::shared_ptr<TextCollection> fileNames() { return Ensure(fileNames_); }
    std::shared_ptr<TextCollection> pathNames() { return Ensure(pathNames_); }
    std::shared_ptr<PointerCollection> pathPointers() { return Ensure(pathPointers_); }
    std::shared_ptr<TextCollection> fullFileNames() { return Ensure(fullFileNames_); }

private:
    template <typename C>
    static std::shared_ptr<C> Ensure(std::shared_ptr<C>& member) {
        if (!member) member = std::make_shared<C>();
        return member;
    }

    SourceFactory sourceFactory_;
    std::shared_ptr<FolderSource> fso_;
    Progress progress_;
    bool stopped_ = false;
    bool fullFileNamesOnly_ = false;
    int32_t fileCounter_ = 0;
    std::shared_ptr<TextCollection> fileNames_;
    std::shared_ptr<TextCollection> pathNames_;
    std::shared_ptr<PointerCollection> pathPointers_;
    std::shared_ptr<TextCollection> fullFileNames_;
};

}  // namespace bv::filelist

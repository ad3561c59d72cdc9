// A RunHost for tests: options, rows and answers are set by the test; everything
// the run shows is recorded.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "conversion/RunHost.h"

namespace bv::testing {

struct ShownBox {
    std::string text, title;
    conversion::MessageIcon icon;
};

class TestHost : public conversion::RunHost {
public:
    bool eml = false, emlx = false, msg = false, pst = false;
    bool chkEnabled = false, chkTicked = true;
    bool convertEnabled = true;
    std::vector<std::string> rows;  // empty: one empty row
    int currentRow = -1;
    std::string folderAnswer;
    std::vector<std::string> prompts;
    std::vector<ShownBox> boxes;
    std::vector<std::string> progressCurrent, immFile, progress;
    std::vector<std::string> calls;  // order of option / button changes
    int yields = 0;
    bool stop = false;
    size_t stopAfterMessages = SIZE_MAX;  // stop once this many "Saved" labels were shown
    std::function<void(TestHost&)> onYield;

    bool optEML() const override { return eml; }
    bool optEMLX() const override { return emlx; }
    bool optMSG() const override { return msg; }
    bool optPST() const override { return pst; }
    bool chkAllinOnePSTEnabled() const override { return chkEnabled; }
    bool chkAllinOnePSTTicked() const override { return chkTicked; }
    void clearOptions() override {
        eml = emlx = msg = pst = false;
        calls.push_back("clearOptions");
    }
    void setConvertEnabled(bool e) override {
        convertEnabled = e;
        calls.push_back(e ? "enable" : "disable");
    }
    int rowCount() const override { return rows.empty() ? 1 : int(rows.size()); }
    bool setCurrentRow(int row) override {
        if (row < 0 || row >= rowCount()) return false;
        currentRow = row;
        return true;
    }
    std::string currentText() const override { return rows.empty() ? "" : rows.at(size_t(currentRow)); }
    void setLblProgessCurrent(const std::string& t) override { progressCurrent.push_back(t); }
    void setLblIMMFile(const std::string& t) override { immFile.push_back(t); }
    void setLblProgress(const std::string& t) override { progress.push_back(t); }
    std::string browseForFolder(const std::string& title) override {
        prompts.push_back(title);
        return folderAnswer;
    }
    void messageBox(const std::string& text, const std::string& title, conversion::MessageIcon icon) override {
        boxes.push_back({text, title, icon});
    }
    void yield() override {
        ++yields;
        if (onYield) onYield(*this);
    }
    bool stopRequested() const override { return stop || progress.size() >= stopAfterMessages; }
};

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

inline void WriteFile(const std::filesystem::path& p, const std::string& data) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << data;
}

// A fresh temporary folder, removed with the object.
class TempDir {
public:
    TempDir() {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("bvtest-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace bv::testing

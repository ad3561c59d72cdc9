// A run observer for tests: the test sets the options, Run() runs them, and every
// label the window would show is recorded.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "conversion/ConversionRun.h"

namespace bv::testing {

class TestHost : public conversion::RunObserver {
public:
    conversion::RunOptions options;
    std::vector<std::string> progressCurrent, immFile, progress;  // the window's three labels
    bool stop = false;
    size_t stopAfterMessages = SIZE_MAX;  // stop once this many messages were written

    conversion::RunReport Run() { return conversion::RunConversion(options, *this); }

    void MailboxStarted(int index, int count, const std::string& fileName) override {
        progressCurrent.push_back("Mailbox " + std::to_string(index + 1) + " (of " + std::to_string(count) + ") ");
        if (!fileName.empty()) immFile.push_back(fileName);
    }
    void MessageWritten(int32_t number) override {
        progress.push_back("Saved " + std::to_string(number) + " Email Messages...");
    }
    bool StopRequested() const override { return stop || progress.size() >= stopAfterMessages; }
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

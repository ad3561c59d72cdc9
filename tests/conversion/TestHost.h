// A run observer for tests: the test sets the options, Run() runs them, and every
// label the window would show is recorded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "conversion/ConversionRun.h"
#include "tests/TempFolder.h"

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

}  // namespace bv::testing

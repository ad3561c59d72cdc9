// Test driver for the interop tests: imports an RFC 822 file and writes it as .msg,
// completed as a conversion completes it.
//   msg_roundtrip_tool IN.eml OUT.msg     -> writes OUT.msg, prints warnings to stderr
//   msg_roundtrip_tool --time IN.eml OUT.msg N -> repeats N times and prints µs per message
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "mailstore/MailStoreError.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/Rfc822Import.h"
#include "mailstore/msg/MsgWriter.h"

int main(int argc, char** argv) {
    using namespace bv;
    bool timing = argc == 5 && std::strcmp(argv[1], "--time") == 0;
    if (argc != 3 && !timing) {
        std::fprintf(stderr, "usage: %s IN.eml OUT.msg | --time IN.eml OUT.msg N\n", argv[0]);
        return 2;
    }
    const char* in = timing ? argv[2] : argv[1];
    const char* out = timing ? argv[3] : argv[2];
    try {
        if (timing) {
            std::ifstream f(in, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
            int n = std::atoi(argv[4]);
            auto t0 = std::chrono::steady_clock::now();
            for (int i = 0; i < n; ++i) {
                mapi::Message m;
                mailstore::mime::ImportRfc822(bytes, m);
                mapi::CompleteMessage(m);
                mailstore::msg::WriteMsgFile(m, out);
            }
            auto t1 = std::chrono::steady_clock::now();
            double us = std::chrono::duration<double, std::micro>(t1 - t0).count() / n;
            std::printf("%zu bytes: %.1f us per import+write\n", bytes.size(), us);
            return 0;
        }
        mapi::Message m;
        mailstore::mime::ImportRfc822File(in, m);
        for (const auto& w : m.warnings) std::fprintf(stderr, "warning: %s\n", w.c_str());
        mapi::CompleteMessage(m);
        mailstore::msg::WriteMsgFile(m, out);
    } catch (const mailstore::MailStoreError& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}

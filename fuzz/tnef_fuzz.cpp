// winmail.dat (TNEF) decoding: any bytes are decoded or refused without a crash,
// a leak or a hang, nothing is written to standard output (the decoder library
// prints there on input it rejects), and every string is valid UTF-8.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "FuzzCommon.h"
#include "mailstore/mime/TnefImport.h"

namespace {
FILE* g_stdout = nullptr;  // what fd 1 points to while inputs run
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_stdout = std::tmpfile();
    std::fflush(stdout);
    dup2(fileno(g_stdout), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bv::mailstore::mapi::Message m;
    const bool decoded =
        bv::mailstore::mime::ImportTnef(std::string_view(reinterpret_cast<const char*>(data), size), m);
    bv::fuzz::CheckMessageStrings(m);
    BV_FUZZ_CHECK(decoded || (m.attachments.empty() && m.props.Size() == 0));
    std::fflush(stdout);
    struct stat st {};
    BV_FUZZ_CHECK(fstat(1, &st) == 0 && st.st_size == 0, "something was written to standard output");
    return 0;
}

// The mailbox probe and the streamed extraction against the whole-file rules.
//
// Input: byte 0 chooses how read(2) hands out the data (whole blocks, or short
// reads of 1..64 bytes with EINTR now and then), byte 1 a read error position
// (0 = none), byte 2 after how many messages the sink asks to stop (0 = never);
// the rest is the mailbox. Every run must end, hand over exactly the messages of
// the rules (a prefix of them after a read error or a stop) and say why it ended.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzCommon.h"
#include "ReferenceSplit.h"
#include "conversion/InputFile.h"
#include "conversion/MailboxProbe.h"
#include "conversion/MessageExtraction.h"

using namespace bv::conversion;

namespace {

struct Feed {
    const char* data = nullptr;
    size_t size = 0, pos = 0;
    uint8_t chunking = 0;   // 0: as much as asked for
    size_t failAt = SIZE_MAX;
    unsigned calls = 0;
} g_feed;

long FeedRead(int, void* buffer, size_t want) {
    Feed& f = g_feed;
    ++f.calls;
    if (f.chunking && f.calls % 7 == 3) {
        errno = EINTR;
        return -1;
    }
    if (f.pos >= f.failAt) {
        errno = EIO;
        return -1;
    }
    size_t n = f.size - f.pos;
    if (n > want) n = want;
    if (f.chunking) {
        size_t cap = 1 + (f.calls * 31 + f.chunking) % (f.chunking % 64 + 1);
        if (n > cap) n = cap;
    }
    if (f.failAt != SIZE_MAX && f.pos + n > f.failAt) n = f.failAt - f.pos;
    std::memcpy(buffer, f.data + f.pos, n);
    f.pos += n;
    return long(n);
}

struct Got {
    int32_t n;
    std::string text;
};

class Sink : public MessageSink {
public:
    std::vector<Got> got;
    size_t stopAfter = SIZE_MAX;
    void OutputMessage(int32_t n, AppendStrings& text) override {
        got.push_back({n, n % 2 ? text.Take() : std::string(text.View())});
    }
    bool ShouldStop() override { return got.size() >= stopAfter; }
};

// Any file that can be opened: the read seam serves the bytes.
// (an empty regular file; pipes and devices are refused).
std::string AnyFile() {
    static const std::string path = [] {
        auto p = bv::fuzz::ScratchDir() / "any.mbox";
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (f) std::fclose(f);
        return p.string();
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetReadFunctionForTesting(FeedRead);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t chunking = data[0], failByte = data[1], stopByte = data[2];
    const std::string box(reinterpret_cast<const char*>(data) + 3, size - 3);

    // The probe through the reader equals the rules: a mailbox when the first line
    // after a byte-order mark and blank lines is a "From " line, its line ends told by
    // the first 512 bytes from there.
    g_feed = Feed{box.data(), box.size(), 0, chunking, SIZE_MAX, 0};
    const Probed probe = ProbeMailboxFile(AnyFile());
    const MboxLineEnds probed = probe.lineEnds;
    const std::string error = probe.failure ? probe.failure->reason : std::string();
    const std::string mailbox = box.substr(bv::testing::MailboxStart(box));
    const MboxLineEnds rule = mailbox.rfind("From ", 0) != 0
                              ? MboxLineEnds::None
                              : bv::mailstore::mime::LineEndsOf(std::string_view(mailbox).substr(0, kProbeBytes));
    BV_FUZZ_CHECK(probed == rule, error);
    BV_FUZZ_CHECK((probed == MboxLineEnds::None) == (error.rfind("not a mailbox: ", 0) == 0), error);

    for (MboxLineEnds mode : {MboxLineEnds::CrOrCrLf, MboxLineEnds::Lf}) {
        std::vector<std::string> want = bv::testing::ReferenceSplit(box, mode);
        // A file without any separator is not a mailbox: no message, and said so.
        const bool noSeparator = mode == MboxLineEnds::CrOrCrLf ? want.empty()
                                                          : mailbox.rfind("From ", 0) != 0 && want.size() <= 1;
        if (noSeparator) want.clear();
        Sink sink;
        sink.stopAfter = stopByte ? 1 + stopByte % 8 : SIZE_MAX;
        const size_t failAt = failByte ? (failByte * 131u) % (box.size() + 1) : SIZE_MAX;
        g_feed = Feed{box.data(), box.size(), 0, chunking, failAt, 0};
        AppendStrings acc;
        ExtractionResult r = ExtractMailbox(AnyFile(), mode, sink, acc);

        BV_FUZZ_CHECK(size_t(r.messages) == sink.got.size());
        BV_FUZZ_CHECK(sink.got.size() <= want.size());
        for (size_t i = 0; i < sink.got.size(); ++i) {
            BV_FUZZ_CHECK(sink.got[i].n == int32_t(i + 1));
            BV_FUZZ_CHECK(sink.got[i].text == want[i], "message " + std::to_string(i + 1));
        }
        const bool readFailed = failAt != SIZE_MAX && g_feed.pos >= failAt && !r.stopped;
        if (readFailed) {
            // The message in hand at the error is not handed over.
            BV_FUZZ_CHECK(!r.error.empty());
        } else if (r.stopped) {
            BV_FUZZ_CHECK(sink.got.size() == sink.stopAfter);
        } else if (noSeparator && !mailbox.empty()) {
            BV_FUZZ_CHECK(r.error == "not a mailbox: no \"From \" separator line found", r.error);
            BV_FUZZ_CHECK(sink.got.empty());
        } else {
            BV_FUZZ_CHECK(r.error.empty(), r.error);
            BV_FUZZ_CHECK(sink.got.size() == want.size());
        }
        if (failAt == SIZE_MAX && sink.stopAfter == SIZE_MAX) BV_FUZZ_CHECK(!r.stopped);
    }
    return 0;
}

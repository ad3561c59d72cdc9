#include "conversion/MailboxProbe.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "conversion/InputFile.h"

namespace bv::conversion {

MboxMode ProbeLineEnds(const char* data, size_t size) {
    std::string_view block(data, size);
    if (block.find("\r\n") != std::string_view::npos) return MboxMode::Normal;
    if (block.find('\n') != std::string_view::npos) return MboxMode::NotNormal;
    return MboxMode::Normal;
}

void SkipToMailboxStart(InputFile& in) {
    if (in.Ensure(3) >= 3 && std::memcmp(in.data(), "\xEF\xBB\xBF", 3) == 0) in.Consume(3);
    for (;;) {
        size_t i = 0;
        while (in.Ensure(i + 1) > i && (in.data()[i] == ' ' || in.data()[i] == '\t')) ++i;
        if (in.available() <= i) return;  // blanks up to the end: no line to skip to
        const char c = in.data()[i];
        if (c != '\r' && c != '\n') return;  // the first line with text
        in.Consume(i + 1);
        if (c == '\r' && in.Ensure(1) >= 1 && in.data()[0] == '\n') in.Consume(1);
    }
}

Probed ReadMBOXFile(const std::string& fileName) {
    InputFile in;
    if (std::optional<Failure> failure = in.Open(fileName)) return {MboxMode::None, std::move(failure)};
    return ProbeMailbox(in, fileName);
}

Probed ProbeMailbox(InputFile& in, const std::string& name) {
    auto fail = [&name](std::string why) {
        return Probed{MboxMode::None, Failure{name, std::move(why), FailureKind::NotAMailbox}};
    };
    SkipToMailboxStart(in);
    const size_t got = in.Ensure(kProbeBytes);
    if (in.failed()) return {MboxMode::None, Failure{name, in.error()}};
    constexpr std::string_view kFrom = "From ";
    if (got < kFrom.size() || std::memcmp(in.data(), kFrom.data(), kFrom.size()) != 0) {
        if (got == 0 && in.offset() == 0) return fail("not a mailbox: the file is empty");
        const bool blanksToTheEnd =
            got < kProbeBytes && std::all_of(in.data(), in.data() + got, [](char c) { return c == ' ' || c == '\t'; });
        if (blanksToTheEnd) return fail("not a mailbox: the file holds only blank lines");
        return fail("not a mailbox: its first line is not a \"From \" separator line");
    }
    return {ProbeLineEnds(in.data(), std::min(got, kProbeBytes)), std::nullopt};
}

}  // namespace bv::conversion

#include "conversion/MailboxProbe.h"

#include <algorithm>
#include <string_view>

#include "conversion/InputFile.h"

namespace bv::conversion {

void SkipToMailboxStart(InputFile& in) {
    size_t want = kProbeBytes;
    for (;;) {
        const size_t got = in.Ensure(want);
        const mailstore::mime::MailboxLead lead = mailstore::mime::MailboxLeadOf({in.data(), got}, got >= want);
        if (lead.decided) {
            in.Consume(lead.length);
            return;
        }
        want = got * 2;  // blank lines up to the end of what is at hand: look further
    }
}

Probed ProbeMailboxFile(const std::string& fileName) {
    InputFile in;
    if (std::optional<Failure> failure = in.Open(fileName)) return {MboxLineEnds::None, std::move(failure)};
    return ProbeMailbox(in, fileName);
}

Probed ProbeMailbox(InputFile& in, const std::string& name) {
    auto fail = [&name](std::string why) {
        return Probed{MboxLineEnds::None, Failure{name, std::move(why), FailureKind::NotAMailbox}};
    };
    SkipToMailboxStart(in);
    const size_t got = in.Ensure(kProbeBytes);
    if (in.failed()) return {MboxLineEnds::None, Failure{name, in.error()}};
    const std::string_view first(in.data(), std::min(got, kProbeBytes));
    if (!mailstore::mime::IsSeparatorLine(first)) {
        if (got == 0 && in.offset() == 0) return fail("not a mailbox: the file is empty");
        const bool blanksToTheEnd =
            got < kProbeBytes && std::all_of(in.data(), in.data() + got, [](char c) { return c == ' ' || c == '\t'; });
        if (blanksToTheEnd) return fail("not a mailbox: the file holds only blank lines");
        return fail("not a mailbox: its first line is not a \"From \" separator line");
    }
    return {mailstore::mime::LineEndsOf(first), std::nullopt};
}

}  // namespace bv::conversion

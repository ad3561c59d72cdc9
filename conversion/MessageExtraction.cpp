#include "conversion/MessageExtraction.h"

#include <cstring>
#include <limits>
#include <optional>

#include "conversion/InputFile.h"

namespace bv::conversion {

namespace {

using mailstore::mime::IsSeparatorLine;
using mailstore::mime::kMessageLineEnd;
constexpr const char* kNotAMailbox = "not a mailbox: no \"From \" separator line found";

// Message numbers are 32-bit in the file names; a mailbox of more messages than
// that ends with an error instead of wrapping around.
bool NextNumber(int64_t& n) {
    if (n >= std::numeric_limits<int32_t>::max()) return false;
    ++n;
    return true;
}

class Extractor {
public:
    Extractor(InputFile& in, MessageSink& sink, AppendStrings& msg, ExtractionResult& result,
              const ReadProgress& progress)
        : in_(in), sink_(sink), msg_(msg), result_(result), progress_(progress) {}

    // Refills the buffer; asks the sink whether to stop between blocks.
    size_t Refill(size_t n) {
        size_t a = in_.Ensure(n);
        if (progress_) progress_(in_.offset());
        if (++reads_ % 4 == 0 && sink_.ShouldStop()) stop_ = true;
        return a;
    }

    void Emit(int64_t n) {
        sink_.MessageAt(start_);
        sink_.OutputMessage(int32_t(n), msg_);
        ++result_.messages;
        msg_.Clear();
        start_ = in_.offset();  // the next message's, unless its separator says otherwise
        if (progress_) progress_(in_.offset());
        if (sink_.ShouldStop()) stop_ = true;
    }

    void LineProcedure() {
        const unsigned long long start = in_.offset();  // where the mailbox starts
        int64_t messageCount = 0;
        bool atLineStart = true;
        bool lineOpen = false;
        while (!stop_) {
            if (atLineStart) {
                size_t a = in_.Ensure(mailstore::mime::kSeparatorLookahead);
                if (a == 0) break;
                const size_t separator = mailstore::mime::SeparatorOffset({in_.data(), a});
                if (separator != std::string_view::npos) {
                    if (messageCount > 0) {
                        Emit(messageCount);
                        if (stop_) break;
                    }
                    if (!NextNumber(messageCount)) {
                        result_.error = "too many messages in one mailbox";
                        return;
                    }
                    msg_.Clear();
                    in_.Consume(separator);
                    start_ = in_.offset();
                }
                atLineStart = false;
            }
            size_t a = in_.available();
            if (a == 0) {
                a = Refill(1);
                if (a == 0) break;
            }
            const char* p = in_.data();
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', a));
            if (!cr) {
                if (messageCount > 0) msg_.AddToString(p, a);
                in_.Consume(a);
                lineOpen = true;
                continue;
            }
            size_t len = size_t(cr - p);
            if (messageCount > 0) {
                msg_.AddToString(p, len);
                msg_.AddToString(kMessageLineEnd);
            }
            in_.Consume(len + 1);
            if (in_.Ensure(1) >= 1 && in_.data()[0] == '\n') in_.Consume(1);
            atLineStart = true;
            lineOpen = false;
        }
        if (in_.failed()) {
            result_.error = in_.error();
            return;  // the message in progress is incomplete: it is not written
        }
        if (stop_) return;
        if (messageCount > 0) {
            if (lineOpen) msg_.AddToString(kMessageLineEnd);
            Emit(messageCount);
        } else if (in_.offset() > start) {
            result_.error = kNotAMailbox;  // text, but not one message in it
        }
    }

    void LfProcedure() {
        int64_t msgNumber = 1;
        start_ = in_.offset();
        // A file that neither starts with a separator nor holds one is not a mailbox:
        // it is reported rather than written out as one "message".
        bool sawSeparator = IsSeparatorLine(PeekLineStart());
        while (!stop_) {
            size_t a = in_.available();
            if (a == 0) {
                a = Refill(1);
                if (a == 0) break;
            }
            const char* p = in_.data();
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', a));
            size_t scan = lf ? size_t(lf - p) : a;
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', scan));
            bool lineEndsWithLf;
            if (cr) {
                size_t len = size_t(cr - p);
                msg_.AddToString(p, len);
                msg_.AddToString(kMessageLineEnd);
                in_.Consume(len + 1);
                lineEndsWithLf = in_.Ensure(1) >= 1 && in_.data()[0] == '\n';
                if (lineEndsWithLf) in_.Consume(1);
            } else if (lf) {
                size_t len = size_t(lf - p);
                msg_.AddToString(p, len);
                msg_.AddToString(kMessageLineEnd);
                in_.Consume(len + 1);
                lineEndsWithLf = true;
            } else {
                msg_.AddToString(p, a);
                in_.Consume(a);
                continue;
            }
            if (lineEndsWithLf) {
                if (IsSeparatorLine(PeekLineStart())) {
                    sawSeparator = true;
                    Emit(msgNumber);
                    if (!NextNumber(msgNumber)) {
                        result_.error = "too many messages in one mailbox";
                        return;
                    }
                }
            }
        }
        if (in_.failed()) {
            result_.error = in_.error();
            return;
        }
        if (stop_) return;
        if (!sawSeparator) {
            if (msg_.size() > 0) result_.error = kNotAMailbox;
            return;
        }
        if (msg_.size() > 0) Emit(msgNumber);
    }

    bool stopped() const { return stop_; }

private:
    // The start of the line at hand, as much as tells a separator line.
    std::string_view PeekLineStart() {
        const size_t available = in_.Ensure(mailstore::mime::kSeparatorStart.size());  // may move the data
        return {in_.data(), available};
    }

    InputFile& in_;
    MessageSink& sink_;
    AppendStrings& msg_;
    ExtractionResult& result_;
    const ReadProgress& progress_;
    bool stop_ = false;
    unsigned reads_ = 0;
    uint64_t start_ = 0;  // where the message being gathered begins in the input
};

}  // namespace

ExtractionResult ExtractMailbox(const std::string& path, MboxLineEnds lineEnds, MessageSink& sink,
                                AppendStrings& msgText, const ReadProgress& progress) {
    ExtractionResult result;
    if (lineEnds == MboxLineEnds::None) return result;
    InputFile in;
    if (std::optional<Failure> failure = in.Open(path)) {
        result.error = std::move(failure->reason);
        return result;
    }
    return ExtractMailbox(in, lineEnds, sink, msgText, progress);
}

ExtractionResult ExtractMailbox(InputFile& in, MboxLineEnds lineEnds, MessageSink& sink, AppendStrings& msgText,
                                const ReadProgress& progress) {
    ExtractionResult result;
    if (lineEnds == MboxLineEnds::None) return result;
    // A byte-order mark and blank lines before the first separator belong to no message.
    SkipToMailboxStart(in);
    msgText.Clear();
    Extractor x(in, sink, msgText, result, progress);
    if (lineEnds == MboxLineEnds::CrOrCrLf)
        x.LineProcedure();
    else
        x.LfProcedure();
    result.stopped = x.stopped();
    msgText.Clear();
    return result;
}

}  // namespace bv::conversion

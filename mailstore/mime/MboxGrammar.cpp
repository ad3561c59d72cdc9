#include "mailstore/mime/MboxGrammar.h"

namespace bv::mailstore::mime {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool SkipByteOrderMark(std::string_view& data) {
    if (!data.starts_with(kByteOrderMark)) return false;
    data.remove_prefix(kByteOrderMark.size());
    return true;
}

bool IsQuotedSeparatorLine(std::string_view line) {
    const size_t quotes = line.find_first_not_of('>');
    return quotes != 0 && quotes != std::string_view::npos && IsSeparatorLine(line.substr(quotes));
}

MailboxLead MailboxLeadOf(std::string_view data, bool more) {
    size_t i = 0;
    if (data.starts_with(kByteOrderMark)) {
        i = kByteOrderMark.size();
    } else if (more && data.size() < kByteOrderMark.size() && kByteOrderMark.starts_with(data)) {
        return {0, false};  // a mark, maybe, cut short
    }
    for (;;) {
        size_t j = i;
        while (j < data.size() && IsBlank(data[j])) ++j;
        if (j == data.size()) return {i, !more};  // blanks up to the end: no line to skip to yet
        if (data[j] != '\r' && data[j] != '\n') return {i, true};  // the first line with text
        if (data[j] == '\r') {
            if (j + 1 == data.size() && more) return {i, false};  // its LF may follow
            if (j + 1 < data.size() && data[j + 1] == '\n') ++j;
        }
        i = j + 1;
    }
}

MboxLineEnds LineEndsOf(std::string_view firstBytes) {
    if (firstBytes.find("\r\n") != std::string_view::npos) return MboxLineEnds::CrOrCrLf;
    if (firstBytes.find('\n') != std::string_view::npos) return MboxLineEnds::Lf;
    return MboxLineEnds::CrOrCrLf;
}

void MessageToLf(std::string_view message, std::string& out) {
    size_t pos = 0;
    while (pos < message.size()) {
        const size_t crlf = message.find(kMessageLineEnd, pos);
        if (crlf == std::string_view::npos) {
            out.append(message.substr(pos));
            return;
        }
        out.append(message.substr(pos, crlf - pos));
        out.push_back('\n');
        pos = crlf + kMessageLineEnd.size();
    }
}

}  // namespace bv::mailstore::mime

#include "conversion/ItemReport.h"

#include <cstring>
#include <filesystem>

#include "mailstore/MailStoreError.h"

namespace bv::conversion {

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[s.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// A JSON string: quotes, backslashes and control characters escaped; bytes that are
// not UTF-8 never reach here (the run's texts are UTF-8).
std::string JsonString(const std::string& value) {
    std::string out = "\"";
    for (unsigned char c : value) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

std::string Number(int64_t n, bool known) { return known ? std::to_string(n) : std::string(); }

}  // namespace

const char* ResultWord(ItemOutcome::Result result) {
    switch (result) {
        case ItemOutcome::Result::Converted: return "converted";
        case ItemOutcome::Result::AlreadyThere: return "already there";
        case ItemOutcome::Result::ConvertedWithWarning: return "converted with a warning";
        case ItemOutcome::Result::Failed: return "failed";
        case ItemOutcome::Result::FileNotConverted: return "not converted";
    }
    return "";
}

std::string CsvCell(const std::string& value) {
    std::string out = "\"";
    if (!value.empty() && std::strchr("=+-@\t\r", value[0])) out += '\'';
    for (char c : value) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

ItemReportFile::ItemReportFile(const std::string& path) : json_(EndsWith(path, ".jsonl") || EndsWith(path, ".json")) {
    file_.Open(std::filesystem::u8path(path), mailstore::base::PlatformFile::Mode::CreateReadWrite);
    if (json_) return;
    // The byte-order mark tells a spreadsheet the file is UTF-8.
    std::string header = "\xEF\xBB\xBF";
    for (const char* column : kItemReportColumns) header += std::string(header.size() > 3 ? "," : "") + column;
    Put(header + "\r\n");
}

void ItemReportFile::Write(const ItemOutcome& o) {
    const std::string values[] = {o.input,
                                  Number(o.number, o.number > 0),
                                  Number(o.offset, o.offset >= 0),
                                  Number(o.line, o.line > 0),
                                  o.messageId,
                                  o.date,
                                  o.sender,
                                  o.subject,
                                  ResultWord(o.result),
                                  o.reason,
                                  o.destination,
                                  o.folder};
    std::string row;
    for (size_t i = 0; i < std::size(values); ++i) {
        if (json_) {
            row += (i ? ",\"" : "{\"") + std::string(kItemReportColumns[i]) + "\":";
            const bool number = i >= 1 && i <= 3;
            row += number ? (values[i].empty() ? "null" : values[i]) : JsonString(values[i]);
        } else {
            row += (i ? "," : "") + CsvCell(values[i]);
        }
    }
    Put(row + (json_ ? "}\n" : "\r\n"));
}

void ItemReportFile::Put(const std::string& row) {
    if (!error_.empty()) return;
    // The row goes to the file in one write, whole, after the rows before it.
    try {
        file_.WriteAt(end_, row.data(), row.size());
        end_ += row.size();
    } catch (const mailstore::MailStoreError& e) {
        error_ = e.what();
    }
}

}  // namespace bv::conversion

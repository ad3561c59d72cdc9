// The report file: cells a spreadsheet reads as text, rows as they come.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "conversion/ItemReport.h"
#include "tests/TempFolder.h"

namespace bv::conversion {
namespace {

TEST(ItemReport, CsvCellsAreQuotedAndNeverFormulas) {
    const struct {
        const char* value;
        const char* cell;
    } cases[] = {
        {"plain", "\"plain\""},
        {"say \"hi\", then go", "\"say \"\"hi\"\", then go\""},
        {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""},
        {"+1", "\"'+1\""},
        {"-2", "\"'-2\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tcmd", "\"'\tcmd\""},
        {"a=b", "\"a=b\""},
        {"", "\"\""},
        {"line\r\nnext", "\"line\r\nnext\""},
    };
    for (const auto& c : cases) EXPECT_EQ(CsvCell(c.value), c.cell) << c.value;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(ItemReport, RowsReachTheFileAsTheyCome) {
    testing::TempDir dir;
    ItemOutcome o;
    o.input = "/in/a.mbox";
    o.number = 3;
    o.offset = 120;
    o.subject = "caf\xC3\xA9 \"menu\"";
    o.result = ItemOutcome::Result::ConvertedWithWarning;
    o.reason = "truncated";
    o.destination = "/out/a.pst";
    o.folder = "a/Work";
    {
        ItemReportFile csv((dir.path() / "r.csv").string());
        csv.Write(o);
        // Read while the file is still open: nothing waits in a buffer.
        EXPECT_EQ(ReadAll(dir.path() / "r.csv"),
                  "\xEF\xBB\xBFinput,number,offset,line,message_id,date,sender,subject,result,reason,destination,folder\r\n"
                  "\"/in/a.mbox\",\"3\",\"120\",\"\",\"\",\"\",\"\",\"caf\xC3\xA9 \"\"menu\"\"\",\"converted with a warning\","
                  "\"truncated\",\"/out/a.pst\",\"a/Work\"\r\n");
        ItemReportFile json((dir.path() / "r.jsonl").string());
        o.result = ItemOutcome::Result::FileNotConverted;
        o.number = 0;
        o.offset = -1;
        json.Write(o);
        EXPECT_EQ(ReadAll(dir.path() / "r.jsonl"),
                  "{\"input\":\"/in/a.mbox\",\"number\":null,\"offset\":null,\"line\":null,\"message_id\":\"\",\"date\":\"\","
                  "\"sender\":\"\",\"subject\":\"caf\xC3\xA9 \\\"menu\\\"\",\"result\":\"not converted\",\"reason\":\"truncated\","
                  "\"destination\":\"/out/a.pst\",\"folder\":\"a/Work\"}\n");
    }
    EXPECT_THROW(ItemReportFile((dir.path() / "missing" / "r.csv").string()), std::exception);
}

}  // namespace
}  // namespace bv::conversion

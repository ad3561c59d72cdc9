// A part's content decoded from a stream in pieces reads as the same content decoded
// whole; a message whose body the parser reads in place keeps its parts and its
// attached messages.
#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "mailstore/mapi/Message.h"
#include "mailstore/mime/GMimeSupport.h"
#include "mailstore/mime/PartContent.h"
#include "mailstore/mime/Rfc822Import.h"

using namespace bv::mailstore::mime;
using namespace bv::mailstore::mapi;

namespace {

std::string RandomBytes(size_t n) {
    std::mt19937 rng(7);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng() & 0xFF);
    return s;
}

std::string Base64Lines(const std::string& bytes) {
    GFree encoded(g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size()));
    std::string all = encoded.str(), out;
    for (size_t i = 0; i < all.size(); i += 76) out += all.substr(i, 76) + "\r\n";
    return out;
}

}  // namespace

TEST(PartContent, DecodedInPiecesAsWhole) {
    ParserOptions();  // GMime set up
    const std::string data = RandomBytes(1000);
    struct Case {
        const char* what;
        GMimeContentEncoding enc;
        std::string raw;
    } cases[] = {
        {"base64", GMIME_CONTENT_ENCODING_BASE64, Base64Lines(data)},
        {"base64, a stray byte", GMIME_CONTENT_ENCODING_BASE64, Base64Lines(data).insert(300, "\x01")},
        {"base64, cut short", GMIME_CONTENT_ENCODING_BASE64, Base64Lines(data).substr(0, 301)},
        {"base64, two blocks", GMIME_CONTENT_ENCODING_BASE64, "YQ==\r\nYg==\r\n"},
        {"quoted-printable", GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE, "caf=C3=A9 =\r\nsoft=\r\n break =3D end\r\n"},
        {"8bit", GMIME_CONTENT_ENCODING_8BIT, "caf\xC3\xA9\r\nline two\r\n"},
        {"uuencode", GMIME_CONTENT_ENCODING_UUENCODE, "begin 644 a.txt\n#86)C\n`\nend\n"},
    };
    for (const Case& c : cases) {
        Binary whole;
        std::string wholeProblem;
        const bool wholeClean = DecodeContent(c.raw, c.enc, whole, wholeProblem);
        for (size_t chunk : {size_t(1), size_t(3), size_t(5), size_t(77), size_t(1) << 16}) {
            SCOPED_TRACE(std::string(c.what) + ", pieces of " + std::to_string(chunk));
            GObjectRef<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(c.raw.data(), c.raw.size()));
            Binary pieces;
            std::string problem;
            EXPECT_EQ(DecodeStream(stream.p, c.enc, pieces, problem, chunk), wholeClean);
            EXPECT_EQ(pieces, whole);
            EXPECT_EQ(problem, wholeProblem);
        }
    }
    Binary decoded;
    std::string problem;
    ASSERT_TRUE(DecodeContent(Base64Lines(data), GMIME_CONTENT_ENCODING_BASE64, decoded, problem));
    EXPECT_EQ(std::string(decoded.begin(), decoded.end()), data);
}

TEST(PartContent, ABodyReadInPlaceKeepsItsPartsAndAttachedMessages) {
    const std::string data = RandomBytes(5000);
    const std::string mail =
        "From: a@example.org\r\nSubject: parts\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/plain\r\n\r\nThe text.\r\n"
        "--b1\r\nContent-Type: application/octet-stream; name=\"d.bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        Base64Lines(data) +
        "--b1\r\nContent-Type: message/rfc822\r\n\r\nFrom: b@example.org\r\nSubject: inner\r\n\r\nInner text.\r\n"
        "--b1--\r\n";
    Message m;
    ImportRfc822(mail, m);
    EXPECT_TRUE(m.warnings.empty());
    EXPECT_EQ(m.props.GetString(PR_BODY), "The text.");  // (the line end before a boundary is the boundary's)
    ASSERT_EQ(m.attachments.size(), 2u);
    const Binary* bin = m.attachments[0].props.GetBinary(PR_ATTACH_DATA_BIN);
    ASSERT_TRUE(bin);
    EXPECT_EQ(std::string(bin->begin(), bin->end()), data);
    ASSERT_TRUE(m.attachments[1].embedded);
    EXPECT_EQ(m.attachments[1].embedded->props.GetString(PR_SUBJECT), "inner");
    EXPECT_EQ(m.attachments[1].embedded->props.GetString(PR_BODY), "Inner text.\r\n");

    // A message that is itself an attached message: its part's header is the top's.
    Message whole;
    ImportRfc822("From: a@example.org\r\nSubject: outer\r\nContent-Type: message/rfc822\r\n\r\n"
                 "From: c@example.org\r\nSubject: carried\r\n\r\nCarried text.\r\n",
                 whole);
    ASSERT_EQ(whole.attachments.size(), 1u);
    ASSERT_TRUE(whole.attachments[0].embedded);
    EXPECT_EQ(whole.attachments[0].embedded->props.GetString(PR_SUBJECT), "carried");
    EXPECT_EQ(whole.attachments[0].embedded->props.GetString(PR_BODY), "Carried text.\r\n");
}

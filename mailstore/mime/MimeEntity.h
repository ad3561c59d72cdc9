// The MIME entity of a message for GMime: the top header's Content-* fields, the
// line that ends the header, and the body. The body is read where it lies (a stream
// over the fields joined to one over the body's bytes), never copied, unless part
// headers that lost a blank line must be repaired first.
#pragma once
#include <gmime/gmime.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mailstore/mime/GMimeSupport.h"

namespace bv::mailstore::mime {

class MimeEntity {
public:
    // fields: the Content-* fields; separator: the line that ended the header; body:
    // the body's bytes, which must outlive this. Parses at once, with the parser
    // reports going to the calling thread's ParseIssues (`issues`); part headers the
    // parser lost its way in are read again the way mail readers read them.
    MimeEntity(std::string_view fields, std::string_view separator, std::string_view body, ParseIssues& issues);
    // The same, with `tail` read after the body (not part of source()) and nothing
    // repaired: a window of a multipart's parts (PartWindows).
    MimeEntity(std::string_view fields, std::string_view separator, std::string_view body, std::string_view tail);
    ~MimeEntity();
    MimeEntity(const MimeEntity&) = delete;
    MimeEntity& operator=(const MimeEntity&) = delete;

    GMimeObject* object() const { return object_; }
    // The bytes parsed from sourceAt() on (the body, or all of them once repaired).
    std::string_view source() const { return whole_.empty() ? body_ : std::string_view(whole_); }
    size_t sourceAt() const { return whole_.empty() ? head_.size() : 0; }

private:
    struct ArrayShell {
        void operator()(GByteArray* a) const;
    };
    void Parse();
    void Release();
    bool Repair(const ParseIssues& issues);
    GMimeStream* Borrowed(std::string_view bytes);

    std::string head_;       // the fields and the separator
    std::string_view body_;
    std::string_view tail_;
    std::string whole_;      // the head and the body as one, once repaired
    std::vector<std::unique_ptr<GByteArray, ArrayShell>> arrays_;  // what the streams read, not owned
    GMimeStream* stream_ = nullptr;
    GMimeParser* parser_ = nullptr;
    GMimeObject* object_ = nullptr;
};

// A multipart entity of very many parts, parsed a window of its parts at a time: a
// tree of GMime objects costs a few KB a part, many times what the part's bytes do.
// Each window is the entity's own fields over a run of its parts, closed with its
// boundary, so that GMime reads each part as it reads it in the whole entity, at
// the same place in the window's source() as in the whole body (a window starts at
// a boundary line and ends before the line end of the next window's, the line end
// that belongs to the boundary).
class PartWindows {
public:
    // The windows of an entity (its Content-* fields, separator and body), or null
    // when it is no multipart of more than kParts parts; each window holds kWindowParts
    // of them (the last, the rest).
    static constexpr size_t kParts = 256;
    static constexpr size_t kWindowParts = 64;
    static std::unique_ptr<PartWindows> Of(std::string_view fields, std::string_view separator, std::string_view body);

    size_t size() const { return starts_.size(); }
    // Window i parsed; its object() is the multipart of its parts. `alike`: whether it
    // reads as its part of the whole (the parser reports nothing, and its parts are
    // those between its boundary lines); when a window does not, the entity is to be
    // read whole. What the parser reports of a window goes nowhere.
    std::unique_ptr<MimeEntity> Parse(size_t i, bool* alike = nullptr) const;
    // The entity parsed whole, as MimeEntity reads it.
    std::unique_ptr<MimeEntity> Whole(ParseIssues& issues) const;
    // (A copy reads the same body, which must outlive it; the fields are its own.)

private:
    PartWindows(std::string_view fields, std::string_view separator, std::string_view body)
        : fields_(fields), separator_(separator), body_(body) {}
    std::string_view Bytes(size_t i) const;

    std::string fields_;
    std::string_view separator_, body_;
    std::vector<size_t> starts_;  // where each window starts in the body
    std::vector<size_t> parts_;   // how many parts it holds
    std::vector<size_t> ends_;    // and ends: before the line end of the next one's (the last: the body's end)
    std::vector<std::string> tails_;  // what closes each: that line end, "--BOUNDARY--" (the last: nothing)
};

}  // namespace bv::mailstore::mime

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
    std::string whole_;      // the head and the body as one, once repaired
    std::vector<std::unique_ptr<GByteArray, ArrayShell>> arrays_;  // what the streams read, not owned
    GMimeStream* stream_ = nullptr;
    GMimeParser* parser_ = nullptr;
    GMimeObject* object_ = nullptr;
};

}  // namespace bv::mailstore::mime

#include "mailstore/mime/Tnef.h"

#include "mailstore/base/Utf8.h"
#include "mailstore/mime/Charsets.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <ytnef.h>
}

namespace bv::mailstore::mime {

namespace {

// Property tags read from the stream ([MS-OXPROPS]); ids without types, the type
// decides how a string is stored.
constexpr unsigned kBody = 0x1000;
constexpr unsigned kRtfCompressed = 0x1009;
constexpr unsigned kHtml = 0x1013;
constexpr unsigned kDisplayName = 0x3001;
constexpr unsigned kAttachDataBin = 0x3701;
constexpr unsigned kAttachFilename = 0x3704;
constexpr unsigned kAttachLongFilename = 0x3707;
constexpr unsigned kAttachMimeTag = 0x370E;
constexpr unsigned kAttachContentId = 0x3712;
constexpr unsigned kTypeString8 = 0x001E;
constexpr unsigned kTypeUnicode = 0x001F;
constexpr unsigned kTypeBinary = 0x0102;

constexpr int kTnefSignatureSize = 4;
constexpr unsigned kTnefSignature = 0x223E9F78;

// The property with this id (any type), or nullptr.
MAPIProperty* FindProperty(MAPIProps* props, unsigned id) {
    for (DWORD i = 0; i < props->count; ++i) {
        MAPIProperty* p = &props->properties[i];
        if ((p->id >> 16) == id && p->count > 0 && p->data && !p->namedproperty) return p;
    }
    return nullptr;
}

std::string BytesOf(const variableLength& v) {
    if (!v.data || v.size <= 0) return std::string();
    return std::string(reinterpret_cast<const char*>(v.data), size_t(v.size));
}

// A string property as UTF-8, without its terminating NUL.
std::string StringOf(MAPIProps* props, unsigned id) {
    MAPIProperty* p = FindProperty(props, id);
    if (!p) return std::string();
    const variableLength& v = p->data[0];
    if (!v.data || v.size <= 0) return std::string();
    std::string text;
    if ((p->id & 0xFFFF) == kTypeUnicode) text = base::Utf16LeToUtf8(v.data, size_t(v.size));
    else if ((p->id & 0xFFFF) == kTypeString8) text = BytesToUtf8(BytesOf(v));
    else return std::string();
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string BinaryOf(MAPIProps* props, unsigned id) {
    MAPIProperty* p = FindProperty(props, id);
    if (!p || (p->id & 0xFFFF) != kTypeBinary) return std::string();
    return BytesOf(p->data[0]);
}

struct TnefHolder {
    TNEFStruct tnef;
    TnefHolder() { TNEFInitialize(&tnef); }
    ~TnefHolder() { TNEFFree(&tnef); }
    TnefHolder(const TnefHolder&) = delete;
    TnefHolder& operator=(const TnefHolder&) = delete;
};

}  // namespace

std::optional<TnefContent> DecodeTnef(std::string_view bytes) {
    if (bytes.size() < size_t(kTnefSignatureSize)) return std::nullopt;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const unsigned signature = unsigned(b[0]) | unsigned(b[1]) << 8 | unsigned(b[2]) << 16 | unsigned(b[3]) << 24;
    if (signature != kTnefSignature) return std::nullopt;

    // The parser reads the buffer only; its interface is not const-correct.
    std::string copy(bytes);
    TnefHolder holder;
    TNEFStruct& t = holder.tnef;
    if (TNEFParseMemory(reinterpret_cast<BYTE*>(copy.data()), long(copy.size()), &t) != 0) return std::nullopt;

    TnefContent content;
    MAPIProps* props = &t.MapiProperties;
    content.body = StringOf(props, kBody);
    if (content.body.empty() && t.body.size > 0) content.body = BytesToUtf8(BytesOf(t.body));
    while (!content.body.empty() && content.body.back() == '\0') content.body.pop_back();
    content.html = BinaryOf(props, kHtml);
    if (content.html.empty()) content.html = StringOf(props, kHtml);
    if (MAPIProperty* rtf = FindProperty(props, kRtfCompressed); rtf && (rtf->id & 0xFFFF) == kTypeBinary) {
        content.rtfCompressed = BytesOf(rtf->data[0]);
        int size = 0;
        if (BYTE* raw = DecompressRTF(&rtf->data[0], &size)) {
            if (size > 0) content.rtf.assign(reinterpret_cast<const char*>(raw), size_t(size));
            std::free(raw);
        }
    }

    for (Attachment* a = t.starting_attach.next; a; a = a->next) {
        TnefAttachment out;
        out.data = BytesOf(a->FileData);
        if (out.data.empty()) out.data = BinaryOf(&a->MAPI, kAttachDataBin);
        out.longName = StringOf(&a->MAPI, kAttachLongFilename);
        if (out.longName.empty()) out.longName = StringOf(&a->MAPI, kDisplayName);
        if (out.longName.empty()) out.longName = BytesToUtf8(BytesOf(a->Title));
        if (out.longName.empty()) out.longName = StringOf(&a->MAPI, kAttachFilename);
        while (!out.longName.empty() && out.longName.back() == '\0') out.longName.pop_back();
        out.mimeType = StringOf(&a->MAPI, kAttachMimeTag);
        out.contentId = StringOf(&a->MAPI, kAttachContentId);
        if (out.data.empty() && out.longName.empty()) continue;
        content.attachments.push_back(std::move(out));
    }
    return content;
}

}  // namespace bv::mailstore::mime

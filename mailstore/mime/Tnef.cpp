#include "mailstore/mime/Tnef.h"

#include "mailstore/base/LittleEndian.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/mime/Charsets.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

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
constexpr uint32_t kTnefSignature = 0x223E9F78;

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
    if ((p->id & 0xFFFF) == kTypeUnicode) {
        // The library hands Unicode values over as NUL-terminated UTF-8 already (of up
        // to 3/2 the stored size); surrogate pairs it leaves unpaired become U+FFFD.
        const char* utf8 = reinterpret_cast<const char*>(v.data);
        text = ToUtf8(std::string_view(utf8, strnlen(utf8, size_t(v.size) * 3 / 2 + 1)), "utf-8");
    } else if ((p->id & 0xFFFF) == kTypeString8) {
        text = BytesToUtf8(BytesOf(v));
    } else {
        return std::string();
    }
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::string BinaryOf(MAPIProps* props, unsigned id) {
    MAPIProperty* p = FindProperty(props, id);
    if (!p || (p->id & 0xFFFF) != kTypeBinary) return std::string();
    return BytesOf(p->data[0]);
}

// The RTF of a PR_RTF_COMPRESSED value ([MS-OXRTFCP] 2.1.3.1: compressed size,
// raw size, "LZFu" or "MELA", CRC, data); empty when it is neither form. Only
// well-formed headers reach the library's decompressor, which reports problems
// on standard output.
std::string DecompressedRtf(variableLength& value) {
    constexpr size_t kHeaderSize = 16;
    constexpr uint32_t kCompressed = 0x75465A4C;    // "LZFu"
    constexpr uint32_t kUncompressed = 0x414C454D;  // "MELA"
    if (!value.data || value.size < int(kHeaderSize) + 4) return std::string();
    const uint32_t compressedSize = base::Get32(value.data);
    const uint32_t rawSize = base::Get32(value.data + 4);
    const uint32_t magic = base::Get32(value.data + 8);
    if (compressedSize != uint32_t(value.size) - 4) return std::string();
    if (magic == kUncompressed) {
        const size_t n = std::min<size_t>(rawSize, size_t(value.size) - kHeaderSize);
        return std::string(reinterpret_cast<const char*>(value.data) + kHeaderSize, n);
    }
    if (magic != kCompressed) return std::string();
    int size = 0;
    BYTE* raw = DecompressRTF(&value, &size);
    if (!raw) return std::string();
    std::string rtf(reinterpret_cast<const char*>(raw), size > 0 ? size_t(size) : 0);
    std::free(raw);
    return rtf;
}

// True when the stream's framing holds ([MS-OXTNEF] 2.1.3: after the signature and
// key, attributes of level, id, size, data and a checksum that sums the data bytes).
// Streams that fail here never reach the library, which reports on standard output.
bool FramingHolds(std::string_view bytes) {
    constexpr size_t kStreamHeader = 6, kAttributeHeader = 9, kChecksum = 2;
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t pos = kStreamHeader;
    while (pos + kAttributeHeader <= bytes.size()) {
        const uint32_t size = base::Get32(b + pos + 5);
        pos += kAttributeHeader;
        if (size == 0 || size > bytes.size() - pos || bytes.size() - pos - size < kChecksum) return false;
        uint16_t sum = 0;
        for (size_t i = 0; i < size; ++i) sum = uint16_t(sum + b[pos + i]);
        if (base::Get16(b + pos + size) != sum) return false;
        pos += size + kChecksum;
    }
    return true;
}

struct TnefHolder {
    TNEFStruct tnef{};
    TnefHolder() {
        TNEFInitialize(&tnef);
        tnef.Debug = 0;  // (left unset by the library; anything above 0 prints to stdout)
    }
    ~TnefHolder() { TNEFFree(&tnef); }
    TnefHolder(const TnefHolder&) = delete;
    TnefHolder& operator=(const TnefHolder&) = delete;
};

}  // namespace

std::optional<TnefContent> DecodeTnef(std::string_view bytes) {
    if (bytes.size() < size_t(kTnefSignatureSize)) return std::nullopt;
    if (base::Get32(reinterpret_cast<const uint8_t*>(bytes.data())) != kTnefSignature) return std::nullopt;

    if (!FramingHolds(bytes)) return std::nullopt;
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
        content.rtf = DecompressedRtf(rtf->data[0]);
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

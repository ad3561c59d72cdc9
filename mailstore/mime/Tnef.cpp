#include "mailstore/mime/Tnef.h"

#include "mailstore/base/LittleEndian.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/mime/Charsets.h"
#include "mailstore/mime/CompressedRtf.h"
#include "mailstore/mime/TnefStream.h"

#include <cstddef>
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
constexpr unsigned kTypeObject = 0x000D;

// An attached message is an object value: IID_IMessage, then a TNEF stream of its own.
constexpr std::string_view kIidMessage("\x07\x03\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
constexpr int kMaxMessageDepth = 8;

// The library's largest attribute is set to cover the whole stream, up to this.
constexpr size_t kMaxStreamMiB = 1024;

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

std::string WithoutTrailingNuls(std::string text) {
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// A string property as UTF-8, without its terminating NUL; from the library, else
// from the values too large for it.
std::string StringOf(MAPIProps* props, const TnefValues& large, unsigned id) {
    MAPIProperty* p = FindProperty(props, id);
    if (!p) {
        auto it = large.find(uint16_t(id));
        if (it == large.end()) return std::string();
        if (it->second.type == kTypeUnicode) return WithoutTrailingNuls(ToUtf8(it->second.bytes, "utf-16le"));
        if (it->second.type == kTypeString8) return WithoutTrailingNuls(BytesToUtf8(it->second.bytes));
        return std::string();
    }
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
    return WithoutTrailingNuls(std::move(text));
}

// A binary (or object) property's bytes.
std::string BinaryOf(MAPIProps* props, const TnefValues& large, unsigned id, unsigned type = kTypeBinary) {
    if (MAPIProperty* p = FindProperty(props, id)) return (p->id & 0xFFFF) == type ? BytesOf(p->data[0]) : std::string();
    auto it = large.find(uint16_t(id));
    return it != large.end() && it->second.type == type ? it->second.bytes : std::string();
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

std::optional<TnefContent> DecodeTnefAt(std::string_view bytes, int depth) {
    constexpr size_t kMiB = 1024 * 1024;
    if (bytes.size() / kMiB >= kMaxStreamMiB) return std::nullopt;
    // Only a stream we have read to its last length, rebuilt within the library's
    // limits, reaches the library: on anything else it prints to standard output.
    std::optional<TnefStreamParts> parts =
        RebuildTnef(bytes, {kBody, kRtfCompressed, kHtml},
                    {kDisplayName, kAttachDataBin, kAttachFilename, kAttachLongFilename, kAttachMimeTag, kAttachContentId});
    if (!parts) return std::nullopt;
    TnefHolder holder;
    TNEFStruct& t = holder.tnef;
    t.attachmentSize = std::max(t.attachmentSize, int(parts->stream.size() / kMiB) + 1);
    // The parser reads the buffer only; its interface is not const-correct.
    if (TNEFParseMemory(reinterpret_cast<BYTE*>(parts->stream.data()), long(parts->stream.size()), &t) != 0) return std::nullopt;

    TnefContent content;
    MAPIProps* props = &t.MapiProperties;
    const TnefValues& large = parts->message;
    content.body = StringOf(props, large, kBody);
    if (content.body.empty() && t.body.size > 0) content.body = BytesToUtf8(BytesOf(t.body));
    if (content.body.empty()) content.body = BytesToUtf8(parts->body);
    content.body = WithoutTrailingNuls(std::move(content.body));
    content.html = BinaryOf(props, large, kHtml);
    if (content.html.empty()) content.html = StringOf(props, large, kHtml);
    content.rtfCompressed = BinaryOf(props, large, kRtfCompressed);
    if (!content.rtfCompressed.empty()) content.rtf = DecompressRtf(content.rtfCompressed);

    size_t index = 0;
    for (Attachment* a = t.starting_attach.next; a && index < parts->attachments.size(); a = a->next, ++index) {
        const TnefValues& values = parts->attachments[index].values;
        TnefAttachment out;
        out.data = BytesOf(a->FileData);
        if (out.data.empty()) out.data = BinaryOf(&a->MAPI, values, kAttachDataBin);
        const std::string object = BinaryOf(&a->MAPI, values, kAttachDataBin, kTypeObject);
        if (depth < kMaxMessageDepth && object.substr(0, kIidMessage.size()) == kIidMessage) {
            // (Its data is a note for readers that cannot show it.)
            if (auto message = DecodeTnefAt(std::string_view(object).substr(kIidMessage.size()), depth + 1)) {
                out.message.push_back(std::move(*message));
                out.data.clear();
            }
        }
        out.longName = StringOf(&a->MAPI, values, kAttachLongFilename);
        if (out.longName.empty()) out.longName = StringOf(&a->MAPI, values, kDisplayName);
        if (out.longName.empty()) out.longName = BytesToUtf8(BytesOf(a->Title));
        if (out.longName.empty()) out.longName = BytesToUtf8(parts->attachments[index].title);
        if (out.longName.empty()) out.longName = StringOf(&a->MAPI, values, kAttachFilename);
        out.longName = WithoutTrailingNuls(std::move(out.longName));
        out.mimeType = StringOf(&a->MAPI, values, kAttachMimeTag);
        out.contentId = StringOf(&a->MAPI, values, kAttachContentId);
        if (out.data.empty() && out.longName.empty() && out.message.empty()) continue;
        content.attachments.push_back(std::move(out));
    }
    return content;
}

}  // namespace

std::optional<TnefContent> DecodeTnef(std::string_view bytes) { return DecodeTnefAt(bytes, 0); }

}  // namespace bv::mailstore::mime

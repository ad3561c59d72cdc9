#include "mailstore/mime/TnefStream.h"

#include <algorithm>

#include "mailstore/base/LittleEndian.h"

namespace bv::mailstore::mime {

namespace {

constexpr uint32_t kSignature = 0x223E9F78;
constexpr size_t kStreamHeader = 6;  // signature and key
constexpr size_t kAttributeHeader = 9, kChecksum = 2;
constexpr uint8_t kLevelMessage = 1, kLevelAttachment = 2;

// Attribute ids with their types, as the library matches them ([MS-OXTNEF] 2.1.3.3).
constexpr uint32_t kAttBody = 0x0002800C;
constexpr uint32_t kAttAttachData = 0x0006800F;
constexpr uint32_t kAttAttachTitle = 0x00018010;
constexpr uint32_t kAttAttachRenddata = 0x00069002;
constexpr uint32_t kAttMapiProps = 0x00069003;
constexpr uint32_t kAttAttachment = 0x00069005;

// The library's limits.
constexpr size_t kMaxBody = 100000;
constexpr size_t kMaxTitle = 100;
constexpr size_t kMaxValue = 524288;
constexpr size_t kRenddataSize = 14;

constexpr uint16_t kMultiValued = 0x1000;
constexpr uint16_t kTypeString8 = 0x001E, kTypeUnicode = 0x001F, kTypeBinary = 0x0102, kTypeObject = 0x000D;

size_t Padded(size_t n) { return (n + 3) / 4 * 4; }

class Reader {
public:
    explicit Reader(std::string_view b) : b_(b) {}
    bool U32(uint32_t& v) {
        if (b_.size() - pos_ < 4) return false;
        v = base::Get32(reinterpret_cast<const uint8_t*>(b_.data()) + pos_);
        pos_ += 4;
        return true;
    }
    bool Skip(size_t n) {
        if (b_.size() - pos_ < n) return false;
        pos_ += n;
        return true;
    }
    // `n` bytes and the padding to four after them; a block's last padding may be cut.
    bool Bytes(size_t n, std::string_view& out) {
        if (b_.size() - pos_ < n) return false;
        out = b_.substr(pos_, n);
        pos_ = std::min(b_.size(), pos_ + Padded(n));
        return true;
    }
    size_t Left() const { return b_.size() - pos_; }

private:
    std::string_view b_;
    size_t pos_ = 0;
};

// Fixed value sizes in a property block ([MS-OXTNEF] 2.1.3.4), 0 for counted values,
// nullopt for types a block cannot hold.
std::optional<size_t> FixedSize(uint16_t type) {
    switch (type) {
        case 0x0002: case 0x0003: case 0x0004: case 0x000A: case 0x000B: return 4;
        case 0x0005: case 0x0006: case 0x0007: case 0x0014: case 0x0040: return 8;
        case 0x0048: return 16;
        case kTypeString8: case kTypeUnicode: case kTypeBinary: case kTypeObject: case 0x00FB: return 0;
        default: return std::nullopt;
    }
}

struct Block {
    std::vector<std::pair<uint32_t, std::string>> kept;  // tag and value, in stream order
    std::set<uint16_t> seen;
};

// Walks one property block, keeping the wanted values: those within the library's
// limits in `block`, larger ones in `large`.
bool ReadBlock(std::string_view data, const std::set<uint16_t>& wanted, Block& block, TnefValues& large) {
    Reader r(data);
    uint32_t count = 0;
    if (!r.U32(count)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t tag = 0;
        if (!r.U32(tag)) return false;
        const uint16_t id = uint16_t(tag >> 16);
        const uint16_t type = uint16_t(tag & ~uint32_t(kMultiValued) & 0xFFFF);
        const bool multi = (tag & kMultiValued) != 0;
        if (id >= 0x8000) {  // named: the property set, then an id or a name
            uint32_t kind = 0, n = 0;
            if (!r.Skip(16) || !r.U32(kind)) return false;
            std::string_view name;
            if (kind == 0 ? !r.Skip(4) : kind != 1 || !r.U32(n) || !r.Bytes(n, name)) return false;
        }
        const std::optional<size_t> fixed = FixedSize(type);
        if (!fixed) return false;
        uint32_t values = 1;
        if (multi && !r.U32(values)) return false;
        if (values > r.Left() / 4) return false;  // every value takes four bytes at least
        for (uint32_t v = 0; v < values; ++v) {
            if (*fixed) {
                if (!r.Skip(*fixed)) return false;
                continue;
            }
            uint32_t size = 0, ignored = 0;
            std::string_view value;
            if ((!multi && !r.U32(ignored)) || !r.U32(size) || !r.Bytes(size, value)) return false;
            const bool wantedValue = !multi && id < 0x8000 && wanted.count(id) &&
                                     (type == kTypeString8 || type == kTypeUnicode || type == kTypeBinary || type == kTypeObject);
            if (!wantedValue || !block.seen.insert(id).second) continue;
            if (value.size() <= kMaxValue) {
                block.kept.emplace_back(tag, std::string(value));
            } else {
                large[id] = TnefValue{type, std::string(value)};
            }
        }
    }
    return r.Left() == 0;
}

void AppendAttribute(std::string& out, uint8_t level, uint32_t id, std::string_view data) {
    uint8_t header[kAttributeHeader];
    header[0] = level;
    base::Put32(header + 1, id);
    base::Put32(header + 5, uint32_t(data.size()));
    out.append(reinterpret_cast<const char*>(header), sizeof header);
    out.append(data);
    uint16_t sum = 0;
    for (unsigned char c : data) sum = uint16_t(sum + c);
    uint8_t checksum[kChecksum];
    base::Put16(checksum, sum);
    out.append(reinterpret_cast<const char*>(checksum), sizeof checksum);
}

void AppendBlock(std::string& out, uint8_t level, uint32_t id, const Block& block) {
    if (block.kept.empty()) return;
    base::Bytes b;
    base::Append32(b, uint32_t(block.kept.size()));
    for (const auto& [tag, value] : block.kept) {
        base::Append32(b, tag);
        base::Append32(b, 1);
        base::Append32(b, uint32_t(value.size()));
        b.insert(b.end(), value.begin(), value.end());
        b.resize(b.size() + Padded(value.size()) - value.size());
    }
    AppendAttribute(out, level, id, std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
}

struct AttachmentParts {
    std::string renddata, title, data;
    bool hasTitle = false, hasData = false;
    Block block;
};

}  // namespace

std::optional<TnefStreamParts> RebuildTnef(std::string_view bytes, const std::set<uint16_t>& messageIds,
                                           const std::set<uint16_t>& attachmentIds) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() < kStreamHeader || base::Get32(b) != kSignature) return std::nullopt;

    TnefStreamParts parts;
    std::string body;
    bool hasBody = false;
    Block message;
    std::vector<AttachmentParts> attachments;
    size_t pos = kStreamHeader;
    // A few bytes after the last attribute, too few for another, are let be.
    while (bytes.size() - pos >= kAttributeHeader) {
        const uint32_t id = base::Get32(b + pos + 1);
        const uint32_t size = base::Get32(b + pos + 5);
        pos += kAttributeHeader;
        if (size > bytes.size() - pos || bytes.size() - pos - size < kChecksum) return std::nullopt;
        const std::string_view data = bytes.substr(pos, size);
        uint16_t sum = 0;
        for (unsigned char c : data) sum = uint16_t(sum + c);
        if (base::Get16(b + pos + size) != sum) return std::nullopt;
        pos += size + kChecksum;

        AttachmentParts* current = attachments.empty() ? nullptr : &attachments.back();
        TnefStreamParts::Attachment* currentLarge = attachments.empty() ? nullptr : &parts.attachments.back();
        switch (id) {
            case kAttBody:
                if (hasBody) break;
                hasBody = true;
                (data.size() <= kMaxBody ? body : parts.body) = std::string(data);
                break;
            case kAttMapiProps:
                if (!ReadBlock(data, messageIds, message, parts.message)) return std::nullopt;
                break;
            case kAttAttachRenddata:
                attachments.emplace_back().renddata = data.empty() ? std::string(kRenddataSize, '\0') : std::string(data);
                parts.attachments.emplace_back();
                break;
            case kAttAttachTitle:
                if (!current || current->hasTitle) break;
                current->hasTitle = true;
                (data.size() <= kMaxTitle ? current->title : currentLarge->title) = std::string(data);
                break;
            case kAttAttachData:
                if (!current || current->hasData) break;
                current->hasData = true;
                current->data = std::string(data);
                break;
            case kAttAttachment:
                if (!current) break;
                if (!ReadBlock(data, attachmentIds, current->block, currentLarge->values)) return std::nullopt;
                break;
            default:
                break;
        }
    }

    parts.stream.assign(bytes.substr(0, kStreamHeader));
    if (!body.empty()) AppendAttribute(parts.stream, kLevelMessage, kAttBody, body);
    AppendBlock(parts.stream, kLevelMessage, kAttMapiProps, message);
    for (const AttachmentParts& a : attachments) {
        AppendAttribute(parts.stream, kLevelAttachment, kAttAttachRenddata, a.renddata);
        if (!a.title.empty()) AppendAttribute(parts.stream, kLevelAttachment, kAttAttachTitle, a.title);
        if (!a.data.empty()) AppendAttribute(parts.stream, kLevelAttachment, kAttAttachData, a.data);
        AppendBlock(parts.stream, kLevelAttachment, kAttAttachment, a.block);
    }
    return parts;
}

}  // namespace bv::mailstore::mime

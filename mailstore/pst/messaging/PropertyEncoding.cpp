// Property value encodings of a Unicode .pst ([MS-PST] §2.1.1, §2.3.3.4 multi-valued).
#include "mailstore/pst/messaging/PropertyEncoding.h"

#include "mailstore/mapi/Utf16.h"

#include <bit>
#include <chrono>

namespace bv::mailstore::pst {

Bytes Utf16(const std::string& s) { return mapi::Utf8ToUtf16Le(s); }

std::string FromUtf16(const Bytes& b) { return mapi::Utf16LeToUtf8(b.data(), b.size()); }

namespace {
Bytes Le16(uint16_t v) { Bytes b; Append16(b, v); return b; }
Bytes Le32(uint32_t v) { Bytes b; Append32(b, v); return b; }
Bytes Le64(uint64_t v) { Bytes b; Append64(b, v); return b; }
}  // namespace

std::optional<PcProp> EncodeProperty(uint16_t id, const mapi::Property& prop) {
    PcProp p;
    p.id = id;
    p.type = prop.type;
    const auto& v = prop.value;
    switch (prop.type) {
        case mapi::PT_SHORT:
            if (auto x = std::get_if<int16_t>(&v)) p.value = Le16(uint16_t(*x)); else return std::nullopt;
            break;
        case mapi::PT_LONG:
        case mapi::PT_ERROR:
            if (auto x = std::get_if<int32_t>(&v)) p.value = Le32(uint32_t(*x)); else return std::nullopt;
            break;
        case mapi::PT_FLOAT:
            if (auto x = std::get_if<float>(&v)) p.value = Le32(std::bit_cast<uint32_t>(*x)); else return std::nullopt;
            break;
        case mapi::PT_BOOLEAN:
            if (auto x = std::get_if<bool>(&v)) p.value = Bytes{uint8_t(*x ? 1 : 0)}; else return std::nullopt;
            break;
        case mapi::PT_DOUBLE:
        case mapi::PT_APPTIME:
            if (auto x = std::get_if<double>(&v)) p.value = Le64(std::bit_cast<uint64_t>(*x)); else return std::nullopt;
            break;
        case mapi::PT_LONGLONG:
        case mapi::PT_SYSTIME:
        case mapi::PT_CURRENCY:
            if (auto x = std::get_if<int64_t>(&v)) p.value = Le64(uint64_t(*x)); else return std::nullopt;
            break;
        case mapi::PT_STRING8:
        case mapi::PT_UNICODE:
            if (auto x = std::get_if<std::string>(&v)) p.value = Utf16(*x); else return std::nullopt;
            p.type = mapi::PT_UNICODE;
            break;
        case mapi::PT_BINARY:
        case mapi::PT_CLSID:
            if (auto x = std::get_if<mapi::Binary>(&v)) p.value = *x; else return std::nullopt;
            if (prop.type == mapi::PT_CLSID && p.value.size() != 16) return std::nullopt;
            break;
        case mapi::PT_MV_LONG:
            if (auto x = std::get_if<std::vector<int32_t>>(&v)) {
                for (int32_t e : *x) Append32(p.value, uint32_t(e));
            } else {
                return std::nullopt;
            }
            break;
        case mapi::PT_MV_UNICODE:
        case mapi::PT_MV_BINARY: {
            std::vector<Bytes> items;
            if (auto x = std::get_if<std::vector<std::string>>(&v)) {
                for (const auto& s : *x) items.push_back(Utf16(s));
            } else if (auto y = std::get_if<std::vector<mapi::Binary>>(&v)) {
                items = *y;
            } else {
                return std::nullopt;
            }
            // ulCount, rgulDataOffsets[ulCount], data ([MS-PST] §2.3.3.4.2).
            Append32(p.value, uint32_t(items.size()));
            uint32_t off = uint32_t(4 + 4 * items.size());
            for (const auto& it : items) {
                Append32(p.value, off);
                off += uint32_t(it.size());
            }
            for (const auto& it : items) p.value.insert(p.value.end(), it.begin(), it.end());
            break;
        }
        default:
            return std::nullopt;
    }
    return p;
}

mapi::Property DecodeProperty(const PcProp& p) {
    mapi::Property out;
    out.type = p.type;
    const Bytes& b = p.value;
    auto need = [&](size_t n) { return b.size() >= n; };
    switch (p.type) {
        case mapi::PT_SHORT: if (need(2)) out.value = int16_t(Get16(b.data())); break;
        case mapi::PT_LONG: case mapi::PT_ERROR: if (need(4)) out.value = int32_t(Get32(b.data())); break;
        case mapi::PT_FLOAT: if (need(4)) out.value = std::bit_cast<float>(Get32(b.data())); break;
        case mapi::PT_BOOLEAN: if (need(1)) out.value = b[0] != 0; break;
        case mapi::PT_DOUBLE: case mapi::PT_APPTIME: if (need(8)) out.value = std::bit_cast<double>(Get64(b.data())); break;
        case mapi::PT_LONGLONG: case mapi::PT_SYSTIME: case mapi::PT_CURRENCY: if (need(8)) out.value = int64_t(Get64(b.data())); break;
        case mapi::PT_UNICODE: out.value = FromUtf16(b); break;
        case mapi::PT_STRING8: out.value = std::string(b.begin(), b.end()); break;
        case mapi::PT_BINARY: case mapi::PT_CLSID: out.value = b; break;
        case mapi::PT_MV_LONG: {
            std::vector<int32_t> v;
            for (size_t i = 0; i + 4 <= b.size(); i += 4) v.push_back(int32_t(Get32(&b[i])));
            out.value = v;
            break;
        }
        case mapi::PT_MV_UNICODE:
        case mapi::PT_MV_BINARY: {
            std::vector<Bytes> items;
            if (need(4)) {
                uint32_t n = Get32(b.data());
                for (uint32_t i = 0; i < n && 4 + 4 * (i + 1) <= b.size(); ++i) {
                    uint32_t s = Get32(&b[4 + 4 * i]);
                    uint32_t e = (i + 1 < n && 4 + 4 * (i + 2) <= b.size()) ? Get32(&b[4 + 4 * (i + 1)]) : uint32_t(b.size());
                    if (s <= e && e <= b.size()) items.emplace_back(b.begin() + s, b.begin() + e);
                }
            }
            if (p.type == mapi::PT_MV_BINARY) {
                out.value = items;
            } else {
                std::vector<std::string> strs;
                for (auto& it : items) strs.push_back(FromUtf16(it));
                out.value = strs;
            }
            break;
        }
        default: break;
    }
    return out;
}

PcProp PropLong(uint32_t tag, int32_t v) { return {mapi::TagId(tag), mapi::PT_LONG, Le32(uint32_t(v))}; }
PcProp PropBool(uint32_t tag, bool v) { return {mapi::TagId(tag), mapi::PT_BOOLEAN, Bytes{uint8_t(v ? 1 : 0)}}; }
PcProp PropTime(uint32_t tag, int64_t ft) { return {mapi::TagId(tag), mapi::PT_SYSTIME, Le64(uint64_t(ft))}; }
PcProp PropString(uint32_t tag, const std::string& s) { return {mapi::TagId(tag), mapi::PT_UNICODE, Utf16(s)}; }
PcProp PropBinary(uint32_t tag, Bytes v) { return {mapi::TagId(tag), mapi::PT_BINARY, std::move(v)}; }

namespace {
class LongText final : public ValueSource {
public:
    explicit LongText(std::string utf8) : utf8_(std::move(utf8)), size_(mapi::Utf16LeSize(utf8_)) {}
    uint64_t Size() const override { return size_; }
    void Read(const std::function<void(const uint8_t*, size_t)>& piece) const override {
        mapi::Utf8ToUtf16LeInPieces(utf8_, mapi::kLongText, piece);
    }

private:
    std::string utf8_;
    uint64_t size_;
};
}  // namespace

PcProp PropLongText(uint16_t id, std::string utf8) {
    PcProp p{id, mapi::PT_UNICODE, {}};
    p.source = std::make_shared<LongText>(std::move(utf8));
    return p;
}

Bytes MakeEntryId(const Bytes& recordKey, Nid nid) {
    Bytes b(4, 0);
    b.insert(b.end(), recordKey.begin(), recordKey.end());
    Append32(b, nid);
    return b;
}

int64_t FileTimeNow() {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(now).count() * 10 + mapi::kFileTimeUnixEpoch;
}

}  // namespace bv::mailstore::pst

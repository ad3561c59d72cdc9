// Unicode .msg writer: [MS-OXMSG] storages and streams inside a compound file
// ([MS-CFB]) produced by libgsf's OLE2 writer.
//
// Layout written for a message:
//   __nameid_version1.0/             named-property mapping (top level only; empty)
//   __properties_version1.0          property stream (header 32 bytes top level,
//                                    24 bytes in an embedded message)
//   __substg1.0_PPPPTTTT             one stream per variable-size property
//   __recip_version1.0_#XXXXXXXX/    one storage per recipient (8-byte header)
//   __attach_version1.0_#XXXXXXXX/   one storage per attachment (8-byte header)
//       __substg1.0_3701000D/        embedded message (no nameid storage inside)
#include "mailstore/msg/MsgWriter.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define BV_GETPID _getpid
#else
#include <unistd.h>
#define BV_GETPID getpid
#endif

#include "mailstore/MailStoreError.h"
#include "mailstore/msg/MsgFormat.h"

namespace bv::mailstore::msg {

using namespace bv::mapi;

namespace {

void EnsureGsfInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

// Thrown inside the writer; turned into MailStoreError with the file name by WriteMsgFile.
struct WriteFailure {
    std::string what;
};

std::string GsfErrorText(GsfOutput* out) {
    const GError* e = out ? gsf_output_error(out) : nullptr;
    return e && e->message ? std::string(e->message) : std::string("write error");
}

void PutU32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void PutU64(std::vector<uint8_t>& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// One storage being written. Children are written and closed one at a time, as the
// compound-file writer requires.
class Storage {
public:
    explicit Storage(GsfOutfile* dir) : dir_(dir) {}

    void WriteStream(const std::string& name, const uint8_t* data, size_t size) {
        GsfOutput* child = gsf_outfile_new_child(dir_, name.c_str(), FALSE);
        if (!child) throw WriteFailure{"cannot create stream " + name};
        bool ok = true;
        // Write in slices: the writer takes a gsize, but keep the calls moderate.
        constexpr size_t kSlice = 1 << 20;
        for (size_t off = 0; ok && off < size; off += kSlice) {
            size_t n = std::min(kSlice, size - off);
            ok = gsf_output_write(child, n, data + off);
        }
        std::string err = ok ? std::string() : GsfErrorText(child);
        if (!gsf_output_close(child) && ok) {
            ok = false;
            err = GsfErrorText(child);
        }
        g_object_unref(child);
        if (!ok) throw WriteFailure{"cannot write stream " + name + ": " + err};
    }
    void WriteStream(const std::string& name, const std::vector<uint8_t>& data) {
        WriteStream(name, data.data(), data.size());
    }

    // Opens a sub-storage; the caller writes into it and calls CloseChild().
    GsfOutfile* OpenChild(const std::string& name) {
        GsfOutput* child = gsf_outfile_new_child(dir_, name.c_str(), TRUE);
        if (!child) throw WriteFailure{"cannot create storage " + name};
        return GSF_OUTFILE(child);
    }
    static void CloseChild(GsfOutfile* child, const std::string& name) {
        GsfOutput* out = GSF_OUTPUT(child);
        bool ok = gsf_output_close(out);
        std::string err = ok ? std::string() : GsfErrorText(out);
        g_object_unref(out);
        if (!ok) throw WriteFailure{"cannot close storage " + name + ": " + err};
    }

    GsfOutfile* dir() const { return dir_; }

private:
    GsfOutfile* dir_;
};

// Closes a child storage even when writing into it throws.
class ChildStorage {
public:
    ChildStorage(Storage& parent, std::string name) : name_(std::move(name)), dir_(parent.OpenChild(name_)) {}
    ~ChildStorage() {
        if (dir_) {
            gsf_output_close(GSF_OUTPUT(dir_));
            g_object_unref(dir_);
        }
    }
    Storage storage() { return Storage(dir_); }
    void Close() {
        GsfOutfile* d = dir_;
        dir_ = nullptr;
        Storage::CloseChild(d, name_);
    }

private:
    std::string name_;
    GsfOutfile* dir_;
};

// Writes the properties of one object: variable-size values as streams into `st`,
// returns the property stream entries (16 bytes each).
std::vector<uint8_t> WriteProperties(Storage& st, const PropertyBag& bag, bool hasEmbeddedObject) {
    std::vector<uint8_t> entries;
    entries.reserve(bag.Size() * 16 + 16);
    for (const auto& [id, prop] : bag.All()) {
        uint16_t type = prop.type;
        if (type == PT_STRING8) type = PT_UNICODE;  // strings are always written as Unicode
        if (type == PT_OBJECT || type == PT_UNSPECIFIED || type == PT_NULL) continue;
        if (std::holds_alternative<std::monostate>(prop.value)) continue;
        const uint32_t tag = MakeTag(id, type);
        auto fixedEntry = [&](uint64_t v) {
            PutU32(entries, tag);
            PutU32(entries, kPropFlagsReadWrite);
            PutU64(entries, v);
        };
        auto sizeEntry = [&](uint32_t size) {
            PutU32(entries, tag);
            PutU32(entries, kPropFlagsReadWrite);
            PutU32(entries, size);
            PutU32(entries, 0);
        };
        switch (type) {
        case PT_SHORT:
            if (auto v = std::get_if<int16_t>(&prop.value)) fixedEntry(uint16_t(*v));
            else if (auto w = std::get_if<int32_t>(&prop.value)) fixedEntry(uint16_t(*w));
            break;
        case PT_LONG:
        case PT_ERROR:
            if (auto v = std::get_if<int32_t>(&prop.value)) fixedEntry(uint32_t(*v));
            break;
        case PT_BOOLEAN:
            if (auto v = std::get_if<bool>(&prop.value)) fixedEntry(*v ? 1 : 0);
            break;
        case PT_FLOAT:
            if (auto v = std::get_if<float>(&prop.value)) {
                uint32_t bits;
                std::memcpy(&bits, v, 4);
                fixedEntry(bits);
            }
            break;
        case PT_DOUBLE:
        case PT_APPTIME:
            if (auto v = std::get_if<double>(&prop.value)) {
                uint64_t bits;
                std::memcpy(&bits, v, 8);
                fixedEntry(bits);
            }
            break;
        case PT_CURRENCY:
        case PT_LONGLONG:
        case PT_SYSTIME:
            if (auto v = std::get_if<int64_t>(&prop.value)) fixedEntry(uint64_t(*v));
            break;
        case PT_UNICODE:
            if (auto v = std::get_if<std::string>(&prop.value)) {
                std::vector<uint8_t> u16 = Utf8ToUtf16Le(*v);
                st.WriteStream(SubstgName(tag), u16);
                sizeEntry(uint32_t(u16.size() + 2));
            }
            break;
        case PT_BINARY:
        case PT_CLSID:
            if (auto v = std::get_if<Binary>(&prop.value)) {
                if (id == TagId(PR_ATTACH_DATA_BIN) && hasEmbeddedObject) break;
                st.WriteStream(SubstgName(tag), *v);
                sizeEntry(uint32_t(v->size()));
            }
            break;
        case PT_MV_LONG:
            if (auto v = std::get_if<std::vector<int32_t>>(&prop.value)) {
                std::vector<uint8_t> data;
                for (int32_t x : *v) PutU32(data, uint32_t(x));
                st.WriteStream(SubstgName(tag), data);
                sizeEntry(uint32_t(data.size()));
            }
            break;
        case PT_MV_UNICODE:
            // [MS-OXMSG] 2.1.4.2: a lengths stream (4 bytes per value) plus one stream
            // per value, strings with their terminating NUL.
            if (auto v = std::get_if<std::vector<std::string>>(&prop.value)) {
                std::vector<uint8_t> lengths;
                for (size_t i = 0; i < v->size(); ++i) {
                    std::vector<uint8_t> u16 = Utf8ToUtf16Le((*v)[i]);
                    u16.push_back(0);
                    u16.push_back(0);
                    st.WriteStream(SubstgName(tag, int(i)), u16);
                    PutU32(lengths, uint32_t(u16.size()));
                }
                st.WriteStream(SubstgName(tag), lengths);
                sizeEntry(uint32_t(lengths.size()));
            }
            break;
        case PT_MV_BINARY:
            // Lengths stream of 8 bytes per value (size, reserved) plus one stream per value.
            if (auto v = std::get_if<std::vector<Binary>>(&prop.value)) {
                std::vector<uint8_t> lengths;
                for (size_t i = 0; i < v->size(); ++i) {
                    st.WriteStream(SubstgName(tag, int(i)), (*v)[i]);
                    PutU32(lengths, uint32_t((*v)[i].size()));
                    PutU32(lengths, 0);
                }
                st.WriteStream(SubstgName(tag), lengths);
                sizeEntry(uint32_t(lengths.size()));
            }
            break;
        default:
            break;  // types the model does not carry for mail items
        }
    }
    return entries;
}

void WriteMessage(Storage& st, const Message& m, bool topLevel, int depth);

void WritePropertyStream(Storage& st, const std::vector<uint8_t>& header, const std::vector<uint8_t>& entries) {
    std::vector<uint8_t> stream;
    stream.reserve(header.size() + entries.size());
    stream.insert(stream.end(), header.begin(), header.end());
    stream.insert(stream.end(), entries.begin(), entries.end());
    st.WriteStream(kPropertiesStream, stream);
}

void WriteAttachment(Storage& parent, const Attachment& a, uint32_t index, int depth) {
    ChildStorage child(parent, AttachStorageName(index));
    Storage st = child.storage();
    const bool embedded = a.embedded != nullptr;
    PropertyBag props = a.props;
    if (!props.Has(PR_ATTACH_NUM)) props.SetInt(PR_ATTACH_NUM, int32_t(index));
    if (embedded) props.SetInt(PR_ATTACH_METHOD, ATTACH_EMBEDDED_MSG);
    else if (!props.Has(PR_ATTACH_METHOD)) props.SetInt(PR_ATTACH_METHOD, ATTACH_BY_VALUE);
    std::vector<uint8_t> entries = WriteProperties(st, props, embedded);
    if (embedded) {
        {
            ChildStorage msgDir(st, SubstgName(PR_ATTACH_DATA_OBJ));
            Storage ms = msgDir.storage();
            WriteMessage(ms, *a.embedded, false, depth + 1);
            msgDir.Close();
        }
        // [MS-OXMSG] 2.4.2.2: the size of an embedded message entry is 0xFFFFFFFF.
        PutU32(entries, PR_ATTACH_DATA_OBJ);
        PutU32(entries, kPropFlagsReadWrite);
        PutU32(entries, 0xFFFFFFFFu);
        PutU32(entries, 0);
    }
    WritePropertyStream(st, std::vector<uint8_t>(kSubObjectHeaderSize, 0), entries);
    child.Close();
}

void WriteMessage(Storage& st, const Message& m, bool topLevel, int depth) {
    if (depth > kMaxEmbeddingDepth) throw WriteFailure{"embedded messages nested too deeply"};
    if (m.attachments.size() > kMaxAttachmentStorages)
        throw WriteFailure{"too many attachments (" + std::to_string(m.attachments.size()) + ", at most " +
                           std::to_string(kMaxAttachmentStorages) + ")"};

    if (topLevel) {
        // Named-property mapping: the three required streams, empty since we map no names.
        ChildStorage nameid(st, kNameIdStorage);
        Storage ns = nameid.storage();
        ns.WriteStream(kNameIdGuidStream, nullptr, 0);
        ns.WriteStream(kNameIdEntryStream, nullptr, 0);
        ns.WriteStream(kNameIdStringStream, nullptr, 0);
        nameid.Close();
    }

    PropertyBag props = m.props;
    if (!props.Has(PR_MESSAGE_CLASS)) props.SetString(PR_MESSAGE_CLASS, "IPM.Note");
    if (topLevel) {
        int32_t mask = props.GetInt(PR_STORE_SUPPORT_MASK).value_or(0);
        props.SetInt(PR_STORE_SUPPORT_MASK, mask | kStoreUnicodeOk);
    }
    if (auto subject = props.GetString(PR_SUBJECT)) {
        if (!props.Has(PR_NORMALIZED_SUBJECT) || !props.Has(PR_SUBJECT_PREFIX)) {
            auto [prefix, normalized] = SplitSubjectPrefix(*subject);
            if (!props.Has(PR_SUBJECT_PREFIX)) props.SetString(PR_SUBJECT_PREFIX, prefix);
            if (!props.Has(PR_NORMALIZED_SUBJECT)) props.SetString(PR_NORMALIZED_SUBJECT, normalized);
        }
    }
    std::vector<uint8_t> entries = WriteProperties(st, props, false);

    // A .msg holds at most 2048 recipient rows ([MS-OXMSG] 2.2.1); further rows are
    // left out (PR_DISPLAY_TO/CC/BCC and the transport headers still name everyone).
    const size_t recipientCount = std::min(m.recipients.size(), kMaxRecipientStorages);
    for (size_t i = 0; i < recipientCount; ++i) {
        ChildStorage child(st, RecipStorageName(uint32_t(i)));
        Storage rs = child.storage();
        PropertyBag rp = m.recipients[i];
        if (!rp.Has(PR_ROWID)) rp.SetInt(PR_ROWID, int32_t(i));
        std::vector<uint8_t> re = WriteProperties(rs, rp, false);
        WritePropertyStream(rs, std::vector<uint8_t>(kSubObjectHeaderSize, 0), re);
        child.Close();
    }
    for (size_t i = 0; i < m.attachments.size(); ++i) WriteAttachment(st, m.attachments[i], uint32_t(i), depth);

    std::vector<uint8_t> header;
    PutU64(header, 0);                                   // reserved
    PutU32(header, uint32_t(recipientCount));            // next recipient id
    PutU32(header, uint32_t(m.attachments.size()));      // next attachment id
    PutU32(header, uint32_t(recipientCount));            // recipient count
    PutU32(header, uint32_t(m.attachments.size()));      // attachment count
    if (topLevel) PutU64(header, 0);                     // reserved (top level only)
    WritePropertyStream(st, header, entries);
}

std::filesystem::path TemporaryPathFor(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(BV_GETPID()) + "-" + std::to_string(counter.fetch_add(1));
    return tmp;
}

}  // namespace

void WriteMsgFile(const mapi::Message& message, const std::filesystem::path& path) {
    EnsureGsfInitialised();
    const std::filesystem::path tmp = TemporaryPathFor(path);
    const std::string tmpName = tmp.string();

    FILE* file = nullptr;
#ifdef _WIN32
    file = _wfopen(tmp.wstring().c_str(), L"wb");
#else
    file = std::fopen(tmpName.c_str(), "wb");
#endif
    if (!file)
        throw MailStoreError("cannot write " + path.string() + ": cannot create " + tmpName + ": " +
                             std::generic_category().message(errno));

    GsfOutput* sink = gsf_output_stdio_new_FILE(tmpName.c_str(), file, TRUE);
    GsfOutfile* ole = sink ? gsf_outfile_msole_new(sink) : nullptr;
    std::string failure;
    if (!ole) {
        failure = "cannot start the compound file";
    } else {
        try {
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole), kMessageClsid);
            Storage root(ole);
            WriteMessage(root, message, true, 0);
        } catch (const WriteFailure& e) {
            failure = e.what;
        } catch (const std::exception& e) {
            failure = e.what();
        }
        // Closing the root writes the directory, FAT and mini stream.
        if (!gsf_output_close(GSF_OUTPUT(ole)) && failure.empty()) failure = GsfErrorText(GSF_OUTPUT(ole));
        g_object_unref(ole);
    }
    if (sink) {
        if (!gsf_output_is_closed(sink) && !gsf_output_close(sink) && failure.empty()) failure = GsfErrorText(sink);
        g_object_unref(sink);
    }
    if (std::fflush(file) != 0 && failure.empty()) failure = std::generic_category().message(errno);
    if (std::fclose(file) != 0 && failure.empty()) failure = std::generic_category().message(errno);

    std::error_code ec;
    if (failure.empty()) {
        std::filesystem::rename(tmp, path, ec);
        if (ec) failure = "cannot move " + tmpName + " into place: " + ec.message();
    }
    if (!failure.empty()) {
        std::filesystem::remove(tmp, ec);
        throw MailStoreError("cannot write " + path.string() + ": " + failure);
    }
}

}  // namespace bv::mailstore::msg

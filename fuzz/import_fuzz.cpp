// RFC 822 import to MAPI properties: any bytes give a message without a crash, an
// exception or a hang, and every string it holds is valid UTF-8 without NUL. A
// message whose attachments a store writer is given as it reads them (one of very
// many parts) gives the same attachments, in the same order, as when they are held.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCommon.h"
#include "mailstore/mapi/MessageDefaults.h"
#include "mailstore/mime/Rfc822Import.h"

namespace {

using bv::mailstore::mapi::Attachment;
using bv::mailstore::mapi::Message;
using bv::mailstore::mapi::PropertyBag;
using bv::mailstore::mapi::PR_TRANSPORT_MESSAGE_HEADERS;

bool SameBag(const PropertyBag& a, const PropertyBag& b) {
    auto same = [](const auto& x, const auto& y) {
        if (x.size() != y.size()) return false;
        for (auto i = x.begin(), j = y.begin(); i != x.end(); ++i, ++j)
            if (i->first != j->first || i->second.type != j->second.type || i->second.value != j->second.value)
                return false;
        return true;
    };
    return same(a.All(), b.All()) && same(a.AllNamed(), b.AllNamed());
}

bool SameAttachment(const Attachment& a, const Attachment& b) {
    if (!SameBag(a.props, b.props) || !a.embedded != !b.embedded) return false;
    if (!a.embedded) return true;
    const Message &x = *a.embedded, &y = *b.embedded;
    if (!SameBag(x.props, y.props) || x.attachments.size() != y.attachments.size()) return false;
    for (size_t i = 0; i < x.attachments.size(); ++i)
        if (!SameAttachment(x.attachments[i], y.attachments[i])) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace mime = bv::mailstore::mime;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Message m;
    mime::ImportRfc822(bytes, m);
    bv::fuzz::CheckMessageStrings(m, /*nulFree=*/true);

    Message streamed;
    mime::ImportRfc822(bytes, mime::ReadMessageTop(bytes), streamed, {}, SIZE_MAX, SIZE_MAX,
                       mime::BytesAtHand::UntilWritten);
    if (!streamed.moreAttachments) return 0;
    bv::mailstore::mapi::CompleteMessage(m);
    bv::mailstore::mapi::CompleteMessage(streamed);
    BV_FUZZ_CHECK(streamed.warnings == m.warnings);
    // (A long header is left to the writer that keeps the bytes.)
    streamed.props.Remove(PR_TRANSPORT_MESSAGE_HEADERS);
    m.props.Remove(PR_TRANSPORT_MESSAGE_HEADERS);
    BV_FUZZ_CHECK(SameBag(streamed.props, m.props));
    BV_FUZZ_CHECK(bv::mailstore::mapi::AttachmentCount(streamed) == m.attachments.size());
    size_t i = 0;
    bv::mailstore::mapi::ForEachAttachment(streamed, [&](Attachment& a) {
        BV_FUZZ_CHECK(i < m.attachments.size() && SameAttachment(a, m.attachments[i]), std::to_string(i));
        ++i;
    });
    return 0;
}

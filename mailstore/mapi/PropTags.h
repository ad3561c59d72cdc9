// MAPI property identifiers, types and tags used by the importer and both writers.
// Values from [MS-OXPROPS]; a tag is (property id << 16) | property type.
#pragma once
#include <cstdint>

namespace bv::mailstore::mapi {

enum PropType : uint16_t {
    PT_UNSPECIFIED = 0x0000,
    PT_NULL = 0x0001,
    PT_SHORT = 0x0002,
    PT_LONG = 0x0003,
    PT_FLOAT = 0x0004,
    PT_DOUBLE = 0x0005,
    PT_CURRENCY = 0x0006,
    PT_APPTIME = 0x0007,
    PT_ERROR = 0x000A,
    PT_BOOLEAN = 0x000B,
    PT_OBJECT = 0x000D,
    PT_LONGLONG = 0x0014,
    PT_STRING8 = 0x001E,
    PT_UNICODE = 0x001F,
    PT_SYSTIME = 0x0040,
    PT_CLSID = 0x0048,
    PT_BINARY = 0x0102,
    PT_MV_LONG = 0x1003,
    PT_MV_UNICODE = 0x101F,
    PT_MV_BINARY = 0x1102,
};

constexpr uint32_t MakeTag(uint16_t id, uint16_t type) { return (uint32_t(id) << 16) | type; }
constexpr uint16_t TagId(uint32_t tag) { return uint16_t(tag >> 16); }
constexpr uint16_t TagType(uint32_t tag) { return uint16_t(tag & 0xFFFF); }

// Message envelope
constexpr uint32_t PR_IMPORTANCE = 0x00170003;
constexpr uint32_t PR_MESSAGE_CLASS = 0x001A001F;
constexpr uint32_t PR_PRIORITY = 0x00260003;
constexpr uint32_t PR_SENSITIVITY = 0x00360003;
constexpr uint32_t PR_SUBJECT = 0x0037001F;
constexpr uint32_t PR_CLIENT_SUBMIT_TIME = 0x00390040;
constexpr uint32_t PR_SENT_REPRESENTING_SEARCH_KEY = 0x003B0102;
constexpr uint32_t PR_SUBJECT_PREFIX = 0x003D001F;
constexpr uint32_t PR_SENT_REPRESENTING_ENTRYID = 0x00410102;
constexpr uint32_t PR_SENT_REPRESENTING_NAME = 0x0042001F;
constexpr uint32_t PR_REPLY_RECIPIENT_ENTRIES = 0x004F0102;
constexpr uint32_t PR_REPLY_RECIPIENT_NAMES = 0x0050001F;
constexpr uint32_t PR_MESSAGE_TO_ME = 0x0057000B;
constexpr uint32_t PR_MESSAGE_CC_ME = 0x0058000B;
constexpr uint32_t PR_SENT_REPRESENTING_ADDRTYPE = 0x0064001F;
constexpr uint32_t PR_SENT_REPRESENTING_EMAIL_ADDRESS = 0x0065001F;
constexpr uint32_t PR_CONVERSATION_TOPIC = 0x0070001F;
constexpr uint32_t PR_CONVERSATION_INDEX = 0x00710102;
constexpr uint32_t PR_TRANSPORT_MESSAGE_HEADERS = 0x007D001F;
constexpr uint32_t PR_SENDER_ENTRYID = 0x0C190102;
constexpr uint32_t PR_SENDER_NAME = 0x0C1A001F;
constexpr uint32_t PR_SENDER_SEARCH_KEY = 0x0C1D0102;
constexpr uint32_t PR_SENDER_ADDRTYPE = 0x0C1E001F;
constexpr uint32_t PR_SENDER_EMAIL_ADDRESS = 0x0C1F001F;
constexpr uint32_t PR_DISPLAY_BCC = 0x0E02001F;
constexpr uint32_t PR_DISPLAY_CC = 0x0E03001F;
constexpr uint32_t PR_DISPLAY_TO = 0x0E04001F;
constexpr uint32_t PR_MESSAGE_DELIVERY_TIME = 0x0E060040;
constexpr uint32_t PR_MESSAGE_FLAGS = 0x0E070003;
constexpr uint32_t PR_MESSAGE_SIZE = 0x0E080003;
constexpr uint32_t PR_MESSAGE_STATUS = 0x0E170003;
constexpr uint32_t PR_NORMALIZED_SUBJECT = 0x0E1D001F;
constexpr uint32_t PR_HASATTACH = 0x0E1B000B;
constexpr uint32_t PR_RTF_IN_SYNC = 0x0E1F000B;
constexpr uint32_t PR_BODY = 0x1000001F;
constexpr uint32_t PR_RTF_COMPRESSED = 0x10090102;
constexpr uint32_t PR_HTML = 0x10130102;
constexpr uint32_t PR_NATIVE_BODY = 0x10160003;
constexpr uint32_t PR_INTERNET_MESSAGE_ID = 0x1035001F;
constexpr uint32_t PR_INTERNET_REFERENCES = 0x1039001F;
constexpr uint32_t PR_IN_REPLY_TO_ID = 0x1042001F;
constexpr uint32_t PR_ICON_INDEX = 0x10800003;
constexpr uint32_t PR_FLAG_STATUS = 0x10900003;    // follow-up flag state ([MS-OXOFLAG])
constexpr uint32_t PR_FOLLOWUP_ICON = 0x10950003;  // follow-up flag colour
constexpr uint32_t PR_CREATION_TIME = 0x30070040;
constexpr uint32_t PR_LAST_MODIFICATION_TIME = 0x30080040;
constexpr uint32_t PR_SEARCH_KEY = 0x300B0102;
constexpr uint32_t PR_STORE_SUPPORT_MASK = 0x340D0003;
constexpr uint32_t PR_INTERNET_CPID = 0x3FDE0003;
constexpr uint32_t PR_MESSAGE_CODEPAGE = 0x3FFD0003;

// Recipients
constexpr uint32_t PR_RECIPIENT_TYPE = 0x0C150003;
constexpr uint32_t PR_RESPONSIBILITY = 0x0E0F000B;
constexpr uint32_t PR_RECORD_KEY = 0x0FF90102;
constexpr uint32_t PR_OBJECT_TYPE = 0x0FFE0003;
constexpr uint32_t PR_ENTRYID = 0x0FFF0102;
constexpr uint32_t PR_ROWID = 0x30000003;
constexpr uint32_t PR_DISPLAY_NAME = 0x3001001F;
constexpr uint32_t PR_ADDRTYPE = 0x3002001F;
constexpr uint32_t PR_EMAIL_ADDRESS = 0x3003001F;
constexpr uint32_t PR_DISPLAY_TYPE = 0x39000003;
constexpr uint32_t PR_SMTP_ADDRESS = 0x39FE001F;
constexpr uint32_t PR_7BIT_DISPLAY_NAME = 0x39FF001F;
constexpr uint32_t PR_SEND_RICH_INFO = 0x3A40000B;

// Attachments
constexpr uint32_t PR_ATTACH_SIZE = 0x0E200003;
constexpr uint32_t PR_ATTACH_NUM = 0x0E210003;
constexpr uint32_t PR_ATTACH_DATA_BIN = 0x37010102;
constexpr uint32_t PR_ATTACH_DATA_OBJ = 0x3701000D;
constexpr uint32_t PR_ATTACH_EXTENSION = 0x3703001F;
constexpr uint32_t PR_ATTACH_FILENAME = 0x3704001F;
constexpr uint32_t PR_ATTACH_METHOD = 0x37050003;
constexpr uint32_t PR_ATTACH_LONG_FILENAME = 0x3707001F;
constexpr uint32_t PR_RENDERING_POSITION = 0x370B0003;
constexpr uint32_t PR_ATTACH_MIME_TAG = 0x370E001F;
constexpr uint32_t PR_ATTACH_CONTENT_ID = 0x3712001F;
constexpr uint32_t PR_ATTACH_CONTENT_LOCATION = 0x3713001F;
constexpr uint32_t PR_ATTACH_FLAGS = 0x37140003;
constexpr uint32_t PR_ATTACH_MIME_SEQUENCE = 0x37100003;
constexpr uint32_t PR_ATTACHMENT_HIDDEN = 0x7FFE000B;
constexpr uint32_t PR_ATTACHMENT_FLAGS = 0x7FFD0003;

// Message flags ([MS-OXCMSG] 2.2.1.6)
constexpr int32_t MSGFLAG_READ = 0x0001;
constexpr int32_t MSGFLAG_UNMODIFIED = 0x0002;
constexpr int32_t MSGFLAG_SUBMIT = 0x0004;
constexpr int32_t MSGFLAG_UNSENT = 0x0008;
constexpr int32_t MSGFLAG_HASATTACH = 0x0010;

// Attach methods
constexpr int32_t ATTACH_BY_VALUE = 1;
constexpr int32_t ATTACH_EMBEDDED_MSG = 5;

// Recipient types
constexpr int32_t MAPI_TO = 1;
constexpr int32_t MAPI_CC = 2;
constexpr int32_t MAPI_BCC = 3;

// PR_IMPORTANCE values ([MS-OXCMSG] 2.2.1.11)
constexpr int32_t IMPORTANCE_LOW = 0;
constexpr int32_t IMPORTANCE_NORMAL = 1;
constexpr int32_t IMPORTANCE_HIGH = 2;

// PR_PRIORITY values ([MS-OXCMAIL] 2.2.3.2.7)
constexpr int32_t PRIO_NONURGENT = -1;
constexpr int32_t PRIO_NORMAL = 0;
constexpr int32_t PRIO_URGENT = 1;

// PR_SENSITIVITY values ([MS-OXCMSG] 2.2.1.13)
constexpr int32_t SENSITIVITY_NONE = 0;
constexpr int32_t SENSITIVITY_PERSONAL = 1;
constexpr int32_t SENSITIVITY_PRIVATE = 2;
constexpr int32_t SENSITIVITY_COMPANY_CONFIDENTIAL = 3;

// PR_NATIVE_BODY values ([MS-OXCMSG] 2.2.1.49.1)
constexpr int32_t NATIVE_BODY_PLAIN = 1;
constexpr int32_t NATIVE_BODY_RTF = 2;
constexpr int32_t NATIVE_BODY_HTML = 3;

// Code pages (PR_INTERNET_CPID, PR_MESSAGE_CODEPAGE): our strings are always UTF-8.
constexpr int32_t CP_UTF8_CODEPAGE = 65001;

// PR_ATTACH_FLAGS ([MS-OXCMSG] 2.2.2.18): ATT_MHTML_REF, rendered by the HTML body.
constexpr int32_t ATT_INVISIBLE_IN_HTML = 0x00000001;
constexpr int32_t ATT_INVISIBLE_IN_RTF = 0x00000002;
constexpr int32_t ATT_MHTML_REF = 0x00000004;

// PR_OBJECT_TYPE and PR_DISPLAY_TYPE of a recipient row ([MS-OXCMSG] 2.2.3)
constexpr int32_t MAPI_MAILUSER = 6;
constexpr int32_t DT_MAILUSER = 0;

// SMTP addresses of the originators ([MS-OXPROPS] PidTagSenderSmtpAddress,
// PidTagSentRepresentingSmtpAddress)
constexpr uint32_t PR_SENDER_SMTP_ADDRESS = 0x5D01001F;
constexpr uint32_t PR_SENT_REPRESENTING_SMTP_ADDRESS = 0x5D02001F;

}  // namespace bv::mailstore::mapi

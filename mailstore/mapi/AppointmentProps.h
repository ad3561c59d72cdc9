// The properties of an appointment (IPM.Appointment, [MS-OXOCAL]): named properties of
// PSETID_Appointment, PSETID_Common and PSETID_Meeting, and the recipient tags a
// meeting's attendees carry.
#pragma once
#include <cstdint>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mapi {

// PSETID_Appointment {00062002-0000-0000-C000-000000000046}
inline constexpr PropertyName::Guid PSETID_Appointment{0x02, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                       0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// PSETID_Meeting {6ED8DA90-450B-101B-98DA-00AA003F1305}
inline constexpr PropertyName::Guid PSETID_Meeting{0x90, 0xDA, 0xD8, 0x6E, 0x0B, 0x45, 0x1B, 0x10,
                                                   0x98, 0xDA, 0x00, 0xAA, 0x00, 0x3F, 0x13, 0x05};
inline PropertyName AppointmentLid(uint32_t lid) { return PropertyName{PSETID_Appointment, lid}; }
inline PropertyName CommonLid(uint32_t lid) { return PropertyName{PSETID_Common, lid}; }
inline PropertyName MeetingLid(uint32_t lid) { return PropertyName{PSETID_Meeting, lid}; }

constexpr uint32_t PR_START_DATE = 0x00600040;
constexpr uint32_t PR_END_DATE = 0x00610040;
constexpr uint32_t PR_OWNER_APPT_ID = 0x00620003;
constexpr uint32_t PR_RECIPIENT_FLAGS = 0x5FFD0003;
constexpr uint32_t PR_RECIPIENT_TRACKSTATUS = 0x5FFF0003;

// PSETID_Appointment
constexpr uint32_t LID_APPOINTMENT_SEQUENCE = 0x8201;     // PT_LONG
constexpr uint32_t LID_BUSY_STATUS = 0x8205;              // PT_LONG
constexpr uint32_t LID_LOCATION = 0x8208;                 // PT_UNICODE
constexpr uint32_t LID_APPOINTMENT_START_WHOLE = 0x820D;  // PT_SYSTIME
constexpr uint32_t LID_APPOINTMENT_END_WHOLE = 0x820E;    // PT_SYSTIME
constexpr uint32_t LID_APPOINTMENT_DURATION = 0x8213;     // PT_LONG, minutes
constexpr uint32_t LID_APPOINTMENT_COLOR = 0x8214;        // PT_LONG
constexpr uint32_t LID_APPOINTMENT_SUB_TYPE = 0x8215;     // PT_BOOLEAN: all day
constexpr uint32_t LID_APPOINTMENT_RECUR = 0x8216;        // PT_BINARY
constexpr uint32_t LID_APPOINTMENT_STATE_FLAGS = 0x8217;  // PT_LONG
constexpr uint32_t LID_RESPONSE_STATUS = 0x8218;          // PT_LONG
constexpr uint32_t LID_RECURRING = 0x8223;                // PT_BOOLEAN
constexpr uint32_t LID_INTENDED_BUSY_STATUS = 0x8224;     // PT_LONG
constexpr uint32_t LID_EXCEPTION_REPLACE_TIME = 0x8228;   // PT_SYSTIME
constexpr uint32_t LID_FINVITED = 0x8229;                 // PT_BOOLEAN
constexpr uint32_t LID_RECURRENCE_TYPE = 0x8231;          // PT_LONG
constexpr uint32_t LID_RECURRENCE_PATTERN = 0x8232;       // PT_UNICODE, in words
constexpr uint32_t LID_TIME_ZONE_STRUCT = 0x8233;         // PT_BINARY
constexpr uint32_t LID_TIME_ZONE_DESCRIPTION = 0x8234;    // PT_UNICODE
constexpr uint32_t LID_CLIP_START = 0x8235;               // PT_SYSTIME
constexpr uint32_t LID_CLIP_END = 0x8236;                 // PT_SYSTIME
constexpr uint32_t LID_ALL_ATTENDEES_STRING = 0x8238;     // PT_UNICODE
constexpr uint32_t LID_TO_ATTENDEES_STRING = 0x823B;
constexpr uint32_t LID_CC_ATTENDEES_STRING = 0x823C;
constexpr uint32_t LID_TZ_DEFINITION_START_DISPLAY = 0x825E;  // PT_BINARY
constexpr uint32_t LID_TZ_DEFINITION_END_DISPLAY = 0x825F;
constexpr uint32_t LID_TZ_DEFINITION_RECUR = 0x8260;
// PSETID_Common
constexpr uint32_t LID_REMINDER_DELTA = 0x8501;        // PT_LONG, minutes before the start
constexpr uint32_t LID_REMINDER_TIME = 0x8502;         // PT_SYSTIME
constexpr uint32_t LID_REMINDER_SET = 0x8503;          // PT_BOOLEAN
constexpr uint32_t LID_PRIVATE = 0x8506;               // PT_BOOLEAN
constexpr uint32_t LID_SIDE_EFFECTS = 0x8510;          // PT_LONG
constexpr uint32_t LID_COMMON_START = 0x8516;          // PT_SYSTIME
constexpr uint32_t LID_COMMON_END = 0x8517;            // PT_SYSTIME
constexpr uint32_t LID_REMINDER_SIGNAL_TIME = 0x8560;  // PT_SYSTIME
// PSETID_Meeting
constexpr uint32_t LID_GLOBAL_OBJECT_ID = 0x0003;        // PT_BINARY
constexpr uint32_t LID_CLEAN_GLOBAL_OBJECT_ID = 0x0023;  // PT_BINARY

// PidLidBusyStatus
constexpr int32_t BUSY_FREE = 0;
constexpr int32_t BUSY_TENTATIVE = 1;
constexpr int32_t BUSY_BUSY = 2;
constexpr int32_t BUSY_OOF = 3;
// PidLidAppointmentStateFlags
constexpr int32_t ASF_MEETING = 0x1;
constexpr int32_t ASF_RECEIVED = 0x2;
constexpr int32_t ASF_CANCELED = 0x4;
// PidLidResponseStatus and PR_RECIPIENT_TRACKSTATUS
constexpr int32_t RESPONSE_NONE = 0;
constexpr int32_t RESPONSE_ORGANIZED = 1;
constexpr int32_t RESPONSE_TENTATIVE = 2;
constexpr int32_t RESPONSE_ACCEPTED = 3;
constexpr int32_t RESPONSE_DECLINED = 4;
constexpr int32_t RESPONSE_NOT_RESPONDED = 5;
// PR_RECIPIENT_FLAGS
constexpr int32_t RECIP_SENDABLE = 0x1;
constexpr int32_t RECIP_ORGANIZER = 0x2;
// PR_ICON_INDEX
constexpr int32_t ICON_APPOINTMENT = 0x400;
constexpr int32_t ICON_RECURRING_APPOINTMENT = 0x401;
constexpr int32_t ICON_MEETING = 0x402;
constexpr int32_t ICON_RECURRING_MEETING = 0x403;

}  // namespace bv::mailstore::mapi

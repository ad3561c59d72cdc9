// The properties of a task (IPM.Task, [MS-OXOTASK]): named properties of PSETID_Task.
#pragma once
#include <cstdint>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mapi {

// PSETID_Task {00062003-0000-0000-C000-000000000046}
inline constexpr PropertyName::Guid PSETID_Task{0x03, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline PropertyName TaskLid(uint32_t lid) { return PropertyName{PSETID_Task, lid}; }

constexpr uint32_t LID_TASK_STATUS = 0x8101;            // PT_LONG
constexpr uint32_t LID_PERCENT_COMPLETE = 0x8102;       // PT_DOUBLE, 0.0 .. 1.0
constexpr uint32_t LID_TEAM_TASK = 0x8103;              // PT_BOOLEAN
constexpr uint32_t LID_TASK_START_DATE = 0x8104;        // PT_SYSTIME, the local date at midnight
constexpr uint32_t LID_TASK_DUE_DATE = 0x8105;          // PT_SYSTIME, the local date at midnight
constexpr uint32_t LID_TASK_DATE_COMPLETED = 0x810F;    // PT_SYSTIME
constexpr uint32_t LID_TASK_STATE = 0x8113;             // PT_LONG
constexpr uint32_t LID_TASK_COMPLETE = 0x811C;          // PT_BOOLEAN
constexpr uint32_t LID_TASK_FRECURRING = 0x8126;        // PT_BOOLEAN
constexpr uint32_t LID_TASK_OWNERSHIP = 0x8129;         // PT_LONG
constexpr uint32_t LID_TASK_ACCEPTANCE_STATE = 0x812A;  // PT_LONG

// PidLidTaskStatus
constexpr int32_t TASK_NOT_STARTED = 0;
constexpr int32_t TASK_IN_PROGRESS = 1;
constexpr int32_t TASK_COMPLETE = 2;
constexpr int32_t TASK_WAITING = 3;
constexpr int32_t TASK_DEFERRED = 4;

// PR_ICON_INDEX of a task
constexpr int32_t ICON_TASK = 0x500;

}  // namespace bv::mailstore::mapi

// Column sets of the template tables ([MS-PST] §2.4.4.4.1, §2.4.4.5.1, §2.4.4.6.1,
// §2.4.8.6.2.1, §2.4.5.3.1, §2.4.6.1.1) and the folder/message properties we copy
// into table rows.
#pragma once
#include <cstdint>
#include <vector>

namespace bv::mailstore::pst {

const std::vector<uint32_t>& HierarchyTableColumns();
const std::vector<uint32_t>& ContentsTableColumns();
const std::vector<uint32_t>& AssocContentsTableColumns();
const std::vector<uint32_t>& SearchContentsTableColumns();
const std::vector<uint32_t>& RecipientTableColumns();
const std::vector<uint32_t>& AttachmentTableColumns();

// Folder object PC properties ([MS-PST] §2.4.4.1.1).
constexpr uint32_t PidTagContentCount = 0x36020003;
constexpr uint32_t PidTagContentUnreadCount = 0x36030003;
constexpr uint32_t PidTagSubfolders = 0x360A000B;
constexpr uint32_t PidTagContainerClass = 0x3613001F;
constexpr uint32_t PidTagComment = 0x3004001F;
// Message store ([MS-PST] §2.4.3.1).
constexpr uint32_t PidTagIpmSubTreeEntryId = 0x35E00102;
constexpr uint32_t PidTagIpmWastebasketEntryId = 0x35E30102;
constexpr uint32_t PidTagFinderEntryId = 0x35E70102;
constexpr uint32_t PidTagValidFolderMask = 0x35DF0003;
// Name-to-ID map ([MS-PST] §2.4.7).
constexpr uint32_t PidTagNameidBucketCount = 0x00010003;
constexpr uint32_t PidTagNameidStreamGuid = 0x00020102;
constexpr uint32_t PidTagNameidStreamEntry = 0x00030102;
constexpr uint32_t PidTagNameidStreamString = 0x00040102;
// Tables.
constexpr uint32_t PidTagLtpParentNid = 0x67F10003;
constexpr uint32_t PidTagAttachDataObject = 0x3701000D;

}  // namespace bv::mailstore::pst

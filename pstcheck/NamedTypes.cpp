// Long IDs and types from the canonical property reference of each property set,
// where an entry's type is given; string types are PT_UNICODE here.
#include "NamedTypes.h"

#include <algorithm>
#include <iterator>

namespace bv::pstcheck {
namespace {

using Guid = std::array<uint8_t, 16>;

// {data1-data2-data3-data4}: the first three fields little-endian, as stored.
constexpr Guid MakeGuid(uint32_t d1, uint16_t d2, uint16_t d3, uint64_t d4) {
    Guid g{};
    for (int i = 0; i < 4; ++i) g[i] = uint8_t(d1 >> (8 * i));
    for (int i = 0; i < 2; ++i) g[4 + i] = uint8_t(d2 >> (8 * i));
    for (int i = 0; i < 2; ++i) g[6 + i] = uint8_t(d3 >> (8 * i));
    for (int i = 0; i < 8; ++i) g[8 + i] = uint8_t(d4 >> (8 * (7 - i)));
    return g;
}
constexpr uint64_t kOfficeTail = 0xC000000000000046ull;

enum Set : uint8_t { kAddress, kAppointment, kCommon, kLog, kMeeting, kNote, kPostRss, kRemote, kReport, kSharing, kTask, kSetCount };

constexpr Guid kSets[kSetCount] = {
    MakeGuid(0x00062004, 0, 0, kOfficeTail),  // PSETID_Address
    MakeGuid(0x00062002, 0, 0, kOfficeTail),  // PSETID_Appointment
    MakeGuid(0x00062008, 0, 0, kOfficeTail),  // PSETID_Common
    MakeGuid(0x0006200A, 0, 0, kOfficeTail),  // PSETID_Log
    MakeGuid(0x6ED8DA90, 0x450B, 0x101B, 0x98DA00AA003F1305ull),  // PSETID_Meeting
    MakeGuid(0x0006200E, 0, 0, kOfficeTail),  // PSETID_Note
    MakeGuid(0x00062041, 0, 0, kOfficeTail),  // PSETID_PostRss
    MakeGuid(0x00062014, 0, 0, kOfficeTail),  // PSETID_Remote
    MakeGuid(0x00062013, 0, 0, kOfficeTail),  // PSETID_Report
    MakeGuid(0x00062040, 0, 0, kOfficeTail),  // PSETID_Sharing
    MakeGuid(0x00062003, 0, 0, kOfficeTail),  // PSETID_Task
};
constexpr Guid kPublicStrings = MakeGuid(0x00020329, 0, 0, kOfficeTail);
constexpr Guid kInternetHeaders = MakeGuid(0x00020386, 0, 0, kOfficeTail);

struct Known {
    Set set;
    uint16_t lid;
    uint16_t type;
    const char* name;
};

// Sorted by set, then long ID.
constexpr Known kKnown[] = {
    {kAddress, 0x8005, 0x001F, "PidLidFileUnder"},
    {kAddress, 0x8006, 0x0003, "PidLidFileUnderId"},
    {kAddress, 0x8007, 0x1003, "PidLidContactItemData"},
    {kAddress, 0x8015, 0x000B, "PidLidHasPicture"},
    {kAddress, 0x801A, 0x001F, "PidLidHomeAddress"},
    {kAddress, 0x801B, 0x001F, "PidLidWorkAddress"},
    {kAddress, 0x801C, 0x001F, "PidLidOtherAddress"},
    {kAddress, 0x8022, 0x0003, "PidLidPostalAddressId"},
    {kAddress, 0x8023, 0x0003, "PidLidContactCharacterSet"},
    {kAddress, 0x8025, 0x000B, "PidLidAutoLog"},
    {kAddress, 0x8026, 0x1003, "PidLidFileUnderList"},
    {kAddress, 0x8028, 0x1003, "PidLidAddressBookProviderEmailList"},
    {kAddress, 0x8029, 0x0003, "PidLidAddressBookProviderArrayType"},
    {kAddress, 0x802B, 0x001F, "PidLidHtml"},
    {kAddress, 0x802C, 0x001F, "PidLidYomiFirstName"},
    {kAddress, 0x802D, 0x001F, "PidLidYomiLastName"},
    {kAddress, 0x802E, 0x001F, "PidLidYomiCompanyName"},
    {kAddress, 0x8040, 0x0102, "PidLidBusinessCardDisplayDefinition"},
    {kAddress, 0x8041, 0x0102, "PidLidBusinessCardCardPicture"},
    {kAddress, 0x8045, 0x001F, "PidLidWorkAddressStreet"},
    {kAddress, 0x8046, 0x001F, "PidLidWorkAddressCity"},
    {kAddress, 0x8047, 0x001F, "PidLidWorkAddressState"},
    {kAddress, 0x8048, 0x001F, "PidLidWorkAddressPostalCode"},
    {kAddress, 0x8049, 0x001F, "PidLidWorkAddressCountry"},
    {kAddress, 0x804A, 0x001F, "PidLidWorkAddressPostOfficeBox"},
    {kAddress, 0x804C, 0x0003, "PidLidDistributionListChecksum"},
    {kAddress, 0x804D, 0x0102, "PidLidBirthdayEventEntryId"},
    {kAddress, 0x804E, 0x0102, "PidLidAnniversaryEventEntryId"},
    {kAddress, 0x804F, 0x001F, "PidLidContactUserField1"},
    {kAddress, 0x8050, 0x001F, "PidLidContactUserField2"},
    {kAddress, 0x8051, 0x001F, "PidLidContactUserField3"},
    {kAddress, 0x8052, 0x001F, "PidLidContactUserField4"},
    {kAddress, 0x8053, 0x001F, "PidLidDistributionListName"},
    {kAddress, 0x8054, 0x1102, "PidLidDistributionListOneOffMembers"},
    {kAddress, 0x8055, 0x1102, "PidLidDistributionListMembers"},
    {kAddress, 0x8062, 0x001F, "PidLidInstantMessagingAddress"},
    {kAddress, 0x8080, 0x001F, "PidLidEmail1DisplayName"},
    {kAddress, 0x8082, 0x001F, "PidLidEmail1AddressType"},
    {kAddress, 0x8083, 0x001F, "PidLidEmail1EmailAddress"},
    {kAddress, 0x8084, 0x001F, "PidLidEmail1OriginalDisplayName"},
    {kAddress, 0x8085, 0x0102, "PidLidEmail1OriginalEntryId"},
    {kAddress, 0x8090, 0x001F, "PidLidEmail2DisplayName"},
    {kAddress, 0x8092, 0x001F, "PidLidEmail2AddressType"},
    {kAddress, 0x8093, 0x001F, "PidLidEmail2EmailAddress"},
    {kAddress, 0x8094, 0x001F, "PidLidEmail2OriginalDisplayName"},
    {kAddress, 0x8095, 0x0102, "PidLidEmail2OriginalEntryId"},
    {kAddress, 0x80A0, 0x001F, "PidLidEmail3DisplayName"},
    {kAddress, 0x80A2, 0x001F, "PidLidEmail3AddressType"},
    {kAddress, 0x80A3, 0x001F, "PidLidEmail3EmailAddress"},
    {kAddress, 0x80A4, 0x001F, "PidLidEmail3OriginalDisplayName"},
    {kAddress, 0x80A5, 0x0102, "PidLidEmail3OriginalEntryId"},
    {kAddress, 0x80B0, 0x001F, "PidLidFax1DisplayName"},
    {kAddress, 0x80B1, 0x0102, "PidLidFax1EntryId"},
    {kAddress, 0x80B2, 0x001F, "PidLidFax1AddressType"},
    {kAddress, 0x80B3, 0x001F, "PidLidFax1EmailAddress"},
    {kAddress, 0x80B4, 0x001F, "PidLidFax1OriginalDisplayName"},
    {kAddress, 0x80B5, 0x0102, "PidLidFax1OriginalEntryId"},
    {kAddress, 0x80B6, 0x000B, "PidLidFax1RichTextFormat"},
    {kAddress, 0x80B7, 0x001F, "PidLidFax1EmailType"},
    {kAddress, 0x80C0, 0x001F, "PidLidFax2DisplayName"},
    {kAddress, 0x80C1, 0x0102, "PidLidFax2EntryId"},
    {kAddress, 0x80C2, 0x001F, "PidLidFax2AddressType"},
    {kAddress, 0x80C3, 0x001F, "PidLidFax2EmailAddress"},
    {kAddress, 0x80C4, 0x001F, "PidLidFax2OriginalDisplayName"},
    {kAddress, 0x80C5, 0x0102, "PidLidFax2OriginalEntryId"},
    {kAddress, 0x80C6, 0x000B, "PidLidFax2RichTextFormat"},
    {kAddress, 0x80C7, 0x001F, "PidLidFax2EmailType"},
    {kAddress, 0x80D0, 0x001F, "PidLidFax3DisplayName"},
    {kAddress, 0x80D1, 0x0102, "PidLidFax3EntryId"},
    {kAddress, 0x80D2, 0x001F, "PidLidFax3AddressType"},
    {kAddress, 0x80D3, 0x001F, "PidLidFax3EmailAddress"},
    {kAddress, 0x80D4, 0x001F, "PidLidFax3OriginalDisplayName"},
    {kAddress, 0x80D5, 0x0102, "PidLidFax3OriginalEntryId"},
    {kAddress, 0x80D6, 0x000B, "PidLidFax3RichTextFormat"},
    {kAddress, 0x80D7, 0x001F, "PidLidFax3EmailType"},
    {kAddress, 0x80D8, 0x001F, "PidLidFreeBusyLocation"},
    {kAddress, 0x80D9, 0x1102, "PidLidUserX509Certificate"},
    {kAddress, 0x80DA, 0x001F, "PidLidHomeAddressCountryCode"},
    {kAddress, 0x80DB, 0x001F, "PidLidWorkAddressCountryCode"},
    {kAddress, 0x80DC, 0x001F, "PidLidOtherAddressCountryCode"},
    {kAddress, 0x80DD, 0x001F, "PidLidAddressCountryCode"},
    {kAddress, 0x80DE, 0x0040, "PidLidBirthdayLocal"},
    {kAddress, 0x80DF, 0x0040, "PidLidWeddingAnniversaryLocal"},
    {kAppointment, 0x8200, 0x000B, "PidLidSendMeetingAsIcal"},
    {kAppointment, 0x8201, 0x0003, "PidLidAppointmentSequence"},
    {kAppointment, 0x8202, 0x0040, "PidLidAppointmentSequenceTime"},
    {kAppointment, 0x8203, 0x0003, "PidLidAppointmentLastSequence"},
    {kAppointment, 0x8204, 0x0003, "PidLidChangeHighlight"},
    {kAppointment, 0x8205, 0x0003, "PidLidBusyStatus"},
    {kAppointment, 0x8206, 0x000B, "PidLidFExceptionalBody"},
    {kAppointment, 0x8207, 0x0003, "PidLidAppointmentAuxiliaryFlags"},
    {kAppointment, 0x8208, 0x001F, "PidLidLocation"},
    {kAppointment, 0x8209, 0x001F, "PidLidMeetingWorkspaceUrl"},
    {kAppointment, 0x820A, 0x000B, "PidLidForwardInstance"},
    {kAppointment, 0x820C, 0x1102, "PidLidLinkedTaskItems"},
    {kAppointment, 0x820D, 0x0040, "PidLidAppointmentStartWhole"},
    {kAppointment, 0x820E, 0x0040, "PidLidAppointmentEndWhole"},
    {kAppointment, 0x8213, 0x0003, "PidLidAppointmentDuration"},
    {kAppointment, 0x8214, 0x0003, "PidLidAppointmentColor"},
    {kAppointment, 0x8215, 0x000B, "PidLidAppointmentSubType"},
    {kAppointment, 0x8216, 0x0102, "PidLidAppointmentRecur"},
    {kAppointment, 0x8217, 0x0003, "PidLidAppointmentStateFlags"},
    {kAppointment, 0x8218, 0x0003, "PidLidResponseStatus"},
    {kAppointment, 0x8220, 0x0040, "PidLidAppointmentReplyTime"},
    {kAppointment, 0x8223, 0x000B, "PidLidRecurring"},
    {kAppointment, 0x8224, 0x0003, "PidLidIntendedBusyStatus"},
    {kAppointment, 0x8228, 0x0040, "PidLidExceptionReplaceTime"},
    {kAppointment, 0x8229, 0x000B, "PidLidFInvited"},
    {kAppointment, 0x822B, 0x000B, "PidLidFExceptionalAttendees"},
    {kAppointment, 0x8230, 0x001F, "PidLidAppointmentReplyName"},
    {kAppointment, 0x8231, 0x0003, "PidLidRecurrenceType"},
    {kAppointment, 0x8232, 0x001F, "PidLidRecurrencePattern"},
    {kAppointment, 0x8233, 0x0102, "PidLidTimeZoneStruct"},
    {kAppointment, 0x8234, 0x001F, "PidLidTimeZoneDescription"},
    {kAppointment, 0x8235, 0x0040, "PidLidClipStart"},
    {kAppointment, 0x8236, 0x0040, "PidLidClipEnd"},
    {kAppointment, 0x8237, 0x0102, "PidLidOriginalStoreEntryId"},
    {kAppointment, 0x8238, 0x001F, "PidLidAllAttendeesString"},
    {kAppointment, 0x823A, 0x000B, "PidLidAutoFillLocation"},
    {kAppointment, 0x823B, 0x001F, "PidLidToAttendeesString"},
    {kAppointment, 0x823C, 0x001F, "PidLidCcAttendeesString"},
    {kAppointment, 0x823D, 0x0102, "PidLidAppointmentUnsendableRecipients"},
    {kAppointment, 0x8250, 0x0040, "PidLidAppointmentProposedStartWhole"},
    {kAppointment, 0x8251, 0x0040, "PidLidAppointmentProposedEndWhole"},
    {kAppointment, 0x8256, 0x0003, "PidLidAppointmentProposedDuration"},
    {kAppointment, 0x8257, 0x000B, "PidLidAppointmentCounterProposal"},
    {kAppointment, 0x8259, 0x0003, "PidLidAppointmentProposalNumber"},
    {kAppointment, 0x825A, 0x000B, "PidLidAppointmentNotAllowPropose"},
    {kAppointment, 0x825E, 0x0102, "PidLidAppointmentTimeZoneDefinitionStartDisplay"},
    {kAppointment, 0x825F, 0x0102, "PidLidAppointmentTimeZoneDefinitionEndDisplay"},
    {kAppointment, 0x8260, 0x0102, "PidLidAppointmentTimeZoneDefinitionRecur"},
    {kCommon, 0x8501, 0x0003, "PidLidReminderDelta"},
    {kCommon, 0x8502, 0x0040, "PidLidReminderTime"},
    {kCommon, 0x8503, 0x000B, "PidLidReminderSet"},
    {kCommon, 0x8506, 0x000B, "PidLidPrivate"},
    {kCommon, 0x850E, 0x000B, "PidLidAgingDontAgeMe"},
    {kCommon, 0x850F, 0x0102, "PidLidFormStorage"},
    {kCommon, 0x8510, 0x0003, "PidLidSideEffects"},
    {kCommon, 0x8513, 0x0102, "PidLidPageDirStream"},
    {kCommon, 0x8514, 0x000B, "PidLidSmartNoAttach"},
    {kCommon, 0x8516, 0x0040, "PidLidCommonStart"},
    {kCommon, 0x8517, 0x0040, "PidLidCommonEnd"},
    {kCommon, 0x8518, 0x0003, "PidLidTaskMode"},
    {kCommon, 0x8519, 0x0102, "PidLidTaskGlobalId"},
    {kCommon, 0x851A, 0x0003, "PidLidAutoProcessState"},
    {kCommon, 0x851B, 0x0102, "PidLidFormPropStream"},
    {kCommon, 0x851C, 0x000B, "PidLidReminderOverride"},
    {kCommon, 0x851E, 0x000B, "PidLidReminderPlaySound"},
    {kCommon, 0x851F, 0x001F, "PidLidReminderFileParameter"},
    {kCommon, 0x8520, 0x0102, "PidLidVerbStream"},
    {kCommon, 0x8524, 0x001F, "PidLidVerbResponse"},
    {kCommon, 0x8530, 0x001F, "PidLidFlagRequest"},
    {kCommon, 0x8534, 0x001F, "PidLidMileage"},
    {kCommon, 0x8535, 0x001F, "PidLidBilling"},
    {kCommon, 0x8536, 0x001F, "PidLidNonSendableTo"},
    {kCommon, 0x8537, 0x001F, "PidLidNonSendableCc"},
    {kCommon, 0x8538, 0x001F, "PidLidNonSendableBcc"},
    {kCommon, 0x8539, 0x101F, "PidLidCompanies"},
    {kCommon, 0x853A, 0x101F, "PidLidContacts"},
    {kCommon, 0x8540, 0x0102, "PidLidPropertyDefinitionStream"},
    {kCommon, 0x8541, 0x0102, "PidLidScriptStream"},
    {kCommon, 0x8543, 0x1003, "PidLidNonSendToTrackStatus"},
    {kCommon, 0x8544, 0x1003, "PidLidNonSendCcTrackStatus"},
    {kCommon, 0x8545, 0x1003, "PidLidNonSendableBccTrackStatus"},
    {kCommon, 0x8549, 0x0040, "PidLidRecallTime"},
    {kCommon, 0x8552, 0x0003, "PidLidCurrentVersion"},
    {kCommon, 0x8560, 0x0040, "PidLidReminderSignalTime"},
    {kCommon, 0x8570, 0x0003, "PidLidImapDeleted"},
    {kCommon, 0x8578, 0x0003, "PidLidHeaderItem"},
    {kCommon, 0x8580, 0x001F, "PidLidInternetAccountName"},
    {kCommon, 0x8581, 0x001F, "PidLidInternetAccountStamp"},
    {kCommon, 0x8582, 0x000B, "PidLidUseTnef"},
    {kCommon, 0x8584, 0x0102, "PidLidContactLinkSearchKey"},
    {kCommon, 0x8585, 0x0102, "PidLidContactLinkEntry"},
    {kCommon, 0x8586, 0x001F, "PidLidContactLinkName"},
    {kCommon, 0x8593, 0x0003, "PidLidImageAttachmentsCompressionLevel"},
    {kCommon, 0x859B, 0x000B, "PidLidIsInterpersonalFax"},
    {kCommon, 0x859C, 0x0102, "PidLidSpamOriginalFolder"},
    {kCommon, 0x85A0, 0x0040, "PidLidToDoOrdinalDate"},
    {kCommon, 0x85A1, 0x001F, "PidLidToDoSubOrdinal"},
    {kCommon, 0x85A4, 0x001F, "PidLidToDoTitle"},
    {kCommon, 0x85A5, 0x000B, "PidLidFShouldTNEF"},
    {kCommon, 0x85B5, 0x000B, "PidLidClassified"},
    {kCommon, 0x85B6, 0x001F, "PidLidClassification"},
    {kCommon, 0x85B7, 0x001F, "PidLidClassificationDescription"},
    {kCommon, 0x85B8, 0x001F, "PidLidClassificationGuid"},
    {kCommon, 0x85B9, 0x0003, "PidLidOfflineStatus"},
    {kCommon, 0x85BA, 0x000B, "PidLidClassificationKeep"},
    {kCommon, 0x85BD, 0x0102, "PidLidReferenceEntryId"},
    {kCommon, 0x85BF, 0x0040, "PidLidValidFlagStringProof"},
    {kCommon, 0x85C0, 0x0003, "PidLidFlagString"},
    {kLog, 0x8700, 0x001F, "PidLidLogType"},
    {kLog, 0x8706, 0x0040, "PidLidLogStart"},
    {kLog, 0x8707, 0x0003, "PidLidLogDuration"},
    {kLog, 0x8708, 0x0040, "PidLidLogEnd"},
    {kLog, 0x870C, 0x0003, "PidLidLogFlags"},
    {kLog, 0x870E, 0x000B, "PidLidLogDocumentPrinted"},
    {kLog, 0x870F, 0x000B, "PidLidLogDocumentSaved"},
    {kLog, 0x8710, 0x000B, "PidLidLogDocumentRouted"},
    {kLog, 0x8711, 0x000B, "PidLidLogDocumentPosted"},
    {kLog, 0x8712, 0x001F, "PidLidLogTypeDesc"},
    {kMeeting, 0x0001, 0x0040, "PidLidAttendeeCriticalChange"},
    {kMeeting, 0x0002, 0x001F, "PidLidWhere"},
    {kMeeting, 0x0003, 0x0102, "PidLidGlobalObjectId"},
    {kMeeting, 0x0004, 0x000B, "PidLidIsSilent"},
    {kMeeting, 0x0005, 0x000B, "PidLidIsRecurring"},
    {kMeeting, 0x000A, 0x000B, "PidLidIsException"},
    {kMeeting, 0x000C, 0x0003, "PidLidTimeZone"},
    {kMeeting, 0x001A, 0x0040, "PidLidOwnerCriticalChange"},
    {kMeeting, 0x001C, 0x0003, "PidLidCalendarType"},
    {kMeeting, 0x0023, 0x0102, "PidLidCleanGlobalObjectId"},
    {kMeeting, 0x0024, 0x001F, "PidLidAppointmentMessageClass"},
    {kMeeting, 0x0026, 0x0003, "PidLidMeetingType"},
    {kMeeting, 0x0028, 0x001F, "PidLidOldLocation"},
    {kMeeting, 0x0029, 0x0040, "PidLidOldWhenStartWhole"},
    {kMeeting, 0x002A, 0x0040, "PidLidOldWhenEndWhole"},
    {kNote, 0x8B00, 0x0003, "PidLidNoteColor"},
    {kNote, 0x8B02, 0x0003, "PidLidNoteWidth"},
    {kNote, 0x8B03, 0x0003, "PidLidNoteHeight"},
    {kNote, 0x8B04, 0x0003, "PidLidNoteX"},
    {kNote, 0x8B05, 0x0003, "PidLidNoteY"},
    {kPostRss, 0x8900, 0x001F, "PidLidPostRssChannelLink"},
    {kPostRss, 0x8904, 0x001F, "PidLidPostRssChannel"},
    {kRemote, 0x8F01, 0x0102, "PidLidRemoteEntryId"},
    {kRemote, 0x8F03, 0x001F, "PidLidRemoteTransport"},
    {kRemote, 0x8F04, 0x0003, "PidLidRemoteTransferTime"},
    {kRemote, 0x8F05, 0x0003, "PidLidRemoteTransferSize"},
    {kRemote, 0x8F06, 0x0102, "PidLidRemoteSearchKey"},
    {kRemote, 0x8F07, 0x000B, "PidLidRemoteAttachment"},
    {kReport, 0x8D00, 0x0040, "PidLidResendTime"},
    {kSharing, 0x8A01, 0x0102, "PidLidSharingProviderGuid"},
    {kSharing, 0x8A02, 0x001F, "PidLidSharingProviderName"},
    {kSharing, 0x8A03, 0x001F, "PidLidSharingProviderUrl"},
    {kSharing, 0x8A05, 0x001F, "PidLidSharingRemoteName"},
    {kSharing, 0x8A06, 0x001F, "PidLidSharingRemoteUid"},
    {kSharing, 0x8A07, 0x001F, "PidLidSharingInitiatorName"},
    {kSharing, 0x8A08, 0x001F, "PidLidSharingInitiatorSmtp"},
    {kSharing, 0x8A09, 0x0102, "PidLidSharingInitiatorEntryId"},
    {kSharing, 0x8A14, 0x001F, "PidLidSharingLocalType"},
    {kSharing, 0x8A17, 0x0003, "PidLidSharingCapabilities"},
    {kSharing, 0x8A18, 0x0003, "PidLidSharingFlavor"},
    {kSharing, 0x8A1D, 0x001F, "PidLidSharingRemoteType"},
    {kSharing, 0x8A24, 0x001F, "PidLidSharingConfigurationUrl"},
    {kSharing, 0x8A27, 0x0003, "PidLidSharingResponseType"},
    {kSharing, 0x8A28, 0x0040, "PidLidSharingResponseTime"},
    {kSharing, 0x8A48, 0x001F, "PidLidSharingRemoteStoreUid"},
    {kTask, 0x8101, 0x0003, "PidLidTaskStatus"},
    {kTask, 0x8102, 0x0005, "PidLidPercentComplete"},
    {kTask, 0x8103, 0x000B, "PidLidTeamTask"},
    {kTask, 0x8104, 0x0040, "PidLidTaskStartDate"},
    {kTask, 0x8105, 0x0040, "PidLidTaskDueDate"},
    {kTask, 0x8107, 0x000B, "PidLidTaskResetReminder"},
    {kTask, 0x8108, 0x000B, "PidLidTaskAccepted"},
    {kTask, 0x8109, 0x000B, "PidLidTaskDeadOccurrence"},
    {kTask, 0x810F, 0x0040, "PidLidTaskDateCompleted"},
    {kTask, 0x8110, 0x0003, "PidLidTaskActualEffort"},
    {kTask, 0x8111, 0x0003, "PidLidTaskEstimatedEffort"},
    {kTask, 0x8112, 0x0003, "PidLidTaskVersion"},
    {kTask, 0x8113, 0x0003, "PidLidTaskState"},
    {kTask, 0x8115, 0x0040, "PidLidTaskLastUpdate"},
    {kTask, 0x8116, 0x0102, "PidLidTaskRecurrence"},
    {kTask, 0x8117, 0x0102, "PidLidTaskAssigners"},
    {kTask, 0x8119, 0x000B, "PidLidTaskStatusOnComplete"},
    {kTask, 0x811A, 0x0003, "PidLidTaskHistory"},
    {kTask, 0x811B, 0x000B, "PidLidTaskUpdates"},
    {kTask, 0x811C, 0x000B, "PidLidTaskComplete"},
    {kTask, 0x811E, 0x000B, "PidLidTaskFCreator"},
    {kTask, 0x811F, 0x001F, "PidLidTaskOwner"},
    {kTask, 0x8120, 0x0003, "PidLidTaskMultipleRecipients"},
    {kTask, 0x8121, 0x001F, "PidLidTaskAssigner"},
    {kTask, 0x8122, 0x001F, "PidLidTaskLastUser"},
    {kTask, 0x8123, 0x0003, "PidLidTaskOrdinal"},
    {kTask, 0x8125, 0x001F, "PidLidTaskLastDelegate"},
    {kTask, 0x8126, 0x000B, "PidLidTaskFRecurring"},
    {kTask, 0x8129, 0x0003, "PidLidTaskOwnership"},
    {kTask, 0x812A, 0x0003, "PidLidTaskAcceptanceState"},
    {kTask, 0x812C, 0x000B, "PidLidTaskFFixOffline"},
};

uint16_t Base(uint16_t type) {
    type &= 0x1FFF;
    return (type & 0x0FFF) == 0x001E ? uint16_t((type & 0x1000) | 0x001F) : type;
}

}  // namespace

bool SameNamedType(uint16_t expected, uint16_t stored) {
    // Outlook keeps some GUIDs documented as binary as PT_CLSID (PidLidSharingProviderGuid).
    if (expected == 0x0102 && stored == 0x0048) return true;
    return Base(expected) == Base(stored);
}

NamedType KnownNamedType(const NamedPropertyName& name) {
    if (name.isString) {
        if (name.guid == kPublicStrings && name.text == "Keywords") return {0x101F, "Keywords (PS_PUBLIC_STRINGS)"};
        if (name.guid == kInternetHeaders) return {0x001F, "header \"" + name.text + "\" (PS_INTERNET_HEADERS)"};
        return {};
    }
    const Guid* set = std::find(std::begin(kSets), std::end(kSets), name.guid);
    if (set == std::end(kSets) || name.lid > 0xFFFF) return {};
    const Known key{Set(set - std::begin(kSets)), uint16_t(name.lid), 0, nullptr};
    auto less = [](const Known& a, const Known& b) { return a.set != b.set ? a.set < b.set : a.lid < b.lid; };
    auto it = std::lower_bound(std::begin(kKnown), std::end(kKnown), key, less);
    if (it == std::end(kKnown) || it->set != key.set || it->lid != key.lid) return {};
    return {it->type, it->name};
}

}  // namespace bv::pstcheck

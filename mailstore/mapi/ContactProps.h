// The properties of a contact item (IPM.Contact, [MS-OXOCNTC]): tags of the contact's
// names, phones and addresses, and the named properties of PSETID_Address.
#pragma once
#include <cstdint>

#include "mailstore/mapi/Message.h"

namespace bv::mailstore::mapi {

// PSETID_Address {00062004-0000-0000-C000-000000000046}
inline constexpr PropertyName::Guid PSETID_Address{0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
inline PropertyName AddressLid(uint32_t lid) { return PropertyName{PSETID_Address, lid}; }

// Names
constexpr uint32_t PR_GENERATION = 0x3A05001F;  // suffix ("Jr.")
constexpr uint32_t PR_GIVEN_NAME = 0x3A06001F;
constexpr uint32_t PR_INITIALS = 0x3A0A001F;
constexpr uint32_t PR_SURNAME = 0x3A11001F;
constexpr uint32_t PR_MIDDLE_NAME = 0x3A44001F;
constexpr uint32_t PR_DISPLAY_NAME_PREFIX = 0x3A45001F;
constexpr uint32_t PR_NICKNAME = 0x3A4F001F;
constexpr uint32_t PR_SPOUSE_NAME = 0x3A48001F;
constexpr uint32_t PR_GENDER = 0x3A4D0002;  // 1 female, 2 male
// Work
constexpr uint32_t PR_COMPANY_NAME = 0x3A16001F;
constexpr uint32_t PR_TITLE = 0x3A17001F;
constexpr uint32_t PR_DEPARTMENT_NAME = 0x3A18001F;
constexpr uint32_t PR_OFFICE_LOCATION = 0x3A19001F;
constexpr uint32_t PR_PROFESSION = 0x3A46001F;
constexpr uint32_t PR_MANAGER_NAME = 0x3A4E001F;
constexpr uint32_t PR_ASSISTANT = 0x3A30001F;
// Dates
constexpr uint32_t PR_WEDDING_ANNIVERSARY = 0x3A410040;
constexpr uint32_t PR_BIRTHDAY = 0x3A420040;
// Web pages
constexpr uint32_t PR_PERSONAL_HOME_PAGE = 0x3A50001F;
constexpr uint32_t PR_BUSINESS_HOME_PAGE = 0x3A51001F;
// Phones
constexpr uint32_t PR_CALLBACK_TELEPHONE_NUMBER = 0x3A02001F;
constexpr uint32_t PR_BUSINESS_TELEPHONE_NUMBER = 0x3A08001F;
constexpr uint32_t PR_HOME_TELEPHONE_NUMBER = 0x3A09001F;
constexpr uint32_t PR_PRIMARY_TELEPHONE_NUMBER = 0x3A1A001F;
constexpr uint32_t PR_BUSINESS2_TELEPHONE_NUMBER = 0x3A1B001F;
constexpr uint32_t PR_MOBILE_TELEPHONE_NUMBER = 0x3A1C001F;
constexpr uint32_t PR_RADIO_TELEPHONE_NUMBER = 0x3A1D001F;
constexpr uint32_t PR_CAR_TELEPHONE_NUMBER = 0x3A1E001F;
constexpr uint32_t PR_OTHER_TELEPHONE_NUMBER = 0x3A1F001F;
constexpr uint32_t PR_PAGER_TELEPHONE_NUMBER = 0x3A21001F;
constexpr uint32_t PR_PRIMARY_FAX_NUMBER = 0x3A23001F;
constexpr uint32_t PR_BUSINESS_FAX_NUMBER = 0x3A24001F;
constexpr uint32_t PR_HOME_FAX_NUMBER = 0x3A25001F;
constexpr uint32_t PR_TELEX_NUMBER = 0x3A2C001F;
constexpr uint32_t PR_ISDN_NUMBER = 0x3A2D001F;
constexpr uint32_t PR_ASSISTANT_TELEPHONE_NUMBER = 0x3A2E001F;
constexpr uint32_t PR_HOME2_TELEPHONE_NUMBER = 0x3A2F001F;
constexpr uint32_t PR_TTYTDD_PHONE_NUMBER = 0x3A4B001F;
constexpr uint32_t PR_COMPANY_MAIN_PHONE_NUMBER = 0x3A57001F;
// The mailing address (a copy of the home, work or other address)
constexpr uint32_t PR_POSTAL_ADDRESS = 0x3A15001F;
constexpr uint32_t PR_COUNTRY = 0x3A26001F;
constexpr uint32_t PR_LOCALITY = 0x3A27001F;
constexpr uint32_t PR_STATE_OR_PROVINCE = 0x3A28001F;
constexpr uint32_t PR_STREET_ADDRESS = 0x3A29001F;
constexpr uint32_t PR_POSTAL_CODE = 0x3A2A001F;
constexpr uint32_t PR_POST_OFFICE_BOX = 0x3A2B001F;
// Home address
constexpr uint32_t PR_HOME_ADDRESS_CITY = 0x3A59001F;
constexpr uint32_t PR_HOME_ADDRESS_COUNTRY = 0x3A5A001F;
constexpr uint32_t PR_HOME_ADDRESS_POSTAL_CODE = 0x3A5B001F;
constexpr uint32_t PR_HOME_ADDRESS_STATE_OR_PROVINCE = 0x3A5C001F;
constexpr uint32_t PR_HOME_ADDRESS_STREET = 0x3A5D001F;
constexpr uint32_t PR_HOME_ADDRESS_POST_OFFICE_BOX = 0x3A5E001F;
// Other address
constexpr uint32_t PR_OTHER_ADDRESS_CITY = 0x3A5F001F;
constexpr uint32_t PR_OTHER_ADDRESS_COUNTRY = 0x3A60001F;
constexpr uint32_t PR_OTHER_ADDRESS_POSTAL_CODE = 0x3A61001F;
constexpr uint32_t PR_OTHER_ADDRESS_STATE_OR_PROVINCE = 0x3A62001F;
constexpr uint32_t PR_OTHER_ADDRESS_STREET = 0x3A63001F;
constexpr uint32_t PR_OTHER_ADDRESS_POST_OFFICE_BOX = 0x3A64001F;
// The contact picture attachment
constexpr uint32_t PR_ATTACHMENT_CONTACTPHOTO = 0x7FFF000B;

// PSETID_Address LIDs
constexpr uint32_t LID_FILE_UNDER = 0x8005;             // PT_UNICODE
constexpr uint32_t LID_FILE_UNDER_ID = 0x8006;          // PT_LONG
constexpr uint32_t LID_DEPARTMENT = 0x8010;             // PT_UNICODE
constexpr uint32_t LID_HAS_PICTURE = 0x8015;            // PT_BOOLEAN
constexpr uint32_t LID_HOME_ADDRESS = 0x801A;           // PT_UNICODE, the whole address
constexpr uint32_t LID_WORK_ADDRESS = 0x801B;
constexpr uint32_t LID_OTHER_ADDRESS = 0x801C;
constexpr uint32_t LID_POSTAL_ADDRESS_ID = 0x8022;      // PT_LONG: which one is the mailing address
constexpr uint32_t LID_ADDRESS_BOOK_EMAIL_LIST = 0x8028;  // PT_MV_LONG
constexpr uint32_t LID_ADDRESS_BOOK_ARRAY_TYPE = 0x8029;  // PT_LONG
constexpr uint32_t LID_HTML = 0x802B;                   // PT_UNICODE, the web page
constexpr uint32_t LID_WORK_ADDRESS_STREET = 0x8045;
constexpr uint32_t LID_WORK_ADDRESS_CITY = 0x8046;
constexpr uint32_t LID_WORK_ADDRESS_STATE = 0x8047;
constexpr uint32_t LID_WORK_ADDRESS_POSTAL_CODE = 0x8048;
constexpr uint32_t LID_WORK_ADDRESS_COUNTRY = 0x8049;
constexpr uint32_t LID_WORK_ADDRESS_PO_BOX = 0x804A;
constexpr uint32_t LID_INSTANT_MESSAGING_ADDRESS = 0x8062;
// Email1..3: the LID of Email1's field plus 0x10 per address.
constexpr uint32_t LID_EMAIL1_DISPLAY_NAME = 0x8080;
constexpr uint32_t LID_EMAIL1_ADDRESS_TYPE = 0x8082;
constexpr uint32_t LID_EMAIL1_ADDRESS = 0x8083;
constexpr uint32_t LID_EMAIL1_ORIGINAL_DISPLAY_NAME = 0x8084;
constexpr uint32_t LID_EMAIL1_ORIGINAL_ENTRYID = 0x8085;
constexpr uint32_t kEmailLidStep = 0x10;

// PidLidPostalAddressId values
constexpr int32_t POSTAL_ADDRESS_NONE = 0;
constexpr int32_t POSTAL_ADDRESS_HOME = 1;
constexpr int32_t POSTAL_ADDRESS_WORK = 2;
constexpr int32_t POSTAL_ADDRESS_OTHER = 3;

// PidLidFileUnderId values
constexpr int32_t FILE_UNDER_DISPLAY_NAME = 0x3001;
constexpr int32_t FILE_UNDER_COMPANY = 0x3A16;
constexpr int32_t FILE_UNDER_SURNAME_GIVEN_MIDDLE = 0x8017;  // "Surname, Given Middle"

// PR_ICON_INDEX of a contact
constexpr int32_t ICON_CONTACT = 0x00000200;

}  // namespace bv::mailstore::mapi

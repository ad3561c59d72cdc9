# iCalendar files (read with libical): each event as an Outlook appointment. Without
# libical only the reader is built, and it refuses every file.
if(LIBICAL_FOUND)
  target_sources(bv_mailstore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/AppointmentItem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AppointmentRecur.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CalendarIdentity.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CalendarReader.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IcalValues.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TaskItem.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TimeZoneRule.cpp
  )
else()
  target_sources(bv_mailstore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/CalendarReaderUnavailable.cpp)
endif()

# iCalendar files (read with libical): each event as an Outlook appointment.
target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/AppointmentItem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AppointmentRecur.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CalendarReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TimeZoneRule.cpp
)

# vCard files: the cards of a file one at a time, their lines and values, and each
# card as an Outlook contact item.
target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CardIdentity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CardReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ContactItem.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ContentLine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ValueText.cpp
)

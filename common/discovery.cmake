# Discovery and the server choice: announcement parsing, the locate step with its Linux socket,
# the server-name rule and the choice rules. No GUI code.
add_library(vm_discovery STATIC
  ${CMAKE_CURRENT_LIST_DIR}/DeviceRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Announcement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LocateDeviceStep.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServerName.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceChoice.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux/AnnouncementSocket.cpp)
velmora_target_defaults(vm_discovery)
target_link_libraries(vm_discovery PUBLIC vm_registry Threads::Threads)
target_link_libraries(velmora_common INTERFACE vm_discovery)

velmora_add_fuzzer(fuzz_announcement
  SOURCES ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_announcement.cpp
  LIBS vm_discovery)

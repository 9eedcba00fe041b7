# The launcher's logic without any GUI: command line, addresses, opening through the desktop, and
# the dispatch after the server choice. The relay's link lookup is common/relay's.
add_library(vm_launcher_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LauncherCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LauncherHelp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebAddresses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Nethood.cpp)
velmora_target_defaults(vm_launcher_core)
target_link_libraries(vm_launcher_core PUBLIC vm_desktop vm_cli vm_relay)

# The launcher's logic without any GUI: command line, addresses, the relay's link lookup and
# reply, opening through the desktop, and the dispatch after the server choice.
find_package(tinyxml2 REQUIRED)
find_package(CURL REQUIRED)

add_library(vm_launcher_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LauncherCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LauncherHelp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebAddresses.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WebDavLink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RemoteLinkLookup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CurlHttpClient.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Nethood.cpp)
velmora_target_defaults(vm_launcher_core)
target_link_libraries(vm_launcher_core PUBLIC vm_desktop vm_cli tinyxml2::tinyxml2 PRIVATE CURL::libcurl)

velmora_add_fuzzer(fuzz_webdav_reply
  SOURCES ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_webdav_reply.cpp
  LIBS vm_launcher_core)

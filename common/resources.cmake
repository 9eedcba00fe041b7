# Resource bundles and the resource manager.
add_library(vm_resources STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ResourceBundle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ResourceManager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux/ResourceManagerBundle.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux/UserLanguage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux/ProgramDirectory.cpp)
velmora_target_defaults(vm_resources)
target_link_libraries(vm_resources PUBLIC Threads::Threads)
target_link_libraries(velmora_common INTERFACE vm_resources)

velmora_add_fuzzer(fuzz_bundle
  SOURCES ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_bundle.cpp
  LIBS vm_resources)

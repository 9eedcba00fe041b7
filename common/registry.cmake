# The registry store: the hive model and text format, the file-backed store and its accessors.
add_library(vm_registry STATIC
  ${CMAKE_CURRENT_LIST_DIR}/RegistryHive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegistryAccess.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux/RegistryFile.cpp)
velmora_target_defaults(vm_registry)
target_link_libraries(vm_registry PUBLIC Threads::Threads)
target_link_libraries(velmora_common INTERFACE vm_registry)

velmora_add_fuzzer(fuzz_registry_hive
  SOURCES ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_registry_hive.cpp
  LIBS vm_registry)

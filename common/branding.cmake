# settings.ini and the branded texts.
add_library(vm_branding STATIC
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Branding.cpp)
velmora_target_defaults(vm_branding)
target_link_libraries(vm_branding PUBLIC vm_resources)
target_link_libraries(velmora_common INTERFACE vm_branding)

velmora_add_fuzzer(fuzz_ini
  SOURCES ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz_ini.cpp
  LIBS vm_branding)

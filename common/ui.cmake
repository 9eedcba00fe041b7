# wxWidgets pieces shared by both programs.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base adv)

add_library(vm_common_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/IntervalTimer_ui.cpp)
velmora_target_defaults(vm_common_ui)
target_include_directories(vm_common_ui SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(vm_common_ui PUBLIC ${wxWidgets_DEFINITIONS})
target_compile_options(vm_common_ui PUBLIC ${wxWidgets_CXX_FLAGS})
target_link_libraries(vm_common_ui PUBLIC vm_discovery ${wxWidgets_LIBRARIES})

# doorlet: the name dialog, the message boxes and the run of one command on wxWidgets, and the
# program itself (its server chooser comes from chooser.cmake).
if(NOT TARGET vm_registry OR NOT TARGET vm_branding OR NOT TARGET velmora_builtin_launcher OR
   NOT TARGET vm_launcher_ui)
  return()
endif()
find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base)

add_library(vm_launcher_store STATIC ${CMAKE_CURRENT_LIST_DIR}/LauncherStore.cpp)
velmora_target_defaults(vm_launcher_store)
target_link_libraries(vm_launcher_store PUBLIC vm_launcher_core vm_registry vm_branding)

add_library(vm_doorlet_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SubDomainUsernameDlg_ui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LauncherUi_ui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DoorletSession_ui.cpp)
velmora_target_defaults(vm_doorlet_ui)
velmora_use_wx(vm_doorlet_ui)
target_link_libraries(vm_doorlet_ui PUBLIC vm_launcher_store vm_resources vm_common_ui vm_launcher_ui
                                           velmora_builtin_launcher ${wxWidgets_LIBRARIES})

add_executable(doorlet ${CMAKE_CURRENT_LIST_DIR}/DoorletApp_ui.cpp)
velmora_target_defaults(doorlet)
target_link_libraries(doorlet PRIVATE vm_doorlet_ui vm_launcher_ui)
velmora_program(doorlet)
add_dependencies(doorlet velmora_bundles)

# The launcher's server choice on wxWidgets: branded images, the splash, the choose-device dialog
# and ChooseServer.
if(NOT TARGET vm_common_ui)
  return()
endif()

add_library(vm_launcher_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Splash_ui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ChooseDeviceDlg_ui.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DeviceChooser_ui.cpp)
velmora_target_defaults(vm_launcher_ui)
target_link_libraries(vm_launcher_ui PUBLIC vm_common_ui vm_discovery vm_branding vm_resources)

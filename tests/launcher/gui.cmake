# The dialogs and whole runs of the launcher under Xvfb.
if(NOT TARGET vm_doorlet_ui)
  return()
endif()

add_library(vm_launcher_world_test_support STATIC LauncherTestWorld.cpp)
velmora_target_defaults(vm_launcher_world_test_support)
target_link_libraries(vm_launcher_world_test_support PUBLIC vm_launcher_test_support vm_registry
                                                            GTest::gtest)
target_compile_definitions(vm_launcher_world_test_support PRIVATE
  VELMORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}")


velmora_add_test(launcher_dialog_tests
  SOURCES DialogTest_ui.cpp
  LIBS vm_doorlet_ui velmora_wx_test_support vm_launcher_test_support
  DISPLAY TIMEOUT 60)

velmora_add_test(launcher_session_tests
  SOURCES SessionTest_ui.cpp
  LIBS vm_doorlet_ui velmora_wx_test_support vm_launcher_world_test_support
  DISPLAY LABELS integration TIMEOUT 120)

if(TARGET doorlet)
  velmora_add_test(launcher_end_to_end_tests
    SOURCES EndToEndTest.cpp
    LIBS vm_launcher_world_test_support
    DISPLAY LABELS integration TIMEOUT 120)
  add_dependencies(launcher_end_to_end_tests doorlet velmora_bundles)
endif()

if(TARGET doorlet)
  # No display: the documented failure status, not the toolkit's 255.
  add_test(NAME doorlet_without_display
    COMMAND bash ${VELMORA_TEST_SUPPORT_DIR}/without-display.sh 1 $<TARGET_FILE:doorlet> /web)
  set_tests_properties(doorlet_without_display PROPERTIES TIMEOUT 60 LABELS integration)
endif()

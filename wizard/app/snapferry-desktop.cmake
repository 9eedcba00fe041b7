# snapferry's desktop entry and icons in the installation: the entry is the very one "/register"
# writes (made by the program's own code at install time, so that its Exec line names the
# installed program), and the icons are the window icon's drawing at the theme's sizes.
add_executable(snapferry-desktop-entry ${PROJECT_SOURCE_DIR}/wizard/app/SnapferryDesktopEntryMain.cpp)
velmora_target_defaults(snapferry-desktop-entry)
target_link_libraries(snapferry-desktop-entry PRIVATE vm_app velmora_builtin_wizard)

# The same entry for the build tree, which the tests validate and the metainfo names.
set(snapferry_entry ${desktop_dir}/net.velmora.snapferry.desktop)
add_custom_command(OUTPUT ${snapferry_entry}
  COMMAND snapferry-desktop-entry ${snapferry_entry} $<TARGET_FILE:snapferry>
  DEPENDS snapferry-desktop-entry
  COMMENT "Making desktop entry net.velmora.snapferry.desktop"
  VERBATIM)
add_custom_target(net.velmora.snapferry.desktop ALL DEPENDS ${snapferry_entry})
set_property(GLOBAL APPEND PROPERTY VELMORA_DESKTOP_ENTRIES
             "net.velmora.snapferry=${snapferry_entry}")
install(CODE "
  execute_process(
    COMMAND \"$<TARGET_FILE:snapferry-desktop-entry>\"
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/net.velmora.snapferry.desktop\"
            \"\${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_DIR}/snapferry\"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR \"snapferry's desktop entry could not be written\")
  endif()")

set(images ${PROJECT_SOURCE_DIR}/resources/images)
foreach(size 32 48 256)
  install(FILES ${images}/snapferry-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME net.velmora.snapferry.png)
endforeach()

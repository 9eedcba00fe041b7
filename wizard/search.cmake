# The picture search: the walk, the step and its plain event loop without any GUI dependency in
# vm_search; the status dialog and the wxWidgets event loop in vm_search_ui.
set(search_dir ${CMAKE_CURRENT_SOURCE_DIR})

add_library(vm_search STATIC
  ${search_dir}/FoundPicture.cpp
  ${search_dir}/FindFilesStep.cpp
  ${search_dir}/SearchWalk.cpp
  ${search_dir}/SearchEventLoopPlain.cpp
  ${search_dir}/linux/SearchFolderListerPosix.cpp)
velmora_target_defaults(vm_search)
target_link_libraries(vm_search PUBLIC Threads::Threads)

if(VELMORA_GUI)
  find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base adv)

  # The dialog's animation is built into the program, so that it never goes missing.
  set(search_animation ${PROJECT_SOURCE_DIR}/resources/search/searching.gif)
  set(search_animation_cpp ${CMAKE_CURRENT_BINARY_DIR}/SearchAnimationData.cpp)
  add_custom_command(
    OUTPUT ${search_animation_cpp}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${search_animation} -DOUTPUT=${search_animation_cpp}
            -DSYMBOL=kSearchAnimationGif -P ${search_dir}/EmbedSearchAnimation.cmake
    DEPENDS ${search_animation} ${search_dir}/EmbedSearchAnimation.cmake
    COMMENT "Embedding the search animation")

  add_library(vm_search_ui STATIC
    ${search_dir}/FindFilesDlg_ui.cpp
    ${search_dir}/SearchEventLoop_ui.cpp
    ${search_animation_cpp})
  velmora_target_defaults(vm_search_ui)
  target_include_directories(vm_search_ui SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
  target_compile_definitions(vm_search_ui PUBLIC ${wxWidgets_DEFINITIONS})
  target_compile_options(vm_search_ui PUBLIC ${wxWidgets_CXX_FLAGS})
  target_link_libraries(vm_search_ui PUBLIC vm_search vm_resources ${wxWidgets_LIBRARIES})
endif()

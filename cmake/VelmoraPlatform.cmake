# The platform the build is for. Each area keeps its platform files in a folder named after it
# (linux/ or windows/); velmora_platform_sources adds those of the platform being built.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(VELMORA_PLATFORM linux)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(VELMORA_PLATFORM windows)
else()
  message(FATAL_ERROR "No platform files for ${CMAKE_SYSTEM_NAME}: Linux and Windows are built")
endif()

# velmora_platform_sources(TARGET [LINUX file...] [WINDOWS file...] [LINUX_LIBS ...]
#                          [WINDOWS_LIBS ...])
# Adds the files of the platform being built, found in the platform's folder beside the calling
# list file, and links that platform's system libraries (privately).
function(velmora_platform_sources target)
  cmake_parse_arguments(P "" "" "LINUX;WINDOWS;LINUX_LIBS;WINDOWS_LIBS" ${ARGN})
  string(TOUPPER ${VELMORA_PLATFORM} platform)
  foreach(file ${P_${platform}})
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_LIST_DIR}/${VELMORA_PLATFORM}/${file})
  endforeach()
  if(P_${platform}_LIBS)
    target_link_libraries(${target} PRIVATE ${P_${platform}_LIBS})
  endif()
endfunction()

# Windows builds: Unicode system calls (the core converts its UTF-8 at the call), nothing of the
# windows.h extras, and Windows 7 calls (locale names, WSAPoll).
if(VELMORA_PLATFORM STREQUAL "windows")
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

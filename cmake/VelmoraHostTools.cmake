# Build tools that run on the build machine while it builds: mkbundle, the bundle compiler.
# A native build makes it as one of its own targets. A cross build cannot run what it compiles,
# so it takes mkbundle from VELMORA_HOST_TOOLS_DIR (the bin/ folder of a native build of this
# tree) or, when that is not given, builds it with the build machine's compiler in a build of its
# own under host-tools/ (this tree configured with VELMORA_HOST_TOOLS_ONLY).
#
# VELMORA_MKBUNDLE is the command to run; VELMORA_MKBUNDLE_DEPENDS what a rule that runs it
# depends on.
if(NOT CMAKE_CROSSCOMPILING)
  set(VELMORA_MKBUNDLE mkbundle)
  set(VELMORA_MKBUNDLE_DEPENDS mkbundle)
  return()
endif()

set(VELMORA_HOST_TOOLS_DIR "" CACHE PATH
    "Folder with a native mkbundle for a cross build; empty: build it under host-tools/")
if(VELMORA_HOST_TOOLS_DIR)
  set(VELMORA_MKBUNDLE ${VELMORA_HOST_TOOLS_DIR}/mkbundle)
  if(NOT EXISTS ${VELMORA_MKBUNDLE})
    message(FATAL_ERROR "VELMORA_HOST_TOOLS_DIR holds no mkbundle: ${VELMORA_HOST_TOOLS_DIR}")
  endif()
  set(VELMORA_MKBUNDLE_DEPENDS ${VELMORA_MKBUNDLE})
  return()
endif()

include(ExternalProject)
set(host_tools_dir ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(velmora_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_tools_dir}
  CMAKE_GENERATOR ${CMAKE_GENERATOR}
  CMAKE_ARGS -DVELMORA_HOST_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=Release
             -DVELMORA_WERROR=${VELMORA_WERROR}
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_tools_dir} --target mkbundle
  INSTALL_COMMAND ""
  # The tool's sources are this tree's: let its own build decide what is out of date.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${host_tools_dir}/bin/mkbundle)
set(VELMORA_MKBUNDLE ${host_tools_dir}/bin/mkbundle)
set(VELMORA_MKBUNDLE_DEPENDS velmora_host_tools ${VELMORA_MKBUNDLE})

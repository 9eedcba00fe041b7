# The volume facts of an uploaded folder (its file system's label, mount point and read-only
# state) and the identity of the pictures in it. A library of its own without GUI code, so that
# it builds and is tested apart from the application object.
add_library(vm_volume STATIC)
velmora_platform_sources(vm_volume
  LINUX VolumeInfo.cpp SourceIdentity.cpp
  WINDOWS VolumeInfo.cpp)
velmora_target_defaults(vm_volume)
target_link_libraries(vm_volume PUBLIC vm_search PRIVATE vm_files)

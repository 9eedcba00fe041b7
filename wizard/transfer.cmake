# The copy engine and share access: its logic and the libsmbclient and libsecret services in
# vm_transfer (no GUI); the credentials dialog in vm_transfer_ui.
set(transfer_dir ${CMAKE_CURRENT_SOURCE_DIR})

pkg_check_modules(SMBCLIENT REQUIRED IMPORTED_TARGET smbclient)
pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)

add_library(vm_transfer STATIC
  ${transfer_dir}/AsyncData.cpp
  ${transfer_dir}/Authenticator.cpp
  ${transfer_dir}/FileTransfer.cpp
  ${transfer_dir}/FileTransferFactory.cpp
  ${transfer_dir}/FileTransferStep.cpp
  ${transfer_dir}/ShareAccess.cpp
  ${transfer_dir}/ShareCredentials.cpp
  ${transfer_dir}/SmbUrl.cpp
  ${transfer_dir}/TransferNaming.cpp
  ${transfer_dir}/TransferRun.cpp
  ${transfer_dir}/TransferTexts.cpp
  ${transfer_dir}/linux/SecretCredentialStore.cpp
  ${transfer_dir}/linux/SmbSession.cpp)
velmora_target_defaults(vm_transfer)
target_link_libraries(vm_transfer
  PUBLIC vm_search velmora_common Threads::Threads
  PRIVATE PkgConfig::SMBCLIENT PkgConfig::LIBSECRET)


if(VELMORA_GUI)
  find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base)
  add_library(vm_transfer_ui STATIC ${transfer_dir}/AuthenticationDialog_ui.cpp)
  velmora_target_defaults(vm_transfer_ui)
  target_include_directories(vm_transfer_ui SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
  target_compile_definitions(vm_transfer_ui PUBLIC ${wxWidgets_DEFINITIONS})
  target_compile_options(vm_transfer_ui PUBLIC ${wxWidgets_CXX_FLAGS})
  target_link_libraries(vm_transfer_ui PUBLIC vm_transfer ${wxWidgets_LIBRARIES})
endif()

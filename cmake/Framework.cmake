# Resolves PARLUNE_FRAMEWORK into the interface target parlune_framework,
# which component modules, launchers and tests link against.
if(PARLUNE_FRAMEWORK STREQUAL "embedded")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(OMNIORB REQUIRED IMPORTED_TARGET omniORB4 omniDynamic4 omnithread4)
  find_program(OMNIIDL omniidl REQUIRED)
  message(STATUS "Parlune: building against the embedded runtime (omniORB ${OMNIORB_omniORB4_VERSION})")
elseif(PARLUNE_FRAMEWORK STREQUAL "openrtm")
  # OpenRTM-aist 2.x ships OpenRTMConfig.cmake; its pkg-config file is broken.
  find_package(OpenRTM REQUIRED)
  if(OPENRTM_EMBEDDED)
    message(STATUS "Parlune: building against the embedded runtime's compatibility package, "
      "OpenRTM-aist API ${OpenRTM_VERSION} (${OpenRTM_DIR})")
  else()
    message(STATUS "Parlune: building against OpenRTM-aist ${OpenRTM_VERSION} (${OpenRTM_DIR})")
  endif()
else()
  message(FATAL_ERROR "PARLUNE_FRAMEWORK must be 'embedded' or 'openrtm', not '${PARLUNE_FRAMEWORK}'")
endif()

# What `cmake --install` puts where (GNU install dirs under the prefix):
#
#   bin/                      ParluneRTCComp, ParluneTestComp, rtctl, parlune-rtcd
#   LIBDIR/                   libParluneDa.so, parlune-da-helper, the runtime's libraries
#   LIBDIR/parlune/           the component modules ParluneRTC.so and ParluneTest.so
#   LIBDIR/cmake/ParluneRTM/  CMake package of the embedded runtime
#   LIBDIR/cmake/parlune-openrtm-compat/
#                             find_package(OpenRTM) answered by the embedded
#                             runtime; used only when OpenRTM_DIR points here
#   include/parlune-rtm/      the runtime's public headers (rtm/..., coil/...) and IDL
#   share/parlune/            sample rtc.conf, ParluneTest.conf, the example
#   share/parlune/voices/     the Japanese voices and their licence files
#   share/doc/parlune/        copyright (credits of the voices and engines)
#   share/man/man1/           manual pages
#
# Installed programs and libraries find each other through RUNPATHs relative
# to their own location, so the tree can be moved and needs no LD_LIBRARY_PATH.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(PARLUNE_MODULE_DIR ${CMAKE_INSTALL_LIBDIR}/parlune)
set(PARLUNE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/parlune)
set(PARLUNE_RTM_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/parlune-rtm)
set(PARLUNE_RTM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ParluneRTM)
set(PARLUNE_COMPAT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/parlune-openrtm-compat)

# RUNPATH entries, relative to where each kind of file lands.
file(RELATIVE_PATH _bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(_program_rpath "$ORIGIN/${_bin_to_lib}/parlune;$ORIGIN/${_bin_to_lib}")
set(_library_rpath "$ORIGIN")
set(_module_rpath "$ORIGIN/..")

# Programs.
foreach(program ParluneRTCComp ParluneTestComp rtctl parlune-rtcd)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "${_program_rpath}")
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# Component modules.
foreach(module ParluneRTC ParluneTest)
  if(TARGET ${module})
    set_target_properties(${module} PROPERTIES INSTALL_RPATH "${_module_rpath}")
    install(TARGETS ${module} LIBRARY DESTINATION ${PARLUNE_MODULE_DIR})
  endif()
endforeach()
set_target_properties(ParluneDa PROPERTIES INSTALL_RPATH "${_library_rpath}")

install(FILES stringout/ParluneTest.conf DESTINATION ${PARLUNE_DATA_DIR})
# The sample rtc.conf names the module folder under the prefix actually
# installed to (a package's differs from the configured one).
install(CODE "
  set(PARLUNE_CONF_MODULE_DIR \"\${CMAKE_INSTALL_PREFIX}/${PARLUNE_MODULE_DIR}\")
  set(PARLUNE_CONF_DATA_DIR \"\${CMAKE_INSTALL_PREFIX}/${PARLUNE_DATA_DIR}\")
  configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/cmake/install/rtc.conf.in\"
    \"${CMAKE_CURRENT_BINARY_DIR}/install/rtc.conf\" @ONLY)")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/install/rtc.conf DESTINATION ${PARLUNE_DATA_DIR})
install(DIRECTORY examples/SampleEcho DESTINATION ${PARLUNE_DATA_DIR}/examples)
install(FILES cmake/install/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/parlune)

# The Japanese voices, from the cache scripts/fetch-voices fills, only when
# every file there checks out; the helper finds them relative to its own
# folder (LIBDIR/../share/parlune/voices). Without them the installed tree
# speaks Japanese with espeak-ng.
if(NOT DEFINED PARLUNE_VOICE_DIR)
  set(PARLUNE_VOICE_DIR /var/cache/parlune/voices CACHE PATH
    "Folder holding the Japanese voice files (filled by scripts/fetch-voices)")
endif()
set(PARLUNE_VOICE_FILES mei_normal.htsvoice mei_normal.COPYRIGHT.txt
  nitech_jp_atr503_m001.htsvoice nitech_jp_atr503_m001.COPYING)
execute_process(COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/fetch-voices --check ${PARLUNE_VOICE_DIR}
  RESULT_VARIABLE _voices_checked OUTPUT_QUIET ERROR_VARIABLE _voices_problem)
if(_voices_checked EQUAL 0)
  list(TRANSFORM PARLUNE_VOICE_FILES PREPEND ${PARLUNE_VOICE_DIR}/ OUTPUT_VARIABLE _voice_paths)
  install(FILES ${_voice_paths} DESTINATION ${PARLUNE_DATA_DIR}/voices)
else()
  message(WARNING "The Japanese voices are not installed with this build "
    "(run scripts/fetch-voices, then configure again):\n${_voices_problem}")
endif()

# Manual pages.
foreach(page ParluneRTCComp ParluneTestComp rtctl parlune-rtcd)
  install(FILES docs/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

if(NOT TARGET RTCEmbedded)
  return()
endif()

# The embedded runtime: libraries, headers, IDL and its CMake packages.
set(PARLUNE_RTM_LIBRARIES RTCIdl CorbaKit RTCEmbedded)
foreach(lib ${PARLUNE_RTM_LIBRARIES})
  set_target_properties(${lib} PROPERTIES INSTALL_RPATH "${_library_rpath}")
endforeach()
install(TARGETS ${PARLUNE_RTM_LIBRARIES} EXPORT ParluneRTMTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${PARLUNE_RTM_INCLUDE_DIR} ${PARLUNE_RTM_INCLUDE_DIR}/rtm/idl)
# Only what a component includes: runtime/include/ (its internals live beside
# their sources) and the one CorbaKit header the port templates use.
install(DIRECTORY runtime/include/ DESTINATION ${PARLUNE_RTM_INCLUDE_DIR})
install(FILES runtime/corbakit/include/corbakit/CdrCodec.h
  DESTINATION ${PARLUNE_RTM_INCLUDE_DIR}/corbakit)
install(DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runtime/generated/rtm/idl/
  DESTINATION ${PARLUNE_RTM_INCLUDE_DIR}/rtm/idl FILES_MATCHING PATTERN "*.hh")
install(DIRECTORY runtime/idl/ DESTINATION ${PARLUNE_RTM_INCLUDE_DIR}/rtm/idl)

install(EXPORT ParluneRTMTargets NAMESPACE ParluneRTM:: DESTINATION ${PARLUNE_RTM_CMAKE_DIR})
configure_package_config_file(cmake/install/ParluneRTMConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/install/ParluneRTMConfig.cmake
  INSTALL_DESTINATION ${PARLUNE_RTM_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/install/ParluneRTMConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/install/ParluneRTMConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/install/ParluneRTMConfigVersion.cmake
  DESTINATION ${PARLUNE_RTM_CMAKE_DIR})

# The compatibility package reports the framework API level the runtime
# implements, not this project's version.
set(PARLUNE_RTM_API_VERSION 1.0.0)
configure_package_config_file(cmake/install/OpenRTMConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/install/compat/OpenRTMConfig.cmake
  INSTALL_DESTINATION ${PARLUNE_COMPAT_CMAKE_DIR}
  PATH_VARS PARLUNE_RTM_INCLUDE_DIR PARLUNE_RTM_CMAKE_DIR CMAKE_INSTALL_LIBDIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/install/compat/OpenRTMConfigVersion.cmake
  VERSION ${PARLUNE_RTM_API_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/install/compat/OpenRTMConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/install/compat/OpenRTMConfigVersion.cmake
  DESTINATION ${PARLUNE_COMPAT_CMAKE_DIR})

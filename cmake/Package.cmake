# The Debian package (scripts/package): everything `cmake --install` puts in
# place, under /usr. Run-time dependencies are computed from the shared
# libraries by dpkg-shlibdeps; espeak-ng's voice data, the Open JTalk program
# and its dictionary are named explicitly because the helper runs or opens
# them by path. The Japanese voices travel inside (share/parlune/voices).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parlune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Parlune maintainers <parlune@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "voice for RT-Component networks: speech and operator window components")
set(CPACK_PACKAGE_DESCRIPTION
  "Two RT-Components: Parlune speaks every TimedString on its input port\n\
(flite for English, Open JTalk for Japanese, espeak-ng for every other\n\
language; PulseAudio); ParluneTest shows an operator window and publishes\n\
the submitted text. With launchers, rtctl, the generic component daemon\n\
parlune-rtcd and the embedded component runtime (headers, libraries, CMake\n\
packages) for building components of your own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "espeak-ng-data, open-jtalk-mecab-naist-jdic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "omniorb-nameserver, pulseaudio | pipewire-pulse")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libomniorb4-dev, omniidl, cmake, pkg-config")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)

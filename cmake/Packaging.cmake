# The Debian package, made by cpack in a configured tree (scripts/package.sh).
# The install() rules of the program, the SDK and the tools sit beside their
# targets; the libraries the SDK and the player link join them here.

# Shared libraries the installed programs load from lib/brevanta.
foreach(lib platformrt pellin Quillon Morvic Tarvic)
  if(TARGET ${lib})
    set_target_properties(${lib} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${lib} LIBRARY DESTINATION lib/brevanta)
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevanta)
set(CPACK_PACKAGE_VERSION 1.0)
set(CPACK_PACKAGE_VENDOR "Brevanta developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Surveillance client for mobile video recorders")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Brevanta watches, records and plays back the video of mobile video recorders.\n"
       "The package also holds orvctl, the device SDK from the command line, and orvsim,\n"
       "a simulator of the authentication server and the devices.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brevanta developers")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the programs link; the private ones in
# lib/brevanta are part of the package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The captions need the client's CJK font, which no library links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-wqy-microhei)
# Relative to the package's staging tree, where dpkg-shlibdeps runs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/lib/brevanta)
include(CPack)

# Everything the install rules above and beside the targets install, so that
# scripts/package.sh builds only these before cpack.
add_custom_target(brevanta_installed)
foreach(target brevanta brevanta_res brevanta_translations orvsim orvctl velmosdk Vidrane platformrt pellin Quillon Morvic
               Tarvic)
  if(TARGET ${target})
    add_dependencies(brevanta_installed ${target})
  endif()
endforeach()

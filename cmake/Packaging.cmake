# Installing and packaging beyond the program itself: the lab host simulator
# and its sample jobs, the licence and changelog, manual pages made from each
# program's --help, and the Debian package (cpack -G DEB in the build folder:
# trevalon_<version>_<arch>.deb, its Depends computed from the libraries the
# programs link by dpkg-shlibdeps).
include(GNUInstallDirs)

set(TREVALON_MAINTAINER "Trevalon Maintainers <packages@vormik.de>" CACHE STRING
    "Maintainer of the Debian package: Name <address>")

# The sample jobs by tray number, gathered in the build folder as
# samples/<tray>.oma: scripts/run.sh serves them from there, the packages
# install the same files.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/samples.txt sample_lines REGEX "^[0-9]")
set(TREVALON_SAMPLES)
foreach(line IN LISTS sample_lines)
  string(REGEX MATCH "^([0-9]+)[ \t]+(.+)$" _ "${line}")
  set(source ${PROJECT_SOURCE_DIR}/tests/data/oma-samples/${CMAKE_MATCH_2})
  set(target ${CMAKE_BINARY_DIR}/samples/${CMAKE_MATCH_1}.oma)
  configure_file(${source} ${target} COPYONLY)
  list(APPEND TREVALON_SAMPLES ${target})
endforeach()

set(trevalon_docdir ${CMAKE_INSTALL_DATADIR}/doc/trevalon)
if(WIN32)
  # The Windows packages (scripts/package-windows.sh) lay out their own folder.
  return()
endif()

install(FILES README.md DESTINATION ${trevalon_docdir})
install(FILES docs/screenshot.png DESTINATION ${trevalon_docdir}/docs)
install(FILES packaging/debian/copyright DESTINATION ${trevalon_docdir})
install(FILES packaging/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME trevalon)
if(TARGET trevalon-host)
  install(TARGETS trevalon-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${TREVALON_SAMPLES} DESTINATION ${CMAKE_INSTALL_DATADIR}/trevalon/samples)
  # The lab host as a system service, installed but not enabled. The Debian
  # package (scripts/package.sh) puts the unit and the defaults file where
  # Debian 12's systemd and lintian expect them; any other install keeps
  # them under its prefix, so it never writes outside it.
  if(TREVALON_PACKAGE)
    set(trevalon_unit_dir /lib/systemd/system)
    set(trevalon_default_dir /etc/default)
  else()
    set(trevalon_unit_dir lib/systemd/system)
    set(trevalon_default_dir ${CMAKE_INSTALL_SYSCONFDIR}/default)
  endif()
  install(FILES packaging/debian/service/trevalon-host.service DESTINATION ${trevalon_unit_dir})
  install(FILES packaging/debian/service/trevalon-host.default DESTINATION ${trevalon_default_dir}
          RENAME trevalon-host)
endif()

# The changelog, compressed reproducibly (no name or time stamp in the gzip header).
configure_file(packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION ${trevalon_docdir})

# Manual pages, made by help2man from each program's --help at build time so
# that they always describe the program as built. Any program of the project
# listed here gets one when its target exists.
find_program(HELP2MAN help2man)
set(help2man_found OFF)
if(HELP2MAN)
  set(help2man_found ON)
endif()
option(TREVALON_MANPAGES "Make manual pages with help2man" ${help2man_found})
if(TREVALON_MANPAGES AND NOT HELP2MAN)
  message(FATAL_ERROR "TREVALON_MANPAGES needs help2man (Debian package help2man)")
endif()
set(trevalon_man_names
  "trevalon=frame shape editor for OMA lab hosts"
  "trevalon-host=OMA laboratory host simulator for trying Trevalon"
  "trevalon-cli=fetch and store frame shapes with an OMA lab host from the command line")
set(man_pages)
foreach(entry IN LISTS trevalon_man_names)
  string(REGEX MATCH "^([^=]+)=(.*)$" _ "${entry}")
  set(program ${CMAKE_MATCH_1})
  set(summary ${CMAKE_MATCH_2})
  if(NOT TREVALON_MANPAGES OR NOT TARGET ${program})
    continue()
  endif()
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${HELP2MAN} --no-info --no-discard-stderr --name=${summary}
            --version-string=${PROJECT_VERSION} --output=${page} $<TARGET_FILE:${program}>
    COMMAND gzip -9nf ${page}
    DEPENDS ${program} VERBATIM)
  list(APPEND man_pages ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
if(man_pages)
  add_custom_target(manpages ALL DEPENDS ${man_pages})
  # The pages as man shows them: each option of --help once under OPTIONS.
  if(TREVALON_TESTS)
    set(man_programs)
    foreach(program trevalon trevalon-cli trevalon-host)
      if(TARGET ${program})
        list(APPEND man_programs $<TARGET_FILE:${program}>)
      endif()
    endforeach()
    add_test(NAME packaging.man_pages
             COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/packaging/man_pages_test.py
                     ${CMAKE_BINARY_DIR}/man ${man_programs})
    set_tests_properties(packaging.man_pages PROPERTIES LABELS packaging TIMEOUT 120)
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trevalon)
set(CPACK_PACKAGE_VENDOR "VORMIK")
set(CPACK_PACKAGE_CONTACT "${TREVALON_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "frame shape editor for OMA lab hosts")
# Wrapped as the control file shows it; an empty line separates paragraphs.
set(CPACK_PACKAGE_DESCRIPTION
"Trevalon fetches the frame shape (trace) of a spectacle job from the
optical laboratory's host computer over a serial line with the OMA data
communication protocol. It shows the shape with its box sizes,
circumference and DBL, lets the operator change them, turn the shape or
load a preset, and stores the shape back to the host.

The package also brings trevalon-host, a lab host simulator, and sample
jobs, so the program can be tried without a lab host. A small lab without
a lab management system can run trevalon-host as its host, as a service
that is installed but not enabled.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The programs also lose the compiler's notes, as Debian's own packages do.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian/strip-notes.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own translations put the standard buttons and dialogs in the operator's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
# The service's system user is made by adduser; its defaults file is a conffile.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
set(service_dir ${PROJECT_SOURCE_DIR}/packaging/debian/service)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${service_dir}/postinst ${service_dir}/prerm ${service_dir}/postrm ${service_dir}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# Everything the package and "cmake --install" hold: scripts/package.sh builds
# it before cpack, scripts/run.sh so that an install after it finds every file.
add_custom_target(package_files)
foreach(target trevalon trevalon-host trevalon-cli manpages changelog)
  if(TARGET ${target})
    add_dependencies(package_files ${target})
  endif()
endforeach()

# The window's translations: translations/trevalon_<lang>.ts, written with
# lupdate and compiled by lrelease into <program folder>/translations/, so a
# build runs translated as an installed program does. English is the source
# language and has no file. The tools are the host's (qt6-l10n-tools), also
# in a cross build: the Windows kit carries only qtbase.
set(TREVALON_LANGUAGES de fr es it pt)
find_program(TREVALON_LRELEASE lrelease PATHS /usr/lib/qt6/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_program(TREVALON_LUPDATE lupdate PATHS /usr/lib/qt6/bin NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT TREVALON_LRELEASE OR NOT TREVALON_LUPDATE)
  message(FATAL_ERROR "lrelease/lupdate not found in /usr/lib/qt6/bin: install qt6-l10n-tools (scripts/deps.sh)")
endif()

# The folders whose sources hold the operator's texts: the window's faces.
set(TREVALON_TRANSLATED_SOURCES ${PROJECT_SOURCE_DIR}/app ${PROJECT_SOURCE_DIR}/settings)

# trevalon_translations(TARGET [NO_INSTALL]): the .qm files in TARGET's
# folder, built with it, and installed where an installed program looks for them.
function(trevalon_translations target)
  cmake_parse_arguments(T "NO_INSTALL" "" "" ${ARGN})
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/translations)
  set(outputs)
  foreach(language IN LISTS TREVALON_LANGUAGES)
    set(ts ${PROJECT_SOURCE_DIR}/translations/trevalon_${language}.ts)
    set(qm ${folder}/trevalon_${language}.qm)
    add_custom_command(OUTPUT ${qm}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${TREVALON_LRELEASE} -silent ${ts} -qm ${qm}
      DEPENDS ${ts} VERBATIM)
    list(APPEND outputs ${qm})
  endforeach()
  add_custom_target(${target}_translations DEPENDS ${outputs})
  add_dependencies(${target} ${target}_translations)
  if(NOT WIN32 AND NOT T_NO_INSTALL)
    include(GNUInstallDirs)
    install(FILES ${outputs} DESTINATION ${CMAKE_INSTALL_DATADIR}/trevalon/translations)
  endif()
endfunction()

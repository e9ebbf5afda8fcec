# Installation: the library with its public headers, the tool (with its bash completion and man
# page), the generated JSON Schema, a CMake package (find_package(tarnwick_config CONFIG) ->
# tarnwick::config) and a pkg-config file.
# Components: Runtime (tool, completion, man page, schema, a shared library) and Development (the
# rest).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TARNWICK_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/tarnwick_config")
set(TARNWICK_SCHEMA_FILE "${PROJECT_BINARY_DIR}/tarnwick-config.schema.json")

# The schema comes from the tool itself, so it always matches the field tables it was built from.
add_custom_command(
  OUTPUT "${TARNWICK_SCHEMA_FILE}"
  COMMAND tarnwick-config schema --output "${TARNWICK_SCHEMA_FILE}"
  DEPENDS tarnwick-config
  COMMENT "Writing tarnwick-config.schema.json"
  VERBATIM)
add_custom_target(tarnwick_schema_file ALL DEPENDS "${TARNWICK_SCHEMA_FILE}")

set_target_properties(tarnwick_config PROPERTIES EXPORT_NAME config)
install(TARGETS tarnwick_config EXPORT tarnwick_configTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# A shared library is found from the installed tool wherever the prefix is.
if(BUILD_SHARED_LIBS)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    set(_tarnwick_rpath "${CMAKE_INSTALL_FULL_LIBDIR}")
  else()
    file(RELATIVE_PATH _tarnwick_bin_to_lib "/prefix/${CMAKE_INSTALL_BINDIR}"
         "/prefix/${CMAKE_INSTALL_LIBDIR}")
    set(_tarnwick_rpath "$ORIGIN/${_tarnwick_bin_to_lib}")
  endif()
  set_target_properties(tarnwick-config PROPERTIES INSTALL_RPATH "${_tarnwick_rpath}")
endif()
install(TARGETS tarnwick-config RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/include/tarnwick"
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development
        FILES_MATCHING PATTERN "*.hpp")
install(FILES "${TARNWICK_SCHEMA_FILE}" DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnwick-config
        COMPONENT Runtime)

install(FILES "${PROJECT_SOURCE_DIR}/tools/completion/tarnwick-config.bash"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tarnwick-config
        COMPONENT Runtime)

# The man page is the tool's own --help-all (every command's options) and --version, so it
# cannot drift from them, with the examples, environment and files of tools/man; a machine
# without help2man builds and installs everything else.
find_program(TARNWICK_HELP2MAN help2man)
if(TARNWICK_HELP2MAN)
  set(TARNWICK_MAN_PAGE "${PROJECT_BINARY_DIR}/tarnwick-config.1")
  set(TARNWICK_MAN_INCLUDE "${PROJECT_SOURCE_DIR}/tools/man/tarnwick-config.h2m")
  add_custom_command(
    OUTPUT "${TARNWICK_MAN_PAGE}"
    COMMAND "${TARNWICK_HELP2MAN}" --no-info --section 1 --help-option=--help-all
            --include "${TARNWICK_MAN_INCLUDE}"
            --name "check and dump tarnwick VPC migration documents"
            --output "${TARNWICK_MAN_PAGE}" $<TARGET_FILE:tarnwick-config>
    DEPENDS tarnwick-config "${TARNWICK_MAN_INCLUDE}"
    COMMENT "Writing the man page tarnwick-config.1"
    VERBATIM)
  add_custom_target(tarnwick_man_page ALL DEPENDS "${TARNWICK_MAN_PAGE}")
  install(FILES "${TARNWICK_MAN_PAGE}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
else()
  message(STATUS "help2man not found: the man page tarnwick-config.1 is not built")
endif()

# A static library leaves libyaml for its consumers to link: the package config finds it.
if(BUILD_SHARED_LIBS)
  set(TARNWICK_STATIC_LIBRARY OFF)
else()
  set(TARNWICK_STATIC_LIBRARY ON)
endif()
install(EXPORT tarnwick_configTargets NAMESPACE tarnwick:: DESTINATION ${TARNWICK_CMAKE_DIR}
        COMPONENT Development)
configure_package_config_file(
  "${CMAKE_CURRENT_LIST_DIR}/tarnwick_configConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/tarnwick_configConfig.cmake"
  INSTALL_DESTINATION ${TARNWICK_CMAKE_DIR})
# 0.x: a new minor version may change the interface.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/tarnwick_configConfigVersion.cmake"
                                 COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/tarnwick_configConfig.cmake"
              "${PROJECT_BINARY_DIR}/tarnwick_configConfigVersion.cmake"
        DESTINATION ${TARNWICK_CMAKE_DIR} COMPONENT Development)

# pkg-config: paths relative to the .pc file, so that `cmake --install --prefix` anywhere works.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(TARNWICK_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(TARNWICK_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  file(RELATIVE_PATH _tarnwick_up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" _tarnwick_up "${_tarnwick_up}")
  set(TARNWICK_PC_PREFIX "\${pcfiledir}/${_tarnwick_up}")
  set(TARNWICK_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(TARNWICK_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
else()
  set(TARNWICK_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file("${CMAKE_CURRENT_LIST_DIR}/tarnwick_config.pc.in"
               "${PROJECT_BINARY_DIR}/tarnwick_config.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/tarnwick_config.pc"
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

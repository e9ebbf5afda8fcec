# Installs the build into a scratch prefix, then builds and runs a consumer against it twice:
# through the CMake package (find_package) and through the pkg-config file. Cleans up after
# itself. Run by ctest: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=...
#                                -DGENERATOR=... -DSANITIZE=ON|OFF [-DMAN_PAGE=...]
#                                -P check_install.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR SOURCE_DIR WORK_DIR CXX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_install.cmake: -D${var}=... is required")
  endif()
endforeach()

set(prefix "${WORK_DIR}/prefix")
set(consumer_src "${SOURCE_DIR}/tests/install/consumer")
set(example "${SOURCE_DIR}/examples/full.yaml")
set(extra_flags "")
if(SANITIZE)
  # The installed library was built with the sanitizers: its consumers must link their runtime.
  set(extra_flags -fsanitize=address,undefined)
endif()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# Runs a command; on failure shows its output, removes the scratch tree and fails the test.
function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    file(REMOVE_RECURSE "${WORK_DIR}")
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_in what text part)
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    file(REMOVE_RECURSE "${WORK_DIR}")
    message(FATAL_ERROR "${what}: expected '${part}' in:\n${text}")
  endif()
endfunction()

function(expect what text pattern)
  if(NOT text MATCHES "${pattern}")
    file(REMOVE_RECURSE "${WORK_DIR}")
    message(FATAL_ERROR "${what}: expected to match '${pattern}', got:\n${text}")
  endif()
endfunction()

# Only this package's components: other parts of the tree install on their own terms.
foreach(component Runtime Development)
  step("cmake --install (${component})" "${CMAKE_COMMAND}" --install "${BUILD_DIR}"
       --prefix "${prefix}" --component ${component})
endforeach()

# The installed tree: tool, headers, schema, package files.
file(GLOB_RECURSE pc_files "${prefix}/tarnwick_config.pc")
file(GLOB_RECURSE config_files "${prefix}/tarnwick_configConfig.cmake")
foreach(required "${prefix}/bin/tarnwick-config"
                 "${prefix}/include/tarnwick/core/config_vpc_migration.hpp"
                 "${prefix}/include/tarnwick/core/schema.hpp"
                 "${prefix}/include/tarnwick/yaml/node.hpp"
                 "${prefix}/share/tarnwick-config/tarnwick-config.schema.json"
                 "${prefix}/share/bash-completion/completions/tarnwick-config")
  if(NOT EXISTS "${required}")
    file(REMOVE_RECURSE "${WORK_DIR}")
    message(FATAL_ERROR "not installed: ${required}")
  endif()
endforeach()
# The man page is built only where help2man is (MAN_PAGE: its path in the build tree).
if(MAN_PAGE)
  set(installed_man "${prefix}/share/man/man1/tarnwick-config.1")
  if(NOT EXISTS "${installed_man}")
    file(REMOVE_RECURSE "${WORK_DIR}")
    message(FATAL_ERROR "not installed: ${installed_man}")
  endif()
  file(READ "${installed_man}" man_text)
  # Each command's options, and the sections of tools/man/tarnwick-config.h2m.
  foreach(part "dump FILE" ".SS \"Options of check:\"" "\\-\\-report\\fR FORMAT=FILE"
          ".SH ENVIRONMENT" "FORCE_COLOR" ".SH FILES" ".SH EXAMPLES")
    expect_in("man page" "${man_text}" "${part}")
  endforeach()
endif()
list(LENGTH pc_files pc_count)
list(LENGTH config_files config_count)
if(NOT pc_count EQUAL 1 OR NOT config_count EQUAL 1)
  file(REMOVE_RECURSE "${WORK_DIR}")
  message(FATAL_ERROR "expected one .pc and one package config, got: ${pc_files} ${config_files}")
endif()

# The installed schema is what the installed tool prints.
step("installed tool" "${prefix}/bin/tarnwick-config" schema)
file(READ "${prefix}/share/tarnwick-config/tarnwick-config.schema.json" installed_schema)
if(NOT step_output STREQUAL installed_schema)
  file(REMOVE_RECURSE "${WORK_DIR}")
  message(FATAL_ERROR "the installed schema file differs from `tarnwick-config schema`")
endif()

# 1. CMake package.
set(generator_args "")
if(GENERATOR)
  set(generator_args -G "${GENERATOR}")
endif()
step("consumer configure" "${CMAKE_COMMAND}" -S "${consumer_src}" -B "${WORK_DIR}/build"
     ${generator_args}
     "-DCMAKE_PREFIX_PATH=${prefix}"
     "-DEXPECTED_PREFIX=${prefix}"
     "-DCMAKE_CXX_COMPILER=${CXX}"
     "-DCMAKE_CXX_FLAGS=${extra_flags}"
     "-DCMAKE_EXE_LINKER_FLAGS=${extra_flags}")
step("consumer build" "${CMAKE_COMMAND}" --build "${WORK_DIR}/build" -j 2)
step("consumer run" "${WORK_DIR}/build/consumer" "${example}")
expect("consumer (CMake package)" "${step_output}" "^VPCs: 5\nschema definitions: 15\n$")

# 2. pkg-config, static linking as a static library needs.
find_program(PKG_CONFIG pkg-config REQUIRED)
get_filename_component(pc_dir "${pc_files}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
step("pkg-config" "${PKG_CONFIG}" --cflags --libs --static tarnwick_config)
string(STRIP "${step_output}" pc_flags)
expect_in("pkg-config flags" "${pc_flags}" "-I${prefix}/")
expect_in("pkg-config flags" "${pc_flags}" "-ltarnwick_config")
expect_in("pkg-config flags" "${pc_flags}" "-lyaml")
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
step("consumer build (pkg-config)" "${CXX}" -std=c++20 ${extra_flags}
     "${consumer_src}/main.cpp" -o "${WORK_DIR}/consumer-pc" ${pc_flags})
# A shared build of the library is found at run time through the loader's path.
set(ENV{LD_LIBRARY_PATH} "${pc_dir}/..")
step("consumer run (pkg-config)" "${WORK_DIR}/consumer-pc" "${example}")
expect("consumer (pkg-config)" "${step_output}" "^VPCs: 5\nschema definitions: 15\n$")

file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "install_consumer: the installed package builds and runs a consumer both ways")

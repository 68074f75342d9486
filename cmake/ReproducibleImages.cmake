# Windows images that build bit for bit: two clean builds of one commit, in any two
# folders, give the same bytes.
#
# The PE header's time stamp is the only field the linker takes from the clock. It is
# taken from SOURCE_DATE_EPOCH when that is set at configure time (the convention of
# reproducible package builds), else from the time of the checkout's commit, so that it
# still says which source an image was built from; outside a git checkout it is zero.
# Debian's ld (binutils 2.40) takes the stamp from SOURCE_DATE_EPOCH in its environment,
# which the link launcher below sets. A new commit re-runs the configuration (it depends
# on the checkout's HEAD log), and the changed link command relinks every image.
#
# No build path may reach an image: the source, build and dependency folders are mapped to
# fixed names in everything the compiler records (__FILE__, debug information). GCC uses
# the last matching map, so the folders that may lie inside the source folder come after it.

set(SETUP_TIME_STAMP "")
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(SETUP_TIME_STAMP "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT SETUP_TIME_STAMP MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is '${SETUP_TIME_STAMP}', not a number of seconds")
  endif()
  set(SETUP_TIME_STAMP_FROM "SOURCE_DATE_EPOCH")
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${CMAKE_SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_status ERROR_QUIET)
    if(git_status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
      set(SETUP_TIME_STAMP "${commit_time}")
      set(SETUP_TIME_STAMP_FROM "the commit's time")
      foreach(git_file logs/HEAD HEAD)
        execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${CMAKE_SOURCE_DIR}" rev-parse --path-format=absolute
                                --git-path "${git_file}"
                        OUTPUT_VARIABLE git_path OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(git_path AND EXISTS "${git_path}")
          set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${git_path}")
        endif()
      endforeach()
    endif()
  endif()
endif()

if(SETUP_TIME_STAMP STREQUAL "")
  add_link_options(-Wl,--no-insert-timestamp)
  message(STATUS "PE time stamp: zero (no SOURCE_DATE_EPOCH, no git checkout)")
else()
  foreach(lang C CXX)
    set(CMAKE_${lang}_LINKER_LAUNCHER "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${SETUP_TIME_STAMP}")
  endforeach()
  message(STATUS "PE time stamp: ${SETUP_TIME_STAMP} (${SETUP_TIME_STAMP_FROM})")
endif()

add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}=."
                    "-ffile-prefix-map=${SETUP_DEPS_DIR}=deps"
                    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")

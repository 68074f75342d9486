# zlib and minizip (zlib's unzip/zip library).
#   Native: Debian's zlib1g-dev and libminizip-dev.
#   mingw:  Debian's libz-mingw-w64-dev, and minizip compiled here from Debian's
#           minizip source package, which scripts/bootstrap.sh unpacks into SETUP_DEPS_DIR.
#   fuzz:   the system's zlib, and minizip compiled from those sources too, so that its
#           code is instrumented and guides the fuzzer.
# Either way the build sees two targets: deps::unzip (reader) and deps::zip (writer).

if(WIN32 OR SETUP_FUZZ)
  add_library(deps_zlib INTERFACE)
  if(WIN32)
    find_library(MINGW_ZLIB NAMES libz.a z REQUIRED)
    target_link_libraries(deps_zlib INTERFACE ${MINGW_ZLIB})
  else()
    find_package(ZLIB REQUIRED)
    target_link_libraries(deps_zlib INTERFACE ZLIB::ZLIB)
  endif()

  set(MINIZIP_SRC "${SETUP_DEPS_DIR}/minizip")
  if(NOT EXISTS "${MINIZIP_SRC}/unzip.c")
    message(FATAL_ERROR "minizip sources not found in ${MINIZIP_SRC}: run scripts/bootstrap.sh first")
  endif()
  # The third-party sources are compiled as they are: their own warnings are not ours to fix.
  add_library(deps_minizip_unzip STATIC "${MINIZIP_SRC}/unzip.c" "${MINIZIP_SRC}/ioapi.c")
  add_library(deps_minizip_zip STATIC "${MINIZIP_SRC}/zip.c")
  foreach(t deps_minizip_unzip deps_minizip_zip)
    target_include_directories(${t} SYSTEM PUBLIC "${MINIZIP_SRC}")
    target_compile_options(${t} PRIVATE -w)
    target_compile_definitions(${t} PUBLIC NOCRYPT NOUNCRYPT)
    target_link_libraries(${t} PUBLIC deps_zlib)
  endforeach()
  target_link_libraries(deps_minizip_zip PUBLIC deps_minizip_unzip)
  add_library(deps::unzip ALIAS deps_minizip_unzip)
  add_library(deps::zip ALIAS deps_minizip_zip)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  find_package(ZLIB REQUIRED)
  add_library(deps_minizip INTERFACE)
  target_link_libraries(deps_minizip INTERFACE PkgConfig::MINIZIP ZLIB::ZLIB)
  # Debian installs the headers under minizip/; both spellings resolve.
  target_include_directories(deps_minizip INTERFACE /usr/include/minizip)
  add_library(deps::unzip ALIAS deps_minizip)
  add_library(deps::zip ALIAS deps_minizip)
endif()

# GoogleTest for the Windows builds' core_tests.exe (tests/unit), compiled here from
# Debian's googletest package (sources in /usr/src/googletest), as minizip is: Debian
# ships no mingw build of it. Optional: without the sources only core_tests is left out.
#   deps::gtest, deps::gtest_main: static, like everything linked into a Windows image.
# Threads: gtest's own Win32 primitives (critical sections, TLS), no pthreads
# (GTEST_HAS_PTHREAD=0), since the toolchain's win32 thread model keeps winpthread out of
# every image. That model's C++ library lacks std::mutex and std::condition_variable,
# which gtest 1.12 builds one helper class of; gtest-mingw/ supplies it on a Win32 event,
# through gtest's own customisation header.
if(WIN32)
  set(SETUP_GTEST_SRC "/usr/src/googletest/googletest" CACHE PATH
      "Debian's GoogleTest sources (package googletest), for the Windows unit tests")
  if(EXISTS "${SETUP_GTEST_SRC}/src/gtest-all.cc")
    add_library(deps_gtest STATIC "${SETUP_GTEST_SRC}/src/gtest-all.cc"
                "${CMAKE_CURRENT_LIST_DIR}/gtest-mingw/notification.cpp")
    # The customisation header first: gtest's include of it must find this one.
    target_include_directories(deps_gtest SYSTEM PUBLIC
      "${CMAKE_CURRENT_LIST_DIR}/gtest-mingw" "${SETUP_GTEST_SRC}/include")
    target_include_directories(deps_gtest PRIVATE "${SETUP_GTEST_SRC}")
    target_compile_definitions(deps_gtest PUBLIC GTEST_HAS_PTHREAD=0)
    # Test code: unoptimised, it compiles faster.
    target_compile_options(deps_gtest PRIVATE -O0)
    add_library(deps_gtest_main STATIC "${SETUP_GTEST_SRC}/src/gtest_main.cc")
    target_link_libraries(deps_gtest_main PUBLIC deps_gtest)
    # Its own warnings are not ours to fix; the Notification is ours and gets them.
    set_source_files_properties("${SETUP_GTEST_SRC}/src/gtest-all.cc" "${SETUP_GTEST_SRC}/src/gtest_main.cc"
                                PROPERTIES COMPILE_OPTIONS -w)
    add_library(deps::gtest ALIAS deps_gtest)
    add_library(deps::gtest_main ALIAS deps_gtest_main)
  else()
    message(WARNING "GoogleTest sources not found in ${SETUP_GTEST_SRC} (Debian package googletest): "
                    "core_tests.exe is not built; run scripts/bootstrap.sh")
  endif()
endif()

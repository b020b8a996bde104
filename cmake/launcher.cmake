# The launcher: portable sources plus the platform files of the flavour being built.
set(SXE_COMMON_FLAGS -Wall -Wextra -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)

set(SXE_CORE_SOURCES
    launcher/entry.cpp launcher/error_text.cpp launcher/run_package.cpp launcher/launch.cpp launcher/cleanup.cpp
    launcher/command_line.cpp launcher/text.cpp package/manifest.cpp codecs/temp_name.cpp)

if(SXE_FLAVOUR STREQUAL "win32")
  list(APPEND SXE_CORE_SOURCES
       package/package_item_resource.cpp codecs/lz_expand_lz32.cpp
       platform/win32/output_file.cpp platform/win32/memory.cpp platform/win32/files.cpp
       platform/win32/process.cpp platform/win32/module_name.cpp platform/win32/resources.cpp platform/win32/lz32.cpp
       platform/win32/system_library.cpp)
  set(SXE_MAIN_SOURCE ${CMAKE_SOURCE_DIR}/platform/win32/winmain.cpp
                      ${CMAKE_SOURCE_DIR}/platform/win32/launcher.rc)
else()
  list(APPEND SXE_CORE_SOURCES
       package/package_item_appended.cpp package/appended_format.cpp
       codecs/lz_expand_szdd.cpp codecs/szdd.cpp
       platform/posix/paths.cpp platform/posix/output_file.cpp platform/posix/memory.cpp
       platform/posix/files.cpp platform/posix/process.cpp platform/posix/module_name.cpp)
  set(SXE_MAIN_SOURCE ${CMAKE_SOURCE_DIR}/platform/posix/main.cpp)
endif()

set(SXE_INCLUDES ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/platform
    ${CMAKE_SOURCE_DIR}/platform/${SXE_FLAVOUR})

if(SXE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(SXE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# The launcher's code for unit tests and the launcher itself, with and without fault points.
add_library(sxe_core STATIC ${SXE_CORE_SOURCES})
add_library(sxe_core_faults STATIC ${SXE_CORE_SOURCES} platform/fault.cpp)
target_compile_definitions(sxe_core_faults PUBLIC SXE_FAULTS)
foreach(core sxe_core sxe_core_faults)
  target_include_directories(${core} PUBLIC ${SXE_INCLUDES})
  target_compile_options(${core} PRIVATE ${SXE_COMMON_FLAGS})
  if(SXE_FLAVOUR STREQUAL "posix")
    target_link_libraries(${core} PUBLIC ${CMAKE_DL_LIBS})
  endif()
endforeach()

function(sxe_launcher_executable name core)
  add_executable(${name} ${SXE_MAIN_SOURCE})
  target_link_libraries(${name} PRIVATE ${core})
  target_compile_options(${name} PRIVATE ${SXE_COMMON_FLAGS})
  if(SXE_FLAVOUR STREQUAL "win32")
    target_link_options(${name} PRIVATE -mwindows -static)
    if(NOT core MATCHES "faults")
      # The test build keeps the C run-time: its fault plan reads the environment and writes
      # its trace at exit.
      target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/platform/win32/startup.cpp)
      target_link_options(${name} PRIVATE -nostartfiles -Wl,-e,_LauncherStartup@0)
      target_link_libraries(${name} PRIVATE kernel32 msvcrt)
    endif()
  endif()
  if(NOT SXE_SANITIZE)
    target_link_options(${name} PRIVATE -s -Wl,--gc-sections)
  endif()
endfunction()

sxe_launcher_executable(sxe-launcher sxe_core)
sxe_launcher_executable(sxe-launcher-faults sxe_core_faults)

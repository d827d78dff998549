# The Windows program, its resources, the tools that run beside it under Wine and the
# Windows test programs.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Small, self-contained code: no exceptions or RTTI, nothing from libstdc++ at run time,
# Vista as the oldest supported system.
set(VELTRANA_PROGRAM_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0600 WINVER=0x0600)
target_compile_options(veltrana_cores PRIVATE ${VELTRANA_PROGRAM_FLAGS})

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VELTRANA_MANIFEST_ARCH amd64)
else()
    set(VELTRANA_MANIFEST_ARCH x86)
endif()

set(resources_out ${CMAKE_BINARY_DIR}/resources)
file(MAKE_DIRECTORY ${resources_out})
configure_file(resources/veltrana.manifest.in ${resources_out}/veltrana.manifest @ONLY)
configure_file(resources/veltrana_version.h.in ${resources_out}/veltrana_version.h @ONLY)
add_custom_command(
    OUTPUT ${resources_out}/program.ico ${resources_out}/placeholder.ico
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/resources/make_icons.py ${resources_out}
    DEPENDS ${CMAKE_SOURCE_DIR}/resources/make_icons.py
    COMMENT "Drawing the program's icons")
set_source_files_properties(resources/veltrana.rc PROPERTIES
    OBJECT_DEPENDS "${resources_out}/program.ico;${resources_out}/placeholder.ico;${resources_out}/veltrana.manifest;${resources_out}/veltrana_version.h;${CMAKE_SOURCE_DIR}/resources/resource_ids.h;${CMAKE_SOURCE_DIR}/menu/menu_ids.h")

# The resources as an object library, so the test programs carry the very same menus,
# strings and icons as the program.
add_library(veltrana_resources OBJECT resources/veltrana.rc)
target_include_directories(veltrana_resources PRIVATE ${resources_out} ${CMAKE_SOURCE_DIR}/resources)

add_library(veltrana_program STATIC
    common/flags.cpp
    common/system_library.cpp
    app/placement_hook.cpp
    app/program.cpp
    app/tray_tip.cpp
    app/tray_window.cpp
    app/visibility.cpp
    icon/cell_layout.cpp
    icon/palette.cpp
    icon/processor_performance.cpp
    icon/renderer.cpp
    menu/commands.cpp
    menu/tray_menu.cpp
    menu/watch_list.cpp
    power/boost.cpp
    power/power_source.cpp
    power/scheme_calls.cpp
    power/undo_record.cpp
    power/power_functions.cpp
    resources/localized.cpp
    settings/settings.cpp
    watcher/process_scan.cpp)
target_compile_options(veltrana_program PRIVATE ${VELTRANA_PROGRAM_FLAGS})
target_link_libraries(veltrana_program PUBLIC veltrana_cores
    user32 gdi32 shell32 shlwapi comdlg32 advapi32 psapi)

add_executable(veltrana WIN32 app/main.cpp $<TARGET_OBJECTS:veltrana_resources>)
target_compile_options(veltrana PRIVATE ${VELTRANA_PROGRAM_FLAGS})
target_link_libraries(veltrana PRIVATE veltrana_program)
target_link_options(veltrana PRIVATE -static)
if(CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
    # The shipped build: smallest code, unused sections dropped, symbols stripped, and no link
    # time in the PE header, so that the same sources always give the same bytes.
    target_compile_options(veltrana_cores PRIVATE -ffunction-sections)
    target_compile_options(veltrana_program PRIVATE -ffunction-sections)
    target_link_options(veltrana PRIVATE -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
endif()

add_subdirectory(tools)

if(VELTRANA_TESTS)
    enable_testing()
    add_subdirectory(tests)
endif()

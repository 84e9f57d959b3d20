# The Windows build: the runtime's Win32 body, the program with its resources, and the
# tests, run under Wine through ctest's emulator.
set(KESTRIN_WINE ${PROJECT_SOURCE_DIR}/tests/wine/wine.sh)
set(KESTRIN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRIN_WINE} run ${KESTRIN_WINE_PREFIX})
# One executable that imports nothing but Windows' own DLLs.
add_link_options(-static)

add_subdirectory(forms/win32)

if(KESTRIN_TESTS)
    enable_testing()
    add_subdirectory(tests/wine)
endif()

# The zip and the installer come from the installed build's tree.
if(KESTRIN_INSTALLED)
    include(packaging/Windows.cmake)
endif()

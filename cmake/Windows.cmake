# The Windows build: one executable that imports nothing but Windows' own DLLs, and ctest
# running the Windows programs under Wine, in one Wine prefix for this build tree.
set(KESTRIN_WINE ${PROJECT_SOURCE_DIR}/tests/wine/wine.sh)
set(KESTRIN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRIN_WINE} run ${KESTRIN_WINE_PREFIX})
add_link_options(-static)

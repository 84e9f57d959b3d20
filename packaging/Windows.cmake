# The Windows packages, made by the installed build's tree: kestrin-VERSION-win64.zip, the
# portable program (built beside it from the same sources) with its licence and read-me, and
# kestrin-VERSION-setup.exe, the installer of this tree's program.
find_program(MAKENSIS makensis REQUIRED)
include(ExternalProject)

set(KESTRIN_PACKAGE kestrin-${PROJECT_VERSION})

# The texts as Windows' editors expect them.
configure_file(${PROJECT_SOURCE_DIR}/LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/README.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)

# The zip's copy keeps its table beside itself: the same build without KESTRIN_INSTALLED.
set(portable_dir ${CMAKE_CURRENT_BINARY_DIR}/portable)
ExternalProject_Add(portable
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${portable_dir}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
               -DCMAKE_EXE_LINKER_FLAGS=${CMAKE_EXE_LINKER_FLAGS} -DKESTRIN_WERROR=${KESTRIN_WERROR}
               -DKESTRIN_INSTALLED=OFF -DKESTRIN_TESTS=OFF -DKESTRIN_BENCH=OFF
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${portable_dir}/kestrin.exe)

set(zip ${KESTRIN_PACKAGE}-win64.zip)
add_custom_command(OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf zip
    COMMAND ${CMAKE_COMMAND} -E make_directory zip
    COMMAND ${CMAKE_COMMAND} -E copy ${portable_dir}/kestrin.exe LICENSE.txt README.txt zip
    COMMAND ${CMAKE_COMMAND} -E chdir zip ${CMAKE_COMMAND} -E tar cf ../${zip} --format=zip
            kestrin.exe LICENSE.txt README.txt
    DEPENDS portable ${portable_dir}/kestrin.exe ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
            ${CMAKE_CURRENT_BINARY_DIR}/README.txt
    VERBATIM)

# The script names its files by absolute path, the program's once the generator knows it.
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/kestrin.nsi.in kestrin.nsi.in @ONLY)
file(GENERATE OUTPUT kestrin.nsi INPUT ${CMAKE_CURRENT_BINARY_DIR}/kestrin.nsi.in)
set(setup ${KESTRIN_PACKAGE}-setup.exe)
add_custom_command(OUTPUT ${setup}
    COMMAND ${MAKENSIS} -V2 -WX kestrin.nsi
    DEPENDS kestrin ${CMAKE_CURRENT_BINARY_DIR}/kestrin.nsi ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt
            ${CMAKE_CURRENT_BINARY_DIR}/README.txt ${PROJECT_SOURCE_DIR}/resources/shotgun.ico
    VERBATIM)

add_custom_target(windows_package ALL DEPENDS ${zip} ${setup})

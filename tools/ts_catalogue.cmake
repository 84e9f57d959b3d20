# Turns Qt Linguist translation files into the C++ table of catalogues the program carries,
# so that no Qt tool runs at build time and no file is read at run time.
#   cmake -DOUTPUT=Catalogues.cpp "-DTS_FILES=kestrin_en.ts;..." -P tools/ts_catalogue.cmake
# A message counts when its translation is finished (a plain <translation> element).
cmake_minimum_required(VERSION 3.25)

# The XML text as a C++ string literal.
function(cpp_literal xml out)
    string(REPLACE "&lt;" "<" text "${xml}")
    string(REPLACE "&gt;" ">" text "${text}")
    string(REPLACE "&quot;" "\"" text "${text}")
    string(REPLACE "&apos;" "'" text "${text}")
    string(REPLACE "&amp;" "&" text "${text}")
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    string(REPLACE "\n" "\\n" text "${text}")
    set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# Appends one catalogue's array to `arrays` and its row to `catalogues`.
function(read_catalogue ts)
    file(READ "${ts}" content)
    if(NOT content MATCHES "<TS[^>]* language=\"([^\"]+)\"")
        message(FATAL_ERROR "${ts}: the <TS> element names no language")
    endif()
    set(language "${CMAKE_MATCH_1}")
    string(MAKE_C_IDENTIFIER "${language}" id)
    set(rows "")
    set(count 0)
    string(FIND "${content}" "<message>" start)
    while(NOT start EQUAL -1)
        string(SUBSTRING "${content}" ${start} -1 content)
        string(FIND "${content}" "</message>" end)
        string(SUBSTRING "${content}" 0 ${end} message)
        string(SUBSTRING "${content}" ${end} -1 content)
        if(message MATCHES "<source>([^<]*)</source>")
            cpp_literal("${CMAKE_MATCH_1}" source)
            if(message MATCHES "<translation>([^<]+)</translation>")
                cpp_literal("${CMAKE_MATCH_1}" translation)
                string(APPEND rows "    Message{${source}, ${translation}},\n")
                math(EXPR count "${count} + 1")
            endif()
        endif()
        string(FIND "${content}" "<message>" start)
    endwhile()
    set(arrays "${arrays}constexpr std::array<Message, ${count}> kMessages_${id}{{\n${rows}}};\n" PARENT_SCOPE)
    set(catalogues "${catalogues}    Catalogue{\"${language}\", kMessages_${id}},\n" PARENT_SCOPE)
endfunction()

set(arrays "")
set(catalogues "")
foreach(ts IN LISTS TS_FILES)
    read_catalogue("${ts}")
endforeach()

file(WRITE "${OUTPUT}.new" "// Made from the translation files by tools/ts_catalogue.cmake; edit those instead.

#include <array>

#include \"forms/Language.h\"

namespace forms {

namespace {

${arrays}
constexpr Catalogue kCatalogues[] = {
${catalogues}};

} // namespace

std::span<const Catalogue> Catalogues() { return kCatalogues; }

} // namespace forms
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")

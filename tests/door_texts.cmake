# Lists the texts that the sources pass to the door (the literals of Tr and TrNoop), as
# lupdate would find them: one C++ literal and a comma a line, for the catalogue test.
#   cmake -DOUTPUT=door_texts.inc "-DSOURCES=a.cpp;..." -P tests/door_texts.cmake
cmake_minimum_required(VERSION 3.25)

set(texts "")
foreach(source IN LISTS SOURCES)
    file(READ "${source}" content)
    string(REGEX MATCHALL "[^A-Za-z0-9_]Tr(Noop)?\\(\"[^\"]*\"" calls "${content}")
    foreach(call IN LISTS calls)
        string(REGEX REPLACE "^.Tr(Noop)?\\(" "" literal "${call}")
        list(APPEND texts "${literal},")
    endforeach()
endforeach()
list(REMOVE_DUPLICATES texts)
list(SORT texts)
list(JOIN texts "\n" lines)
file(WRITE "${OUTPUT}.new" "${lines}\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")

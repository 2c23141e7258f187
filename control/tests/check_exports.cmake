# Fails unless the library's dynamic symbol table defines exactly the server entry points.
# Run as: cmake -DLIBRARY=<path> -P check_exports.cmake
set(expected ComponentLastError ComponentTypeLibrary DllCanUnloadNow DllGetClassObject DllRegisterServer
    DllUnregisterServer)

execute_process(COMMAND nm -D --defined-only --format=just-symbols ${LIBRARY}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "nm could not read ${LIBRARY}")
endif()
string(REGEX REPLACE "\n$" "" symbols "${symbols}")
string(REPLACE "\n" ";" symbols "${symbols}")
list(SORT symbols)
if(NOT symbols STREQUAL expected)
    message(FATAL_ERROR "exports of ${LIBRARY}:\n  ${symbols}\nexpected:\n  ${expected}")
endif()

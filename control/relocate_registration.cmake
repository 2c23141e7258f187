# Points a registration record made from the built library at the installed library.
# Run as: cmake -DFROM=<record> -DTO=<record> -DBUILT=<path> -DINSTALLED=<path> -P this-file
file(READ ${FROM} record)
string(REPLACE "\t${BUILT}\n" "\t${INSTALLED}\n" relocated "${record}")
if(relocated STREQUAL record)
    message(FATAL_ERROR "${FROM} does not name ${BUILT}")
endif()
file(WRITE ${TO} "${relocated}")

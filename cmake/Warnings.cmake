# Warnings on our own code only; third-party headers come in as SYSTEM. They are errors when
# OMBRIX_WARNINGS_AS_ERRORS is on, as in the development presets.
function(ombrix_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
        -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wnull-dereference
        $<$<BOOL:${OMBRIX_WARNINGS_AS_ERRORS}>:-Werror>
        # GCC 12 at -O3 reports bounds and overlap faults inside libstdc++'s own inlined
        # string and vector copies that cannot happen; they stay visible as warnings.
        $<$<CXX_COMPILER_ID:GNU>:-Wno-error=restrict -Wno-error=array-bounds -Wno-error=stringop-overflow>)
endfunction()

# Shared compiler settings for the project's own targets.

# kel_std_warnings(<target> [STRICT]): the warning set every target of the
# project compiles with, plus -Werror when KEL_STD_WERROR is on. STRICT adds
# the conversion and cast warnings that the library's own sources keep clean.
function(kel_std_warnings target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wundef)
        if("STRICT" IN_LIST ARGN)
            target_compile_options(${target} PRIVATE -Wconversion -Wsign-conversion -Wold-style-cast)
        endif()
        if(KEL_STD_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()

# Sanitizers apply to everything that is built, so that instrumented code
# never calls into an uninstrumented copy of the library.
if(KEL_STD_SANITIZE)
    add_compile_options(-fsanitize=${KEL_STD_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${KEL_STD_SANITIZE})
endif()

# Coverage instrumentation for everything that is built, unoptimised so that
# every line and branch of the source survives into the object code. The
# counters are updated atomically: the concurrency test runs library code on
# several threads at once, and plain increments lose updates under that
# contention, which can leave gcov with inconsistent (even negative) branch
# counts.
if(KEL_STD_COVERAGE)
    add_compile_options(--coverage -O0 -fprofile-update=atomic)
    add_link_options(--coverage)
endif()

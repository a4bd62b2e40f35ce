# Writes include/kel_std/detail/gdb_printers.h from gdb/kel_std_printers.py:
# the printers' Python text in an assembler string that puts it into the
# .debug_gdb_scripts section of a program.
#
#   cmake -DPRINTERS=gdb/kel_std_printers.py -DHEADER=include/kel_std/detail/gdb_printers.h \
#         -P cmake/KelStdEmbedGdbPrinters.cmake
#
# The header is checked in, so that the source and the installed include
# directories hold it as they are; with -DCHECK=ON the script only compares
# (the test gdb_printers_header_is_current), and fails when the header no
# longer matches the Python file.
cmake_minimum_required(VERSION 3.21)
foreach(var PRINTERS HEADER)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "KelStdEmbedGdbPrinters.cmake: -D${var}=... is required")
    endif()
endforeach()

file(READ "${PRINTERS}" text)
# One NUL-terminated string in a section of mergeable strings: the script
# holds no NUL, and stays plain ASCII so that every assembler takes it.
if(text MATCHES "[^\t\n -~]")
    message(FATAL_ERROR "${PRINTERS}: only printable ASCII, tabs and newlines can be embedded")
endif()

# Escaped twice: for the assembler's .ascii strings, then for the C++ string
# literal that holds the assembler's text. Each line becomes one .ascii
# directive on a line of its own.
foreach(pass asm cxx)
    string(REPLACE [[\]] [[\\]] text "${text}")
    string(REPLACE [["]] [[\"]] text "${text}")
endforeach()
set(open [[        ".ascii \"]])
set(close [[\\n\"\n"]])
string(REGEX REPLACE "\n$" "" text "${text}")
string(REPLACE "\n" "${close}\n${open}" text "${text}")

file(WRITE "${HEADER}.tmp" [[
// Generated from gdb/kel_std_printers.py by cmake/KelStdEmbedGdbPrinters.cmake:
// edit the Python file and run the script again (see the script's comment).
//
// The library's gdb pretty printers, embedded in the program: gdb reads the
// section .debug_gdb_scripts of every object file it loads and runs the
// Python text it finds there (if the object file is in gdb's auto-load
// safe-path). config.h includes this header when KEL_STD_EMBED_GDB_PRINTERS
// is defined. The linker keeps one copy of the text however many translation
// units carry it (ELF: a section of mergeable strings; PE/COFF, for Windows
// programs built with MinGW: a section that is linked once); the section is
// not loaded at run time and adds no symbol.
#ifndef KEL_STD_DETAIL_GDB_PRINTERS_H
#define KEL_STD_DETAIL_GDB_PRINTERS_H

#if (defined(__ELF__) || defined(_WIN32)) && (defined(__GNUC__) || defined(__clang__))
// clang-format off
__asm__(
#if defined(__ELF__)
        ".pushsection \".debug_gdb_scripts\", \"MS\", %progbits, 1\n"
#else
        // COFF knows no section stack: the text section, where the compiler
        // puts its first output, is restored at the end (the compiler emits
        // every top-level asm first, unless -fno-toplevel-reorder is given).
        ".section .debug_gdb_scripts,\"dr\"\n"
        ".linkonce discard\n"
#endif
        // 4: Python text follows; its first line names the script.
        ".byte 4\n"
        ".ascii \"kel_std_printers.py\\n\"\n"
]] "${open}${text}${close}\n" [[
        ".byte 0\n"
#if defined(__ELF__)
        ".popsection\n"
#else
        ".text\n"
#endif
        );
// clang-format on
#endif

#endif // KEL_STD_DETAIL_GDB_PRINTERS_H
]])
if(CHECK)
    # -DCHECK=ON: only compare with the header that is there.
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${HEADER}.tmp" "${HEADER}" RESULT_VARIABLE differs)
    file(REMOVE "${HEADER}.tmp")
    if(differs)
        message(FATAL_ERROR "${HEADER} does not match ${PRINTERS}; regenerate it:\n"
                "cmake -DPRINTERS=${PRINTERS} -DHEADER=${HEADER} -P ${CMAKE_CURRENT_LIST_FILE}")
    endif()
    message(STATUS "${HEADER} matches ${PRINTERS}")
else()
    file(RENAME "${HEADER}.tmp" "${HEADER}")
endif()

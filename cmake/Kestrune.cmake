# Project-wide compile settings, applied per target through kes_target_defaults().

set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")

if(KES_SANITIZE AND NOT WIN32)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

if(KES_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KES_FUZZ needs clang (configure with -DCMAKE_CXX_COMPILER=clang++-14)")
    endif()
    # Instrument the code under test; the fuzz executables add the fuzzer's main.
    # Every sanitizer finding, UBSan's included, ends the run as a crash. No
    # stack-depth feature: the depth it measures shifts with the stack's
    # alignment, which changes from run to run, and the runs must repeat.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-coverage=stack-depth
                        -fno-omit-frame-pointer -fno-sanitize-recover=all -g -O1)
    add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
    add_compile_definitions(UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)
    # SSE maths so floating-point results match the native build.
    add_compile_options(-msse2 -mfpmath=sse)
    add_link_options(-static -static-libgcc -static-libstdc++)
endif()

function(kes_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
    # Pointers and integers of other sizes must not be cast into each other:
    # C++ rejects a pointer cast to a narrower integer outright; these catch
    # the other direction, and both in C.
    target_compile_options(${target} PRIVATE -Wint-to-pointer-cast $<$<COMPILE_LANGUAGE:C>:-Wpointer-to-int-cast>)
    if(KES_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

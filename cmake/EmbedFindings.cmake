# Writes a header that holds every committed fuzz finding
# (tests/fuzz/findings/TARGET/NAME) as bytes, so the native and the Windows
# tests replay them without reading files at run time:
#   struct FuzzFinding { const char* Target; const char* Name; const unsigned char* Data; std::size_t Size; };
#   kFuzzFindings[] and FindFuzzFinding(target, name).
function(kes_embed_fuzz_findings findings_dir header)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS LIST_DIRECTORIES false ${findings_dir}/*)
    list(SORT files)
    set(arrays "")
    set(rows "")
    set(index 0)
    foreach(file IN LISTS files)
        file(RELATIVE_PATH rel ${findings_dir} ${file})
        string(REGEX MATCH "^[^/]+" target ${rel})
        string(REGEX REPLACE "^[^/]+/" "" name ${rel})
        file(READ ${file} hex HEX)
        string(LENGTH "${hex}" hexlength)
        math(EXPR size "${hexlength} / 2")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")
        string(APPEND arrays "inline constexpr unsigned char kFuzzFinding${index}[] = {\n    ${bytes}0};\n")
        string(APPEND rows "    {\"${target}\", \"${name}\", kFuzzFinding${index}, ${size}},\n")
        math(EXPR index "${index} + 1")
    endforeach()
    set(content "// Written by cmake/EmbedFindings.cmake from tests/fuzz/findings; do not edit.
#pragma once

#include <cstddef>
#include <cstring>

struct FuzzFinding {
    const char* Target;
    const char* Name;
    const unsigned char* Data;
    std::size_t Size;
};

${arrays}
inline constexpr FuzzFinding kFuzzFindings[] = {
${rows}};

// The finding of a target by its file name, or nullptr.
inline const FuzzFinding* FindFuzzFinding(const char* Target, const char* Name) {
    for (const FuzzFinding& f : kFuzzFindings)
        if (std::strcmp(f.Target, Target) == 0 && std::strcmp(f.Name, Name) == 0) return &f;
    return nullptr;
}
")
    # Rewritten only when it changes, so the tests rebuild only then.
    file(CONFIGURE OUTPUT ${header} CONTENT "${content}" @ONLY)
endfunction()

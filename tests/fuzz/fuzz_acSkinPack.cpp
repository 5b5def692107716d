// Fuzz target for packed skins: each input is unpacked as the packed data of
// a stored skin. Failures must come as the framework's exceptions; unpacked
// output is bounded by what the input can inflate to.
#include <cstddef>
#include <cstdint>

#include "acSkinPack.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 20)) return 0;
    TacSkinConvertor* c = New<TacSkinConvertor>();
    c->PackedData = New<TMemoryStream>();
    c->PackedData->WriteBuffer(data, static_cast<Integer>(size));
    try {
        ExtractPackedData(c);
        if (!c) __builtin_trap();
        // What was read must be consistent.
        Int64 total = c->Options ? c->Options->GetSize() : 0;
        for (const TacImageItem& item : c->Files) {
            if (!item.FileStream) __builtin_trap();
            total += item.FileStream->GetSize();
        }
        if (total > static_cast<Int64>(size) * MaxDeflateRatio) __builtin_trap();
        if (c->IndexOfFile(u"Options.dat") >= 0) __builtin_trap();
    } catch (const Exception&) {
        // Refused input: the convertor is gone (wrong signature) or empty.
        if (c && (c->Options || !c->Files.empty())) __builtin_trap();
    }
    FreeAndNil(c);
    return 0;
}

// Objects of a class made Quarantined<T> are not given back to the heap when
// they are deleted: their memory is filled with a pattern and held until the
// test releases it. A write into a freed object then shows as a changed byte,
// and a pointer read from it points nowhere, so the use fails at once.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace harness {

constexpr unsigned char kFreedPattern = 0x5A;

struct QuarantinedBlock {
    unsigned char* Data = nullptr;
    std::size_t Size = 0;
};

inline std::vector<QuarantinedBlock>& QuarantinedBlocks() {
    static std::vector<QuarantinedBlock> blocks;
    return blocks;
}

// The bytes of the held blocks that changed since their objects were
// deleted; the blocks go back to the heap.
inline std::size_t ReleaseQuarantine() {
    std::size_t changed = 0;
    for (const QuarantinedBlock& b : QuarantinedBlocks()) {
        for (std::size_t i = 0; i < b.Size; ++i)
            if (b.Data[i] != kFreedPattern) ++changed;
        std::free(b.Data);
    }
    QuarantinedBlocks().clear();
    return changed;
}

// The number of objects deleted and held.
inline std::size_t QuarantinedCount() { return QuarantinedBlocks().size(); }

template <class T>
class Quarantined : public T {
public:
    using T::T;
    static void* operator new(std::size_t Size);
    static void operator delete(void* Block, std::size_t Size);
};

template <class T>
__attribute__((noinline)) void* Quarantined<T>::operator new(std::size_t Size) {
    void* block = std::malloc(Size);
    if (!block) throw std::bad_alloc();
    return block;
}

template <class T>
void Quarantined<T>::operator delete(void* Block, std::size_t Size) {
    std::memset(Block, kFreedPattern, Size);
    QuarantinedBlocks().push_back(QuarantinedBlock{static_cast<unsigned char*>(Block), Size});
}

}  // namespace harness

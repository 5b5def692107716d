// The checking allocator of the test programs: a write into freed memory, a
// double free, an overrun, a foreign pointer and a mismatched delete are
// caught; freed memory reads as the pattern; threads share it safely.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "CheckedHeap.h"

namespace {

// Pointers pass through here so that the compiler neither sees nor removes
// their use after the free.
void* volatile gKept = nullptr;
template <class T>
T* Kept(T* p) {
    gKept = p;
    return static_cast<T*>(gKept);
}

const ::testing::ExitedWithCode kFault(harness::kHeapFaultExitCode);

// Frees a block of 32 bytes and writes 0x12345678 into its fourth word.
void WriteAfterFree() {
    auto* block = Kept(new std::uint32_t[8]());
    delete[] block;
    Kept(block)[3] = 0x12345678;
}

TEST(CheckedHeap, FreedMemoryReadsAsThePatternAndAWriteIntoItIsToldOnce) {
    auto* block = Kept(new std::uint32_t[8]());
    delete[] block;
    EXPECT_EQ(Kept(block)[5], 0x5A5A5A5Au);
    EXPECT_EQ(harness::CheckFreedMemory(), "");
    Kept(block)[3] = 0x5A5A5A59;   // a count taken down in a freed object
    const std::string found = harness::CheckFreedMemory();
    EXPECT_NE(found.find("write after free: a freed block of 32 bytes"), std::string::npos) << found;
    EXPECT_NE(found.find("at offset 12 to 0x59"), std::string::npos) << found;
    EXPECT_NE(found.find("reads 0x5A5A5A59"), std::string::npos) << found;
    EXPECT_EQ(harness::CheckFreedMemory(), "");
}

TEST(CheckedHeapDeathTest, AWriteAfterFreeEndsTheProgramWhenTheBlockLeavesTheQuarantineOrAtExit) {
    EXPECT_EXIT(
        {
            WriteAfterFree();
            harness::FlushFreedMemory();
        },
        kFault, "write after free: a freed block of 32 bytes .*offset 12");
    EXPECT_EXIT(
        {
            WriteAfterFree();
            // Pushed out by later frees.
            for (std::size_t i = 0; i < harness::kQuarantineBlocks; ++i) delete Kept(new int(1));
            std::fputs("not caught\n", stderr);
            std::_Exit(0);
        },
        kFault, "write after free: a freed block of 32 bytes");
    EXPECT_EXIT(
        {
            WriteAfterFree();
            std::exit(0);
        },
        kFault, "write after free: a freed block of 32 bytes");
}

TEST(CheckedHeapDeathTest, DoubleFreeOverrunForeignPointerAndMismatchedDeleteEndTheProgram) {
    EXPECT_EXIT(
        {
            auto* p = Kept(new std::uint64_t[3]);
            delete[] p;
            delete[] Kept(p);
        },
        kFault, "double free of a block of 24 bytes");
    EXPECT_EXIT(
        {
            auto* p = Kept(new char[10]);
            Kept(p)[10] = 1;
            delete[] p;
        },
        kFault, "overrun: the guard after a block of 10 bytes .* 0 bytes past its end to 0x01");
    EXPECT_EXIT(::operator delete(Kept(std::malloc(64))), kFault, "which no operator new gave out");
    EXPECT_EXIT(
        {
            int* p = Kept(new int[4]);
            delete Kept(p);
        },
        kFault, "a block of 16 bytes .* made by new.. is freed by the delete of new");
    EXPECT_EXIT(::operator delete(Kept(::operator new(40)), 48), kFault,
                "sized delete of 48 bytes for a block of 40 bytes");
}

TEST(CheckedHeap, AlignedBlocksKeepTheirAlignment) {
    struct alignas(256) Wide {
        char Bytes[300];
    };
    std::vector<Wide*> wide;
    for (int i = 0; i < 8; ++i) wide.push_back(new Wide());
    for (Wide* w : wide) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(w) % 256, 0u);
        delete w;
    }
    for (int size : {1, 7, 33}) {
        void* p = ::operator new(static_cast<std::size_t>(size));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0u);
        ::operator delete(p);
    }
}

TEST(CheckedHeap, ThreadsAllocateAndFreeTogetherWithoutFalseReports) {
    // Blocks made on one thread are freed on another, in a mix of sizes.
    std::vector<std::thread> workers;
    std::vector<std::vector<std::string*>> made(4);
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&made, t] {
            for (int i = 0; i < 20000; ++i) {
                auto* s = new std::string(static_cast<std::size_t>((i * 37 + t) % 700), 'x');
                if (i % 3 == 0)
                    made[t].push_back(s);
                else
                    delete s;
            }
        });
    for (auto& w : workers) w.join();
    workers.clear();
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&made, t] {
            for (std::string* s : made[(t + 1) % 4]) delete s;
        });
    for (auto& w : workers) w.join();
    EXPECT_EQ(harness::CheckFreedMemory(), "");
}

}  // namespace

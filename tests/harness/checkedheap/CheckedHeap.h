// The checking allocator of the Windows test programs. It replaces every
// global operator new and delete of the program it is linked into (the
// program itself stays as it is: only the test programs link it).
//
// Each block carries a header (its size, a seal made from its address, its
// state) and guard bytes after it. A delete checks the header and the guard:
// a double free, a pointer that never came from operator new, a delete of the
// wrong form (new[] freed by delete, a wrong size or alignment) or an
// overwritten guard ends the program with a message naming the fault and the
// block's size. A freed block is filled with 0x5A and held in a first-in
// first-out quarantine of a few megabytes before it goes back to the system;
// when it leaves, every byte is checked, so a write into freed memory ends
// the program too, and a read of freed memory sees the pattern. The whole
// quarantine is checked once more when the program exits.
//
// Test programs add a GoogleTest listener (CheckedHeapListener.cpp) that
// checks the quarantine after every test and fails the test that wrote into
// freed memory.
#pragma once

#include <cstddef>
#include <string>

namespace harness {

// The exit code of a program ended by a fault of the checking allocator.
inline constexpr int kHeapFaultExitCode = 3;

// The byte every freed block is filled with while it waits in quarantine.
inline constexpr unsigned char kFreedByte = 0x5A;

// Checks every block in quarantine now. Returns a description of each write
// into freed memory found (empty when there is none) instead of ending the
// program; a block found changed is filled again, so each write is told once.
std::string CheckFreedMemory();

// Checks and releases the whole quarantine now, ending the program on a write
// into freed memory as a block leaving the quarantine does.
void FlushFreedMemory();

// The name of the test now running, told in every fault report (copied; a
// null or empty name clears it).
void NoteRunningTest(const char* name);

// The quarantine's limits: blocks larger than kQuarantineLargest are checked
// and released at once.
inline constexpr std::size_t kQuarantineBytes = std::size_t{4} << 20;
inline constexpr std::size_t kQuarantineBlocks = 32768;
inline constexpr std::size_t kQuarantineLargest = std::size_t{1} << 20;

}  // namespace harness

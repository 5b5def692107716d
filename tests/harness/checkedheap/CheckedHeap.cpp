// The checking allocator (see CheckedHeap.h). Blocks come from malloc with
// room for a header before them and guard bytes after; everything here works
// from the first allocation of static initialisation on, without any
// initialisation of its own, and never allocates through operator new.
#include "CheckedHeap.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <windows.h>
#else
#include <sched.h>
#endif

namespace {

using harness::kFreedByte;
using harness::kQuarantineBlocks;
using harness::kQuarantineBytes;
using harness::kQuarantineLargest;

// Every block starts on this boundary, whatever malloc gives.
constexpr std::size_t kMinAlign = 16;
// The largest alignment an aligned new may ask for.
constexpr std::size_t kMaxAlign = std::size_t{1} << 16;
constexpr std::size_t kGuardBytes = 16;
constexpr unsigned char kGuardByte = 0xFD;
constexpr std::uintptr_t kSealKey = static_cast<std::uintptr_t>(0x6B4A91D3C5E2F078ull);
constexpr std::uint8_t kLive = 0xA1;
constexpr std::uint8_t kFreed = 0xF7;
// The forms of new and delete: bits of Header::Form.
constexpr std::uint8_t kArray = 1;
constexpr std::uint8_t kAligned = 2;
constexpr std::size_t kAnySize = SIZE_MAX;
constexpr std::size_t kNowhere = SIZE_MAX;

// Right before the block; the seal last, so that a write just before the
// block spoils it first.
struct Header {
    std::size_t Size;        // bytes asked for
    std::uint32_t Offset;    // from the start of the malloc block to the block
    std::uint32_t Align;     // the alignment an aligned new asked for, else 0
    std::uint8_t State;      // kLive or kFreed
    std::uint8_t Form;       // kArray | kAligned
    std::uintptr_t Seal;     // kSealKey ^ the block's address
};

std::uintptr_t SealOf(std::uintptr_t user) { return kSealKey ^ user; }
Header* HeaderOf(std::uintptr_t user) { return reinterpret_cast<Header*>(user) - 1; }

// A lock of its own that never allocates and needs no initialisation.
class Lock {
public:
#ifdef _WIN32
    void Enter() { ::AcquireSRWLockExclusive(&FLock); }
    void Leave() { ::ReleaseSRWLockExclusive(&FLock); }

private:
    SRWLOCK FLock = SRWLOCK_INIT;
#else
    void Enter() {
        while (FLock.test_and_set(std::memory_order_acquire)) sched_yield();
    }
    void Leave() { FLock.clear(std::memory_order_release); }

private:
    std::atomic_flag FLock = ATOMIC_FLAG_INIT;
#endif
};

struct Entry {
    std::uintptr_t User;
    std::size_t Size;
};

// The quarantine: a ring of freed blocks, oldest first.
struct Quarantine {
    Entry Blocks[kQuarantineBlocks];
    std::size_t First;
    std::size_t Count;
    std::size_t Bytes;
};

constinit Lock gLock;
constinit Quarantine gQuarantine{};
constinit char gRunningTest[256] = {};

// The first byte of [p, p + n) that differs from b, or kNowhere.
std::size_t FirstChanged(const unsigned char* p, std::size_t n, unsigned char b) {
    const std::uint64_t pattern = 0x0101010101010101ull * b;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t v;
        std::memcpy(&v, p + i, 8);
        if (v != pattern) break;
    }
    for (; i < n; ++i)
        if (p[i] != b) return i;
    return kNowhere;
}

unsigned long long U(std::size_t n) { return n; }

const char* FormName(std::uint8_t form) {
    switch (form) {
    case 0: return "new";
    case kArray: return "new[]";
    case kAligned: return "aligned new";
    default: return "aligned new[]";
    }
}

[[noreturn]] void Die(const char* text) {
    std::fflush(stdout);
    char line[1400];
    std::snprintf(line, sizeof line, "\n*** checked heap: %s%s%s\n", text, gRunningTest[0] ? "\n*** in test " : "",
                  gRunningTest);
    std::fputs(line, stderr);
    std::fflush(stderr);
#ifdef _WIN32
    ::TerminateProcess(::GetCurrentProcess(), harness::kHeapFaultExitCode);
#endif
    std::_Exit(harness::kHeapFaultExitCode);
}

// Whether a block in quarantine still reads as it was left; if not, says
// what changed into text.
bool FreedBlockIntact(const Entry& e, char* text, std::size_t room) {
    const Header* h = HeaderOf(e.User);
    const auto* user = reinterpret_cast<const unsigned char*>(e.User);
    if (h->Seal != SealOf(e.User) || h->State != kFreed || h->Size != e.Size ||
        h->Offset > sizeof(Header) + kMaxAlign) {
        std::snprintf(text, room, "write after free: the header of a freed block of %llu bytes at %p was changed",
                      U(e.Size), static_cast<const void*>(user));
        return false;
    }
    const std::size_t at = FirstChanged(user, e.Size, kFreedByte);
    if (at != kNowhere) {
        // The aligned 32-bit word around the byte, as a read of it sees it.
        const std::size_t word = at & ~std::size_t{3};
        std::uint32_t value = 0;
        std::memcpy(&value, user + word, e.Size - word < 4 ? e.Size - word : 4);
        std::snprintf(text, room,
                      "write after free: a freed block of %llu bytes at %p was changed at offset %llu to 0x%02X "
                      "(freed memory reads 0x%02X; its 32-bit word at offset %llu reads 0x%08X)",
                      U(e.Size), static_cast<const void*>(user), U(at), user[at], kFreedByte, U(word),
                      static_cast<unsigned>(value));
        return false;
    }
    const std::size_t past = FirstChanged(user + e.Size, kGuardBytes, kGuardByte);
    if (past != kNowhere) {
        std::snprintf(text, room,
                      "write after free: the guard after a freed block of %llu bytes at %p was changed %llu bytes "
                      "past its end to 0x%02X",
                      U(e.Size), static_cast<const void*>(user), U(past), user[e.Size + past]);
        return false;
    }
    return true;
}

void ReleaseToSystem(std::uintptr_t user) {
    std::free(reinterpret_cast<unsigned char*>(user) - HeaderOf(user)->Offset);
}

// A block leaving the quarantine: checked, then given back.
void Evict(const Entry& e) {
    char text[512];
    if (!FreedBlockIntact(e, text, sizeof text)) Die(text);
    ReleaseToSystem(e.User);
}

constexpr std::size_t kBatch = 64;

// Takes up to kBatch of the oldest blocks out while the quarantine holds more
// than it may (or all of them); answers how many. Called under the lock.
std::size_t TakeOldest(Entry* out, bool all) {
    Quarantine& q = gQuarantine;
    std::size_t n = 0;
    while (n < kBatch && q.Count > 0 && (all || q.Count > kQuarantineBlocks - 1 || q.Bytes > kQuarantineBytes)) {
        out[n++] = q.Blocks[q.First];
        q.Bytes -= q.Blocks[q.First].Size;
        q.First = (q.First + 1) % kQuarantineBlocks;
        --q.Count;
    }
    return n;
}

void EvictAll(bool all) {
    Entry out[kBatch];
    for (;;) {
        gLock.Enter();
        const std::size_t n = TakeOldest(out, all);
        gLock.Leave();
        if (n == 0) return;
        for (std::size_t i = 0; i < n; ++i) Evict(out[i]);
    }
}

void* Allocate(std::size_t size, std::size_t align, std::uint8_t form) noexcept {
    const std::size_t a = align < kMinAlign ? kMinAlign : align;
    if (a > kMaxAlign || (a & (a - 1)) != 0) return nullptr;
    const std::size_t over = sizeof(Header) + (a - 1) + kGuardBytes;
    if (size > SIZE_MAX - over) return nullptr;
    auto* raw = static_cast<unsigned char*>(std::malloc(size + over));
    if (!raw) return nullptr;
    const std::uintptr_t user =
        (reinterpret_cast<std::uintptr_t>(raw) + sizeof(Header) + a - 1) & ~static_cast<std::uintptr_t>(a - 1);
    Header* h = HeaderOf(user);
    h->Size = size;
    h->Offset = static_cast<std::uint32_t>(user - reinterpret_cast<std::uintptr_t>(raw));
    h->Align = (form & kAligned) ? static_cast<std::uint32_t>(align) : 0;
    h->State = kLive;
    h->Form = form;
    h->Seal = SealOf(user);
    std::memset(reinterpret_cast<unsigned char*>(user) + size, kGuardByte, kGuardBytes);
    return reinterpret_cast<void*>(user);
}

void* AllocateOrThrow(std::size_t size, std::size_t align, std::uint8_t form) {
    for (;;) {
        if (void* p = Allocate(size, align, form)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void* AllocateOrNull(std::size_t size, std::size_t align, std::uint8_t form) noexcept {
    try {
        return AllocateOrThrow(size, align, form);
    } catch (...) {
        return nullptr;
    }
}

void Release(void* p, std::uint8_t form, std::size_t size, std::size_t align) noexcept {
    if (!p) return;
    const auto user = reinterpret_cast<std::uintptr_t>(p);
    char text[512];
    if (user % kMinAlign != 0) {
        std::snprintf(text, sizeof text, "delete of %p, which no operator new gave out (its blocks are aligned to %llu)",
                      p, U(kMinAlign));
        Die(text);
    }
    Header* h = HeaderOf(user);
    if (h->Seal != SealOf(user)) {
        std::snprintf(text, sizeof text,
                      "delete of %p, which no operator new gave out (or whose header was overwritten from before the "
                      "block)",
                      p);
        Die(text);
    }
    if (h->State == kFreed) {
        std::snprintf(text, sizeof text, "double free of a block of %llu bytes at %p", U(h->Size), p);
        Die(text);
    }
    if (h->Form != form) {
        std::snprintf(text, sizeof text, "a block of %llu bytes at %p made by %s is freed by the delete of %s",
                      U(h->Size), p, FormName(h->Form), FormName(form));
        Die(text);
    }
    if (size != kAnySize && size != h->Size) {
        std::snprintf(text, sizeof text, "sized delete of %llu bytes for a block of %llu bytes at %p", U(size),
                      U(h->Size), p);
        Die(text);
    }
    if ((form & kAligned) && align != h->Align) {
        std::snprintf(text, sizeof text, "delete aligned to %llu of a block of %llu bytes at %p aligned to %llu",
                      U(align), U(h->Size), p, U(h->Align));
        Die(text);
    }
    const auto* bytes = static_cast<const unsigned char*>(p);
    // One state change per block, also when two threads free it at once.
    std::uint8_t expected = kLive;
    if (!std::atomic_ref<std::uint8_t>(h->State).compare_exchange_strong(expected, kFreed)) {
        if (expected == kFreed)
            std::snprintf(text, sizeof text, "double free of a block of %llu bytes at %p", U(h->Size), p);
        else
            std::snprintf(text, sizeof text, "delete of a block of %llu bytes at %p whose header was overwritten",
                          U(h->Size), p);
        Die(text);
    }
    const std::size_t past = FirstChanged(bytes + h->Size, kGuardBytes, kGuardByte);
    if (past != kNowhere) {
        std::snprintf(text, sizeof text,
                      "overrun: the guard after a block of %llu bytes at %p was changed %llu bytes past its end to "
                      "0x%02X",
                      U(h->Size), p, U(past), bytes[h->Size + past]);
        Die(text);
    }
    const Entry e{user, h->Size};
    if (e.Size > kQuarantineLargest) {
        ReleaseToSystem(user);
        return;
    }
    std::memset(p, kFreedByte, e.Size);

    // The ring never holds more than it has room for when the lock is let go.
    Entry out[kBatch];
    gLock.Enter();
    Quarantine& q = gQuarantine;
    q.Blocks[(q.First + q.Count) % kQuarantineBlocks] = e;
    ++q.Count;
    q.Bytes += e.Size;
    const std::size_t n = TakeOldest(out, false);
    gLock.Leave();
    for (std::size_t i = 0; i < n; ++i) Evict(out[i]);
    if (n == kBatch) EvictAll(false);
}

#ifdef _WIN32
// A read of freed memory sees the pattern, and a pointer read from it
// (0x5A5A...) faults when it is followed: the crash is told as such and ends
// the program at once instead of waiting for a debugger.
LONG WINAPI TellCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    char text[512];
    if (r->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && r->NumberParameters >= 2) {
        const auto at = static_cast<unsigned long long>(r->ExceptionInformation[1]);
        std::snprintf(text, sizeof text,
                      "crash: access violation %s 0x%llX at code address %p%s",
                      r->ExceptionInformation[0] == 0 ? "reading" : "writing", at, r->ExceptionAddress,
                      (at == ~0ull || (at >> 24) == 0x5A5A5A5A5A ||
                       (at & 0xFFFF0000ull) == 0x5A5A0000ull)
                          ? " (an address made from freed memory: a use after free)"
                          : "");
    } else {
        std::snprintf(text, sizeof text, "crash: exception 0x%08lX at code address %p", r->ExceptionCode,
                      r->ExceptionAddress);
    }
    Die(text);
}
#endif

// The quarantine is checked once more at exit, after every other static
// object is gone: this one is made first, so it is destroyed last.
struct ExitCheck {
#ifdef _WIN32
    ExitCheck() { ::SetUnhandledExceptionFilter(&TellCrash); }
#else
    ExitCheck() = default;
#endif
    ExitCheck(const ExitCheck&) = delete;
    ExitCheck& operator=(const ExitCheck&) = delete;
    ~ExitCheck() {
        harness::NoteRunningTest(nullptr);
        gLock.Enter();
        const Quarantine& q = gQuarantine;
        for (std::size_t i = 0; i < q.Count; ++i) {
            char text[512];
            if (!FreedBlockIntact(q.Blocks[(q.First + i) % kQuarantineBlocks], text, sizeof text)) Die(text);
        }
        gLock.Leave();
    }
};
[[gnu::init_priority(101)]] ExitCheck gExitCheck;

}  // namespace

namespace harness {

std::string CheckFreedMemory() {
    char found[4096];
    std::size_t used = 0;
    found[0] = '\0';
    gLock.Enter();
    const Quarantine& q = gQuarantine;
    for (std::size_t i = 0; i < q.Count; ++i) {
        const Entry& e = q.Blocks[(q.First + i) % kQuarantineBlocks];
        char text[512];
        if (FreedBlockIntact(e, text, sizeof text)) continue;
        if (used < sizeof found) {
            const int n = std::snprintf(found + used, sizeof found - used, "%s\n", text);
            if (n > 0) used += static_cast<std::size_t>(n);
        }
        // Left as it was, so that each write is told once.
        Header* h = HeaderOf(e.User);
        h->Size = e.Size;
        h->State = kFreed;
        h->Seal = SealOf(e.User);
        std::memset(reinterpret_cast<void*>(e.User), kFreedByte, e.Size);
        std::memset(reinterpret_cast<unsigned char*>(e.User) + e.Size, kGuardByte, kGuardBytes);
    }
    gLock.Leave();
    return std::string(found, used < sizeof found ? used : sizeof found - 1);
}

void FlushFreedMemory() { EvictAll(true); }

void NoteRunningTest(const char* name) {
    std::size_t n = 0;
    if (name)
        for (; name[n] && n + 1 < sizeof gRunningTest; ++n) gRunningTest[n] = name[n];
    gRunningTest[n] = '\0';
}

}  // namespace harness

// ---- the replaced operators ----------------------------------------------------------------------

void* operator new(std::size_t size) { return AllocateOrThrow(size, 0, 0); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size, 0, kArray); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size, 0, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size, 0, kArray); }
void* operator new(std::size_t size, std::align_val_t align) {
    return AllocateOrThrow(size, static_cast<std::size_t>(align), kAligned);
}
void* operator new[](std::size_t size, std::align_val_t align) {
    return AllocateOrThrow(size, static_cast<std::size_t>(align), kAligned | kArray);
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size, static_cast<std::size_t>(align), kAligned);
}
void* operator new[](std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size, static_cast<std::size_t>(align), kAligned | kArray);
}

void operator delete(void* p) noexcept { Release(p, 0, kAnySize, 0); }
void operator delete[](void* p) noexcept { Release(p, kArray, kAnySize, 0); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p, 0, kAnySize, 0); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p, kArray, kAnySize, 0); }
void operator delete(void* p, std::size_t size) noexcept { Release(p, 0, size, 0); }
void operator delete[](void* p, std::size_t size) noexcept { Release(p, kArray, size, 0); }
void operator delete(void* p, std::align_val_t align) noexcept {
    Release(p, kAligned, kAnySize, static_cast<std::size_t>(align));
}
void operator delete[](void* p, std::align_val_t align) noexcept {
    Release(p, kAligned | kArray, kAnySize, static_cast<std::size_t>(align));
}
void operator delete(void* p, std::align_val_t align, const std::nothrow_t&) noexcept {
    Release(p, kAligned, kAnySize, static_cast<std::size_t>(align));
}
void operator delete[](void* p, std::align_val_t align, const std::nothrow_t&) noexcept {
    Release(p, kAligned | kArray, kAnySize, static_cast<std::size_t>(align));
}
void operator delete(void* p, std::size_t size, std::align_val_t align) noexcept {
    Release(p, kAligned, size, static_cast<std::size_t>(align));
}
void operator delete[](void* p, std::size_t size, std::align_val_t align) noexcept {
    Release(p, kAligned | kArray, size, static_cast<std::size_t>(align));
}

// Ties the checking allocator to GoogleTest: every fault report names the
// test that was running, and a test that wrote into freed memory fails at its
// end with the allocator's description of the write.
#include <gtest/gtest.h>

#include <string>

#include "CheckedHeap.h"

namespace {

class FreedMemoryCheck : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo& info) override {
        const std::string name = std::string(info.test_suite_name()) + "." + info.name();
        harness::NoteRunningTest(name.c_str());
    }
    // Listeners hear OnTestEnd in reverse order, so this runs before the
    // result is printed and the failure counts for the test.
    void OnTestEnd(const ::testing::TestInfo&) override {
        const std::string found = harness::CheckFreedMemory();
        if (!found.empty()) ADD_FAILURE() << "The test wrote into freed memory:\n" << found;
        harness::NoteRunningTest(nullptr);
    }
};

[[maybe_unused]] const bool kInstalled =
    (::testing::UnitTest::GetInstance()->listeners().Append(new FreedMemoryCheck), true);

}  // namespace

// Starts the framework once per test program (threads, forms, image formats),
// the way the program's main does, and shuts it down at the end.
#pragma once

#include <gtest/gtest.h>

namespace kestrune_test {

// Safe to call any number of times.
void EnsureFramework();

class FrameworkEnvironment : public ::testing::Environment {
public:
    void SetUp() override { EnsureFramework(); }
};

}  // namespace kestrune_test

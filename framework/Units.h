// Unit start-up and shut-down. Units with start-up work are listed once, in
// order, by the program's main; they start in that order and shut down in
// the reverse order. Nothing relies on the order of static initialisation.
#pragma once

#include <vector>

struct TUnitEntry {
    const char* Name;
    void (*Initialization)();
    void (*Finalization)();
};

// Runs the start-up of each unit in order; when one fails, the units already
// started are shut down again and the exception goes on.
void InitializeUnits(const std::vector<TUnitEntry>& units);
// Shuts the started units down in reverse order (at most once).
void FinalizeUnits();
// The names of the units started so far, in order (for tests and diagnostics).
std::vector<const char*> StartedUnits();

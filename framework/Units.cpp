#include "Units.h"

namespace {
std::vector<TUnitEntry>& Started() {
    static std::vector<TUnitEntry> started;
    return started;
}
}  // namespace

void InitializeUnits(const std::vector<TUnitEntry>& units) {
    for (const TUnitEntry& unit : units) {
        try {
            if (unit.Initialization) unit.Initialization();
        } catch (...) {
            FinalizeUnits();
            throw;
        }
        Started().push_back(unit);
    }
}

void FinalizeUnits() {
    auto& started = Started();
    while (!started.empty()) {
        const TUnitEntry unit = started.back();
        started.pop_back();
        if (unit.Finalization) unit.Finalization();
    }
}

std::vector<const char*> StartedUnits() {
    std::vector<const char*> names;
    for (const TUnitEntry& unit : Started()) names.push_back(unit.Name);
    return names;
}

// The other file of the delegate test: a class of the same name as the one
// in test_components.cpp's delegate test, in an unnamed namespace here too.
#include "Delegates.h"

namespace {
struct TTally {
    int Unused = 0;
    int Total = 0;
    [[gnu::noinline]] void Add(TObject*) { Total += 100; }
};
TTally gOtherTally;
}  // namespace

TNotifyEvent OtherUnitTally(int*& Total) {
    Total = &gOtherTally.Total;
    return TNotifyEvent::Of<&TTally::Add>(&gOtherTally);
}

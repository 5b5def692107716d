#include "FrameworkEnvironment.h"

#include "Forms.h"
#include "Imaging.h"
#include "Threads.h"

namespace kestrune_test {

void EnsureFramework() {
    if (Application) return;
    ThreadsInitialization();
    FormsInitialization();
    RegisterImageFormats();
    Application->Initialize();
}

}  // namespace kestrune_test

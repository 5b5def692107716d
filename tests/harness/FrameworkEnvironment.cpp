#include "FrameworkEnvironment.h"

#include "Forms.h"
#include "Imaging.h"
#include "Threads.h"
#include "TypInfo.h"

namespace kestrune_test {

void EnsureFramework() {
    if (Application) return;
    ThreadsInitialization();
    FormsInitialization();
    TypInfoInitialization();
    RegisterImageFormats();
    Application->Initialize();
}

}  // namespace kestrune_test

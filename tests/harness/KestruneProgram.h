// What the end-to-end tests share in driving Kestrune itself: where the built
// program lies, a folder of its own to run it from, its skin box and address
// box, choosing a skin as the user's choice does, and closing it as a user
// closes it.
#pragma once

#include <filesystem>
#include <string>

#include "ProcessDriver.h"

namespace harness {

// The folder the build puts Kestrune.exe (and its skins) in, beside the tests.
std::filesystem::path KestruneBuildFolder();
// The built Kestrune.exe.
std::wstring BuiltKestrune();

// A fresh temporary folder holding a copy of the built Kestrune.exe, for a
// test that runs the program with skins of its own choosing. The folder and
// all in it go with this object.
class KestruneFolder {
public:
    KestruneFolder() = default;
    ~KestruneFolder() { Remove(); }
    KestruneFolder(const KestruneFolder&) = delete;
    KestruneFolder& operator=(const KestruneFolder&) = delete;

    // Makes the folder (named kestrune-e2e-<tag>-<random>) and copies the
    // program into it; throws std::filesystem::filesystem_error when it cannot.
    void Create(const std::wstring& tag);
    void Remove();

    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path Exe() const { return FPath / L"Kestrune.exe"; }

private:
    std::filesystem::path FPath;
};

// Starts the program at exe and waits up to timeoutMs for its main window
// (TForm1), which lands in form. A fatal test failure when there is no
// program at exe, it cannot be started, or it shows no main window (saying
// whether it ended during start-up); call it through
// ASSERT_NO_FATAL_FAILURE.
void StartKestrune(ChildProcess& program, const std::wstring& exe, int timeoutMs, HWND& form);

// The skin box (the combo box at left 670 of its parent) and the address box
// (at left 8) of Kestrune's main window; nullptr when there is none.
HWND SkinBoxOf(HWND form);
HWND AddressBoxOf(HWND form);

// Picks the skin in the skin box: the box selects the item and tells its
// parent, as it does on the user's choice. False when the box has no such
// item or its parent did not finish with the choice within timeoutMs (a
// message box it shows keeps it busy).
bool ChooseSkin(HWND skinBox, const std::wstring& name, int timeoutMs);
// The same for the item at index, whatever it holds.
bool ChooseSkinAt(HWND skinBox, int index, int timeoutMs);

// Clicks the address box's edit field with the real mouse, waits until it
// holds the keyboard focus of form's thread, types address and waits until
// the address box shows it; fatal test failures when a step does not happen
// within timeoutMs.
void TypeAddress(HWND form, HWND addressEdit, HWND addressBox, const std::wstring& address, int timeoutMs);

// Activates a window of the test's own and then form again: a form
// without a skin provider gets one when it is activated. Under Xvfb without
// a window manager the X focus can take the foreground back to the program
// just after it was given away, so the switch is tried again until the
// other window held the foreground for a moment: only then was the program
// deactivated and activated again. Test failures when a step does not
// happen within timeoutMs.
void ActivateAgain(HWND form, int timeoutMs);

// Closes the program as a user closes it (its windows go in order and the
// activation with them: a killed foreground window leaves later tests unable
// to activate theirs), waiting up to timeoutMs, and ends it if it still runs.
void CloseKestrune(ChildProcess& program, HWND form, int timeoutMs);

}  // namespace harness

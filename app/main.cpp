// Kestrune's entry point: the units start in order, the application object
// makes the main form and runs the message loop, and the units shut down in
// reverse order.
#include "Forms.h"
#include "Imaging.h"
#include "Threads.h"
#include "TypInfo.h"
#include "Unit1.h"
#include "acDials.h"
#include "acDwm.h"
#include "acGlow.h"
#include "acPNG.h"
#include "acSBUtils.h"
#include "acUtilsWin.h"
#include "sButton.h"
#include "sConstWin.h"
#include "sMessages.h"
#include "sPanel.h"
#include "sScrollBox.h"
#include "sSkinDraw.h"
#include "sSkinManager.h"
#include "sSkinMenus.h"
#include "sStyleSimplyWin.h"
#include "sVclUtils.h"
#include "Units.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int exitCode = 0;
    try {
        InitializeUnits({
            {"Threads", ThreadsInitialization, ThreadsFinalization},
            {"Graphics", nullptr, FinalizeGraphics},
            {"Forms", FormsInitialization, FormsFinalization},
            {"TypInfo", TypInfoInitialization, TypInfoFinalization},
            {"Imaging", RegisterImageFormats, UnregisterImageFormats},
            {"sConst", sConstInitialization, sConstFinalization},
            {"sMessages", sMessagesInitialization, sMessagesFinalization},
            {"sVclUtils", sVclUtilsInitialization, sVclUtilsFinalization},
            {"acPNG", acPNGInitialization, acPNGFinalization},
            {"acUtils", acUtilsInitialization, acUtilsFinalization},
            {"acGlow", acGlowInitialization, acGlowFinalization},
            {"sStyleSimply", sStyleSimplyWinInitialization, sStyleSimplyWinFinalization},
            {"sSkinDraw", [] { sSkinDrawInitialization(); }, sSkinDrawFinalization},
            {"sSkinManager", sSkinManagerInitialization, sSkinManagerFinalization},
            {"sSkinMenus", nullptr, sSkinMenusFinalization},
            {"sButton", sButtonInitialization, sButtonFinalization},
            {"sPanel", sPanelInitialization, nullptr},
            {"sScrollBox", sScrollBoxInitialization, nullptr},
            {"acSBUtils", acSBUtilsInitialization, acSBUtilsFinalization},
            {"acDwm", nullptr, acDwmFinalization},
            {"acDials", nullptr, acDialsFinalization},
            {"Unit1", Unit1Initialization, Unit1Finalization},
        });
        Application->Initialize();
        Application->Title = u"Kestrune";
        Application->CreateForm(Form1);
        Application->Run();
    } catch (const std::exception& e) {
        ::MessageBoxW(nullptr, WStr(Utf8ToString(e.what())), L"Kestrune", MB_OK | MB_ICONSTOP);
        exitCode = 1;
    }
    Form1 = nullptr;
    FinalizeUnits();
    return exitCode;
}

#include "sConstWin.h"

#include <array>

#include "WinApi.h"
#include "sConstIds.h"

TCacheInfo EmptyCI;
Integer acDefScrollBtnWidth = 16;

namespace {

constexpr std::array<unsigned, acTextCount> kTextIds = {
    IDS_AC_OK,
    IDS_AC_CANCEL,
    IDS_AC_HELP,
    IDS_AC_RESTORE,
    IDS_AC_MOVE,
    IDS_AC_SIZE,
    IDS_AC_MINIMIZE,
    IDS_AC_MAXIMIZE,
    IDS_AC_CLOSE,
    IDS_AC_CALCULATOR,
    IDS_AC_FILEOPEN,
    IDS_AC_AVAILSKINS,
    IDS_AC_INTERNAL,
    IDS_AC_ERRSETCOUNT,
    IDS_AC_LISTBOXNOTVIRTUAL,
    IDS_AC_INVALIDDATE,
    IDS_AC_ADDTOCUSTOM,
    IDS_AC_DEFINECOLORS,
    IDS_AC_MAINPALETTE,
    IDS_AC_ADDITIONALCOLORS,
    IDS_AC_COLOR,
    IDS_AC_RED,
    IDS_AC_GREEN,
    IDS_AC_BLUE,
    IDS_AC_DECIMAL,
    IDS_AC_HEX,
    IDS_AC_FRAMEADAPTER,
    IDS_AC_HINTDESIGNER,
    IDS_AC_PRESERVED,
    IDS_AC_STYLE,
    IDS_AC_BEVELWIDTH,
    IDS_AC_BLUR,
    IDS_AC_ARROWLENGTH,
    IDS_AC_HORZMARGIN,
    IDS_AC_VERTMARGIN,
    IDS_AC_CORNERSRADIUS,
    IDS_AC_MAXWIDTH,
    IDS_AC_PAUSEHIDE,
    IDS_AC_PERCENT,
    IDS_AC_OFFSET,
    IDS_AC_TRANSPARENCY,
    IDS_AC_NOPICTURE,
    IDS_AC_FONT,
    IDS_AC_TEXTURE,
    IDS_AC_LOADFROMFILE,
    IDS_AC_SAVETOFILE,
    IDS_AC_COLOR2,
    IDS_AC_TOPBORDER,
    IDS_AC_BOTTOMBORDER,
    IDS_AC_SHADOW,
    IDS_AC_BACKGROUND,
    IDS_AC_GRADIENT,
    IDS_AC_HINTPREVIEW,
    IDS_AC_ROOT,
    IDS_AC_SELECTDIR,
    IDS_AC_CREATE,
    IDS_AC_SKINSDIR,
    IDS_AC_SELECTSKIN,
    IDS_AC_SKINPREVIEW
};

std::array<String, acTextCount> gTexts;

// A string-table entry of the program; empty when it has none.
String LoadProgramString(unsigned Id) {
    const wchar_t* text = nullptr;
    // With a buffer size of 0 LoadString answers a read-only pointer to the
    // resource itself (not terminated) and the length.
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), Id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return String(reinterpret_cast<const Char*>(text), static_cast<std::size_t>(length));
}

}  // namespace

const String& acText(TacText Text) { return gTexts.at(static_cast<std::size_t>(Text)); }

unsigned acTextId(TacText Text) { return kTextIds.at(static_cast<std::size_t>(Text)); }

void sConstInitialization() {
    EmptyCI = TCacheInfo{};
    acDefScrollBtnWidth = ::GetSystemMetrics(SM_CXHSCROLL);
    for (std::size_t i = 0; i < gTexts.size(); ++i) gTexts[i] = LoadProgramString(kTextIds[i]);
}

void sConstFinalization() {
    for (String& text : gTexts) text.clear();
}

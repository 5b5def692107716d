// The engine's constants unit at start-up: the default parent-image record,
// the default scroll-bar button width and the engine's fixed texts, read from
// the program's string table.
#pragma once

#include "Strings.h"
#include "sConst.h"

// The parent-image record "nothing known": no image, at (-99, -99), no fill
// colour, not ready.
extern TCacheInfo EmptyCI;
// The width of a scroll-bar button: the system's at start-up, 16 before.
extern Integer acDefScrollBtnWidth;

// The engine's fixed texts, in the order of the string table.
enum class TacText {
    OK, Cancel, Help, Restore, Move, Size, Minimize, Maximize, Close, Calculator, FileOpen, AvailSkins, Internal,
    ErrSetCount, ListBoxNotVirtual, InvalidDate, AddToCustomColors, DefineColors, MainPalette, AdditionalColors,
    Color, Red, Green, Blue, Decimal, Hex, FrameAdapterPlacement, HintDesigner, PreservedSettings, Style,
    BevelWidth, Blur, ArrowLength, HorzMargin, VertMargin, CornersRadius, MaxWidth, PauseHide, Percent, Offset,
    Transparency, NoPicture, Font, Texture, LoadFromFile, SaveToFile, Color2, TopBorder, BottomBorder, Shadow,
    Background, Gradient, HintPreview, Root, SelectDirectory, Create, SkinsDirectory, SelectSkin, SkinPreview,
    Count
};
constexpr int acTextCount = static_cast<int>(TacText::Count);

// A fixed text as loaded at start-up (empty before start-up or when the
// string table lacks it).
const String& acText(TacText Text);
// Its string-table identifier.
unsigned acTextId(TacText Text);

void sConstInitialization();
void sConstFinalization();

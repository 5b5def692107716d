// Labels that take their font colour from the skin: the normal font colour
// of the nearest parent section that gives one (or the skin's global font
// colour), and optionally a skin section painted behind their text. A
// disabled label mixes its text toward the background under it. Without a
// skin they are the framework's labels.
#pragma once

#include "StdCtrls.h"

class TsCustomLabel : public TCustomLabel {
public:
    KES_CLASS_NAME(TsCustomLabel)
    explicit TsCustomLabel(TComponent* AOwner);

    // A section painted behind the text (empty: none).
    const String& SkinSection() const { return FSkinSection; }
    void SetSkinSection(const String& Value);

    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;

    void WndProc(TMessage& Message) override;
    // The label's font with the skin's colour; 0xFF00FF from the skin means
    // no colour and leaves the font as it is.
    virtual TFont* SkinnedFont();

    // The section painted behind the text while painting; -1 otherwise.
    Integer FSkinIndex = -1;

protected:
    void Paint() override;
    void DoDrawText(RECT& Rect, UINT Flags) override;

    String FSkinSection;
};

class TsLabel : public TsCustomLabel {
public:
    KES_CLASS_NAME(TsLabel)
    explicit TsLabel(TComponent* AOwner) : TsCustomLabel(AOwner) {}

    // Off: the label keeps its own font colour.
    bool UseSkinColor() const { return FUseSkinColor; }
    void SetUseSkinColor(bool Value) { FUseSkinColor = Value; }

    void WndProc(TMessage& Message) override;
    TFont* SkinnedFont() override;

protected:
    bool FUseSkinColor = true;
};

class TsBoundLabel;

// The label a bound label (TsBoundLabel) owns beside its control. Freeing it
// leaves its bound label inactive.
class TsEditLabel : public TsLabel {
public:
    KES_CLASS_NAME(TsEditLabel)
    TsEditLabel(TComponent* AOwner, TsBoundLabel* BoundStruct);
    ~TsEditLabel() override;

    // The bound label that owns this label.
    TsBoundLabel* BoundLabel = nullptr;
};

// The control kinds of the skin-state object: the kind codes its owners set,
// the three fixed kind sets that steer focus, hot and glow handling, and the
// default skin section of each kind. Portable: no Windows header.
#pragma once

#include "System.h"

// Kind codes (COC) set by the skinned objects' constructors; every other
// owner keeps 0.
constexpr Integer COC_TsCustomComboBox = 3;
constexpr Integer COC_TsMemo = 7;
constexpr Integer COC_TsRichEdit = 7;
constexpr Integer COC_TacListViewWnd = 10;   // the list-view adapter
constexpr Integer COC_TsCheckBox = 32;
constexpr Integer COC_TsPanel = 51;
constexpr Integer COC_TsScrollBox = 58;
constexpr Integer COC_TsButton = 93;
constexpr Integer COC_TsProgressBar = 161;
constexpr Integer COC_TsSkinProvider = 224;
constexpr Integer COC_TsFrameAdapter = 226;
constexpr Integer COC_TacAdapterItem = 227;   // also the adapter's graphic items

// The kind sets cover kinds 0 to 255; any other kind is in none of them.
// Edit-like kinds: the skin colours are applied to the owner, and focus and
// the mouse repaint its frame.
bool IsEditKind(Integer COC);
// Kinds without a hot state: the mouse above them does not make them hot.
bool IsNoHotKind(Integer COC);
// Kinds without a glow.
bool IsNoGlowKind(Integer COC);
// Whether the shared mouse handling shows and clears the glow of an owner of
// this kind: not for the kinds without a glow, nor for kinds 92 to 94, which
// manage their own.
bool ShowsCommonGlow(Integer COC);

// The skin section an owner of kind COC takes when none is set: the kind's
// fixed section ("EDIT", "PANEL", ...), or OwnerClassName for a kind without
// one.
String DefaultSectionOfKind(Integer COC, const String& OwnerClassName);

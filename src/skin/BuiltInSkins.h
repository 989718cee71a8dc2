#pragma once

// The looks of the built-in skins as colour tables, and the style sheet each
// one makes. Private to the skinning layer.

#include "skin/SkinManager.h"

#include <QString>

#include <array>

namespace skin {

// One built-in skin. A fill is one colour, or several written top to
// bottom, which make a vertical gradient. A border colour is one colour or
// four (top, right, bottom, left), for bevels.
struct SkinLook {
    const char* name;
    const char* window;    // fill of the window backgrounds
    const char* label;     // text on the window background
    const char* panelText; // text on the light panels
    const char* face;      // buttons
    const char* faceText;
    const char* border;
    const char* hoverFace;
    const char* hoverBorder;
    const char* pressedFace;
    const char* pressedText;
    const char* pressedBorder;
    const char* disabledFace;
    const char* disabledText;
    const char* disabledBorder;
    const char* focusBorder;
    const char* boxBase; // multi-line text boxes
    const char* boxText;
    const char* boxBorder;
    const char* selection;
    const char* selectionText;
    int borderWidth; // of buttons and text boxes, in pixels
    int radius;      // of button corners, in pixels
};

extern const std::array<SkinLook, SkinCount> BuiltInSkins;

// The panels the window colours itself through their palette. No sheet
// paints them: a style-sheet border or background makes Qt drop the
// palette fill.
inline constexpr std::array<const char*, 7> WindowPanels = {
    "Panel1", "sPanel1", "sPanel2", "sPanel3", "sPanel4", "practicePanel", "midiPanel"};

QString styleSheetOf(const SkinLook& look);

} // namespace skin

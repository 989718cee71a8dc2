#include "skin/BuiltInSkins.h"

#include <QStringList>

#include <utility>

namespace skin {

// Text colours are chosen for a contrast of at least 4.5 to the fill behind
// them (tests/skin checks every skin); disabled captions stay legible but
// clearly fainter. One line per part of a look:
//   name, window, label, panel text
//   button face, caption, border
//   hover face, border
//   pressed face, caption, border
//   disabled face, caption, border
//   focus border
//   text box base, text, border, selection, selected text
//   border width, corner radius
// clang-format off
const std::array<SkinLook, SkinCount> BuiltInSkins = {{
    // Lacquer red with gold buttons.
    {"Beijing (internal)", "#a31f1f #6b0d0d", "#ffe08a", "#6b0d0d",
     "#fcebad #e3b448", "#5a0a0a", "#8a5a00",
     "#fff3c9 #eec765", "#ffd24d",
     "#d6a02c #f0cc72", "#5a0a0a", "#6b3d00",
     "#d9bcae", "#8c6658", "#a87f70",
     "#ffffff",
     "#fff8e6", "#5a0a0a", "#e3b448", "#a31f1f", "#ffe08a",
     1, 3},
    // Pond greens with lime, rounded buttons.
    {"TheFrog (internal)", "#357a30 #1e561e", "#eaffd6", "#1f4d14",
     "#cdf08a #86c846", "#173a0a", "#2b5e12",
     "#dcf8a8 #9ad85a", "#eaffd6",
     "#6fae34 #92cf58", "#0e2a05", "#1d4a0a",
     "#9fb88f", "#4f6645", "#6f8a60",
     "#fff36b",
     "#f2fce8", "#173a0a", "#86c846", "#3f8a3a", "#ffffff",
     1, 7},
    // Dark leather and bronze with gold trim.
    {"HeroesStyle (internal)", "#4d3119 #2a1a0b", "#f5dc9b", "#4a2f17",
     "#8e5f34 #5a3818", "#ffe8b0", "#d9ae55",
     "#a4703f #6a4420", "#ffd878",
     "#4a2e14 #6e4824", "#ffe8b0", "#b08a3c",
     "#5c4a3a", "#a8957c", "#7a6650",
     "#fff2c0",
     "#f4e6c4", "#3a2410", "#b08a3c", "#8e5f34", "#ffe8b0",
     2, 2},
    // Warm beige and sandstone.
    {"Sand (internal)", "#f4e9d0 #e4d2a8 #d6be8c", "#45331a", "#4a3818",
     "#fbf5e6 #e6d5ad", "#3f2f12", "#a88a55",
     "#fffaf0 #efe0bd", "#8a6a30",
     "#d6c091 #e8d8b2", "#3f2f12", "#7a5f2e",
     "#efe8d8", "#a2957a", "#c8b894",
     "#c0702a",
     "#fffbf2", "#3f2f12", "#b89a64", "#c8a870", "#2a1e08",
     1, 4},
    // Cool grey-blue of an office desktop, white buttons.
    {"Winter2003 (internal)", "#f0f4f9 #c9d6e4 #a9bcd2", "#14243a", "#1c2d44",
     "#ffffff #dfe8f2 #c9d7e6", "#14243a", "#4a6f99",
     "#ffffff #e4edf6", "#3d7cc9",
     "#c3d0df #dfe7f0", "#14243a", "#4a6585",
     "#e6eaef", "#8a95a2", "#aab6c3",
     "#2f6fbf",
     "#ffffff", "#1c2d44", "#8197ae", "#3d7cc9", "#ffffff",
     1, 3},
    // Deep ice blue with frosted glass buttons.
    {"BlueIce (internal)", "#2a6f9e #123e60", "#e8f8ff", "#0c3556",
     "#f4fcff #b5e3f5", "#06314d", "#8fd3f0",
     "#ffffff #cdeefa", "#ffffff",
     "#96d2ec #c2e9f7", "#06314d", "#5aaed6",
     "#5f8cab", "#c8e0ec", "#7fa6c0",
     "#bff3ff",
     "#f2fbff", "#06314d", "#8fd3f0", "#2a6f9e", "#ffffff",
     1, 6},
    // Dark sea teal with aqua bubbles.
    {"UnderWater (internal)", "#0f5563 #062a33", "#b4f5ee", "#064048",
     "#a8ebe3 #5fc4b9", "#032f2a", "#2f9e92",
     "#c4f5ef #79d4ca", "#e0fffb",
     "#4fb0a5 #7fd6cc", "#032f2a", "#1d7a70",
     "#3a6a6a", "#92b8b6", "#4f8583",
     "#ffe28a",
     "#dcf6f3", "#05393f", "#5fc4b9", "#0f5563", "#dcf6f3",
     1, 8},
    // Aubergine with warm grey buttons and orange accents.
    {"Ubuntu (internal)", "#77216f #2c001e", "#ffffff", "#5e2750",
     "#f7f6f5 #dcd7d0", "#3c3b37", "#aea79f",
     "#ffffff #e9e5e0", "#e95420",
     "#f0773e #d9481a", "#ffffff", "#a8360e",
     "#8c5a80", "#d0b4c8", "#9c6d90",
     "#e95420",
     "#ffffff", "#3c3b37", "#e95420", "#e95420", "#ffffff",
     1, 4},
    // Light brushed aluminium with glossy buttons.
    {"Snow Leopard (internal)", "#eeeeee #dcdcdc #e7e7e7 #d3d3d3 #dfdfdf #cccccc", "#1a1a1a",
     "#1a1a1a",
     "#ffffff #f3f3f3 #e0e0e0 #ededed", "#111111", "#8e8e8e",
     "#f2f8ff #d6e8fc #bcd6f5 #d4e6fa", "#5a8ed0",
     "#9cc4f0 #6aa4e6 #4d8fdc #7ab0ea", "#0a1a30", "#3d6fb0",
     "#f2f2f2", "#a0a0a0", "#c4c4c4",
     "#6fa5e6",
     "#ffffff", "#1a1a1a", "#a5a5a5", "#b5d5ff", "#000000",
     1, 8},
    // Dark charcoal with red accents.
    {"LikeOperaStyle (internal)", "#3c3c3c #232323", "#f0f0f0", "#2a2a2a",
     "#5e5e5e #434343", "#ffffff", "#1a1a1a #1a1a1a #cc0f16 #1a1a1a",
     "#e0262d #b3121a", "#ff5a5f",
     "#8e0a10 #b3121a", "#ffffff", "#5a0005",
     "#474747", "#8c8c8c", "#3a3a3a",
     "#e0262d",
     "#1c1c1c", "#ececec", "#cc0f16", "#cc0f16", "#ffffff",
     2, 2},
    // Flat grey with bevelled buttons, as desktops looked in the nineties.
    {"Retro (internal)", "#c0c0c0", "#000000", "#000000",
     "#c0c0c0", "#000000", "#ffffff #404040 #404040 #ffffff",
     "#cacaca", "#ffffff #404040 #404040 #ffffff",
     "#b4b4b4", "#000000", "#404040 #ffffff #ffffff #404040",
     "#c0c0c0", "#7a7a7a", "#ffffff #808080 #808080 #ffffff",
     "#ffffff #000000 #000000 #ffffff",
     "#ffffff", "#000000", "#808080 #ffffff #ffffff #808080", "#000080", "#ffffff",
     2, 0},
    // Candy colours: pink to mint, lemon drop buttons.
    {"Ledenets (internal)", "#ffc4e4 #e4c8ff #c4eeff", "#5a0a4a", "#7a0a5a",
     "#fff59d #ffca28", "#6a0050", "#e6007e",
     "#c8ffd8 #5ee89a", "#00a85a",
     "#ff8ac0 #ff4fa3", "#4a0038", "#b0005e",
     "#f6e4ee", "#a06a8a", "#dcaac6",
     "#7c3aed",
     "#fffdf0", "#5a0a4a", "#ff4fa3", "#ff4fa3", "#ffffff",
     2, 8},
}};
// clang-format on

namespace {

// The rules every skin shares; {name} stands for a field of the look.
//
// Window labels are matched as direct children of a window only, so the
// labels of a message box over the window keep their own colours. The
// panels get no rule of their own, only their labels.
constexpr const char* SheetTemplate = R"(
shell--TfMain, shell--TfInfo, shell--TfStats {
    background: {window};
}
shell--TfMain > QLabel, shell--TfInfo > QLabel, shell--TfStats > QLabel {
    color: {label};
}
QFrame#Panel1 QLabel, QFrame#sPanel1 QLabel, QFrame#sPanel2 QLabel,
QFrame#sPanel3 QLabel, QFrame#sPanel4 QLabel, QFrame#practicePanel QLabel,
QFrame#midiPanel QLabel {
    color: {panelText};
}
QPushButton {
    color: {faceText};
    background: {face};
    border-width: {borderWidth}px;
    border-style: solid;
    border-color: {border};
    border-radius: {radius}px;
    padding: 0px;
}
QPushButton:focus {
    border-color: {focusBorder};
}
QPushButton:hover {
    background: {hoverFace};
    border-color: {hoverBorder};
}
QPushButton:pressed {
    color: {pressedText};
    background: {pressedFace};
    border-color: {pressedBorder};
}
QPushButton:disabled {
    color: {disabledText};
    background: {disabledFace};
    border-color: {disabledBorder};
}
QPlainTextEdit {
    color: {boxText};
    background: {boxBase};
    border-width: {borderWidth}px;
    border-style: solid;
    border-color: {boxBorder};
    selection-color: {selectionText};
    selection-background-color: {selection};
}
)";

// One colour as it is, several as a gradient from top to bottom.
QString fill(const char* colours)
{
    const QStringList stops =
        QString::fromLatin1(colours).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (stops.size() <= 1)
        return stops.value(0);
    QString gradient = QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1");
    const auto last = static_cast<double>(stops.size() - 1);
    for (qsizetype i = 0; i < stops.size(); ++i)
        gradient += QStringLiteral(", stop:%1 %2")
                        .arg(static_cast<double>(i) / last, 0, 'f', 3)
                        .arg(stops[i]);
    return gradient + QLatin1Char(')');
}

} // namespace

QString styleSheetOf(const SkinLook& look)
{
    const std::pair<const char*, QString> fields[] = {
        {"{window}", fill(look.window)},
        {"{label}", QString::fromLatin1(look.label)},
        {"{panelText}", QString::fromLatin1(look.panelText)},
        {"{faceText}", QString::fromLatin1(look.faceText)},
        {"{face}", fill(look.face)},
        {"{borderWidth}", QString::number(look.borderWidth)},
        {"{border}", QString::fromLatin1(look.border)},
        {"{radius}", QString::number(look.radius)},
        {"{focusBorder}", QString::fromLatin1(look.focusBorder)},
        {"{hoverFace}", fill(look.hoverFace)},
        {"{hoverBorder}", QString::fromLatin1(look.hoverBorder)},
        {"{pressedText}", QString::fromLatin1(look.pressedText)},
        {"{pressedFace}", fill(look.pressedFace)},
        {"{pressedBorder}", QString::fromLatin1(look.pressedBorder)},
        {"{disabledText}", QString::fromLatin1(look.disabledText)},
        {"{disabledFace}", fill(look.disabledFace)},
        {"{disabledBorder}", QString::fromLatin1(look.disabledBorder)},
        {"{boxText}", QString::fromLatin1(look.boxText)},
        {"{boxBase}", fill(look.boxBase)},
        {"{boxBorder}", QString::fromLatin1(look.boxBorder)},
        {"{selectionText}", QString::fromLatin1(look.selectionText)},
        {"{selection}", QString::fromLatin1(look.selection)},
    };
    QString sheet = QString::fromLatin1(SheetTemplate);
    for (const auto& [placeholder, value] : fields)
        sheet.replace(QLatin1String(placeholder), value);
    return sheet;
}

} // namespace skin

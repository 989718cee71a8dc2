#include "skin/SkinManager.h"

#include "skin/BuiltInSkins.h"

#include <QBrush>
#include <QFont>
#include <QFrame>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <array>
#include <vector>

namespace skin {

namespace {

bool isWindowPanel(const QFrame& frame)
{
    const QByteArray name = frame.objectName().toLatin1();
    return std::any_of(WindowPanels.begin(), WindowPanels.end(),
                       [&](const char* panel) { return name == panel; });
}

constexpr std::array<QPalette::ColorGroup, 3> Groups = {QPalette::Active, QPalette::Inactive,
                                                        QPalette::Disabled};

// What the window gave a widget itself, which no sheet of ours changes: its
// font, and for a panel its background colour in every colour group.
struct OwnLook {
    QWidget* widget;
    QFont font;
    bool colouredPanel;
    std::array<QBrush, 3> panelBrushes;
};

std::vector<OwnLook> ownLooks(QWidget& target)
{
    std::vector<OwnLook> looks;
    QList<QWidget*> widgets = target.findChildren<QWidget*>();
    widgets.prepend(&target);
    for (QWidget* widget : widgets) {
        OwnLook look{widget, widget->font(), false, {}};
        const auto* frame = qobject_cast<const QFrame*>(widget);
        const QPalette& palette = widget->palette();
        // A panel without a colour of its own inherits it; nothing to keep.
        if (frame != nullptr && isWindowPanel(*frame) &&
            palette.isBrushSet(QPalette::Active, QPalette::Window)) {
            look.colouredPanel = true;
            for (std::size_t g = 0; g < Groups.size(); ++g)
                look.panelBrushes[g] = palette.brush(Groups[g], QPalette::Window);
        }
        looks.push_back(look);
    }
    return looks;
}

void restore(const OwnLook& look)
{
    if (look.widget->font() != look.font)
        look.widget->setFont(look.font);
    if (look.colouredPanel) {
        QPalette palette = look.widget->palette();
        for (std::size_t g = 0; g < Groups.size(); ++g)
            palette.setBrush(Groups[g], QPalette::Window, look.panelBrushes[g]);
        look.widget->setPalette(palette);
    }
}

} // namespace

std::string builtInSkinName(int index)
{
    if (index < 0 || index >= SkinCount)
        return {};
    return BuiltInSkins[static_cast<std::size_t>(index)].name;
}

TSkinManager::TSkinManager(QWidget& target)
    : target_(target),
      skinName_(builtInSkinName(0))
{
}

int TSkinManager::count() const { return SkinCount; }

std::string TSkinManager::nameOf(int index) const { return builtInSkinName(index); }

int TSkinManager::indexOf(std::string_view name) const
{
    for (int i = 0; i < SkinCount; ++i)
        if (name == BuiltInSkins[static_cast<std::size_t>(i)].name)
            return i;
    return -1;
}

const std::string& TSkinManager::SkinName() const { return skinName_; }

void TSkinManager::setSkinName(const std::string& name)
{
    skinName_ = name;
    if (active_)
        apply();
}

bool TSkinManager::Active() const { return active_; }

void TSkinManager::setActive(bool active)
{
    active_ = active;
    apply();
}

QString TSkinManager::styleSheet(int index)
{
    if (index < 0 || index >= SkinCount)
        return {};
    return styleSheetOf(BuiltInSkins[static_cast<std::size_t>(index)]);
}

void TSkinManager::apply()
{
    const QString sheet = active_ ? styleSheet(indexOf(skinName_)) : QString();
    if (target_.styleSheet() == sheet)
        return;
    // On a change of sheet Qt's style-sheet style hands every widget back
    // the palette and font it had when the previous sheet was polished in,
    // and a font it had from its parent becomes the application's default
    // font. So a panel the window coloured after that would lose its colour
    // and the controls their font sizes. Our sheets set neither, so what
    // each widget shows now is kept.
    const std::vector<OwnLook> looks = ownLooks(target_);
    target_.setStyleSheet(sheet);
    for (const OwnLook& look : looks)
        restore(look);
}

} // namespace skin

#pragma once

// The skinning layer: twelve built-in skins, each a Qt style sheet for the
// program's windows, and the manager that puts the chosen one on a window.
//
// A skin colours the window backgrounds, the buttons, the labels on the
// window background and the multi-line text boxes. It never paints the
// panels (Panel1, sPanel1 .. sPanel4): the window colours them itself, and
// the manager keeps that colour when it changes the look. Fonts and sizes
// stay as the window sets them, through every change of skin.

#include <QString>

#include <string>
#include <string_view>

class QWidget;

namespace skin {

constexpr int SkinCount = 12;

// The built-in skins in index order; name by index ("" outside 0..11).
std::string builtInSkinName(int index);

// GUI thread only, like the widget it skins.
class TSkinManager {
public:
    // Skins `target` and everything inside it (the main window). Starts
    // inactive, with skin 0 named as its skin. `target` must outlive it.
    explicit TSkinManager(QWidget& target);

    TSkinManager(const TSkinManager&) = delete;
    TSkinManager& operator=(const TSkinManager&) = delete;

    int count() const;                        // 12
    std::string nameOf(int index) const;      // "" outside 0..count-1
    int indexOf(std::string_view name) const; // -1 for a name not in the list

    const std::string& SkinName() const;
    // Names the skin; applied at once while active. An unknown name is kept
    // (SkinName returns it) and shows the plain look.
    void setSkinName(const std::string& name);

    bool Active() const;
    // true: the target gets the named skin's look; false: the plain look
    // (empty style sheet).
    void setActive(bool active);

    // The style sheet of built-in skin `index` (empty outside 0..11).
    static QString styleSheet(int index);

private:
    void apply();

    QWidget& target_;
    std::string skinName_;
    bool active_ = false;
};

} // namespace skin

#pragma once

// The program-wide objects of the main window: created on its first showing,
// in this order, and kept until the program ends. They are released in the
// opposite order, the session first.

#include "engine/Practice.h"
#include "engine/uSheetMusic.h"
#include "history/History.h"
#include "notation/uKey.h"
#include "notation/uMusicalStaff.h"
#include "platform/IniFile.h"
#include "resources/uResources.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace shell {

// The application's title, shown on the window and on every message box.
inline constexpr const char* ApplicationTitle = "Tessaly - Notes";
inline constexpr const char* ApplicationVersion = "v1.0.0";

// The project's web site. A reserved example domain until the project has
// a site of its own; the about text and the support link both use it.
inline constexpr const char* ProjectSite = "www.tessaly.example";
inline std::string supportAddress()
{
    return std::string("https://") + ProjectSite + "/support.php?id=1";
}

// The settings file in the working folder and the one setting it holds.
inline constexpr const char* SettingsFileName = "vorlanta.ini";
inline constexpr const char* SettingsSection = "Tessaly - Notes";
inline constexpr const char* SkinKey = "Skin";
// The window's size as a percentage of the desktop's own scale.
inline constexpr const char* SizeKey = "Size";
inline constexpr std::array<int, 4> SizeChoices{100, 125, 150, 200};

struct TVariables {
    std::unique_ptr<resources::TKeyResources> keyResources; // the sprite pack
    // The sprites as drawn on a high-density screen (keyresources@2x.dat or
    // @3x; the staff image's density says which); null when the 1x pack is
    // drawn.
    std::unique_ptr<gfx::TBitmap32List> densePictures;
    std::unique_ptr<notation::TMusicalStaff> musicalStaff; // on imageContainer
    std::unique_ptr<notation::TKey> keySignature;
    // Every scored answer, written at the end of each run and at close.
    std::unique_ptr<history::HistoryStore> history;
    std::unique_ptr<engine::TSheetMusic> sheetMusic;

    // What the next run asks, as the practice panel shows it.
    engine::PracticeChoice practice;
    // The MIDI keyboard to listen to, as remembered.
    engine::MidiChoice midiChoice;
    // The built-in skin in use, and the file that remembers it.
    std::int32_t skinIndex = 0;
    // The size chosen for the window (one of SizeChoices); it takes effect
    // at the next start.
    int sizePercent = 100;
    std::unique_ptr<platform::IniFile> settingsFile;
};

} // namespace shell

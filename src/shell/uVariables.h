#pragma once

// The program-wide objects of the main window: created on its first showing,
// in this order, and kept until the program ends. They are released in the
// opposite order, the session first.

#include "engine/uSheetMusic.h"
#include "notation/uKey.h"
#include "notation/uMusicalStaff.h"
#include "resources/uResources.h"

#include <cstdint>
#include <memory>

namespace shell {

struct TVariables {
    std::unique_ptr<resources::TKeyResources> keyResources; // the sprite pack
    std::unique_ptr<notation::TMusicalStaff> musicalStaff;  // on imageContainer
    std::unique_ptr<notation::TKey> keySignature;
    std::unique_ptr<engine::TSheetMusic> sheetMusic;

    // What the next run asks: note naming on the treble staff.
    std::uint8_t exerciseKind = 0;
    std::uint8_t clefSetting = 0;
    // The built-in skin in use.
    std::int32_t skinIndex = 0;
};

} // namespace shell

#pragma once

#include "notation/uMusicalStaff.h"

namespace notation {

// The key signature shown at the left of both staves, and the current key.
// Its two layers are the first two of the staff image and stay there for the
// life of the program; every other layer comes and goes after them.
class TKey {
public:
    // Creates the two signature layers (C major) and draws key 0.
    explicit TKey(TMusicalStaff& staff);

    // Shows the signature of signature index `key` (0..11) on both staves and
    // makes it the current key. Throws std::out_of_range for another index.
    void DrawKey(TMusicalStaff& staff, int key);
    int getCurrentKey() const { return currentKey; }
    // Changes the current key without redrawing.
    void setCurrentKey(int key) { currentKey = key; }

    int getTrebleLayerIndex() const { return trebleLayerIndex; }
    int getBassLayerIndex() const { return bassLayerIndex; }

private:
    int trebleLayerIndex = -1;
    int bassLayerIndex = -1;
    int currentKey = 0;
};

// Where the signatures stand: treble at (40, 70), bass at (40, 170); the bass
// signature of key s is sprite s + 12.
constexpr float KeySignatureLeft = 40;
constexpr float TrebleSignatureTop = 70;
constexpr float BassSignatureTop = 170;
constexpr int BassSignatureSprites = 12;

} // namespace notation

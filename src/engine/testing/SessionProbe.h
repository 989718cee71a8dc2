#pragma once

// SessionProbe: the way in for tests, benchmarks and tools that must set a
// moment of a run up by hand (a question asked out of turn, a key held, a
// slot built without generating a run, a fault injected). The program never
// includes it: no folder of src/ may include engine/testing (src/layers.txt).

#include "engine/uSheetMusic.h"

#include <bitset>
#include <cstdint>

namespace engine {

struct SessionProbe {
    static std::int32_t& asked(TSheetMusic& s) { return s.asked; }
    static std::int32_t& lastAnswered(TSheetMusic& s) { return s.lastAnswered; }
    static bool& answered(TSheetMusic& s) { return s.answered; }
    static std::int32_t& interval(TSheetMusic& s) { return s.interval; }
    static std::uint32_t& itemCount(TSheetMusic& s) { return s.itemCount; }
    static ExerciseKind& exerciseKind(TSheetMusic& s) { return s.exerciseKind; }
    static std::bitset<128>& heldKeys(TSheetMusic& s) { return s.heldKeys; }
    static Verdict& verdict(TSheetMusic& s, std::int32_t i)
    {
        return s.verdicts.at(static_cast<std::size_t>(i));
    }
    static SheetItem& slot(TSheetMusic& s, int voice, std::int32_t i)
    {
        return s.items.at(static_cast<std::size_t>(voice)).at(static_cast<std::size_t>(i));
    }
    static MarkSlot& pointerMark(TSheetMusic& s, std::int32_t i)
    {
        return s.pointerMarks.at(static_cast<std::size_t>(i));
    }
    // The tick's speed step alone, on whatever the slots hold.
    static void adjustSpeed(TSheetMusic& s) { s.adjustSpeed(); }
};

} // namespace engine

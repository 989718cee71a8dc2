// The score file: any keyscore.dat must load (a short or damaged one moved
// aside whole, with one message and a fresh table), give its statistics
// texts, take answers and save back as a whole 36288-byte file; and a
// 36288-byte image must decode and encode back to the same bytes.

#include "TempFolder.h"
#include "platform/testing/Recorders.h"
#include "scores/uHighscore.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using fuzzing::check;
using scores::ScoreFileSize;

std::vector<std::uint8_t> emptyTableImage() { return scores::encodeScores(scores::ScoreTable{}); }

void checkCodec(std::span<const std::uint8_t> bytes)
{
    scores::ScoreTable table;
    if (bytes.size() < ScoreFileSize) {
        bool thrown = false;
        try {
            scores::decodeScores(bytes, table);
        } catch (const std::invalid_argument&) {
            thrown = true;
        }
        check(thrown, "decodeScores took a short image");
        return;
    }
    scores::decodeScores(bytes, table);
    const auto image = scores::encodeScores(table);
    check(image.size() == ScoreFileSize, "encodeScores gave the wrong size");
    check(std::equal(image.begin(), image.end(), bytes.begin()),
          "decode and encode changed the image");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    checkCodec(bytes);

    const auto& folder = fuzzing::scratchFolder();
    const auto file = folder / scores::ScoreFileName;
    fuzzing::writeFile(file, bytes);

    platform::testing::RecordingTextLabel caption;
    platform::testing::RecordingMessageBoxes messages;
    scores::THighScore store(caption, messages, folder);

    const auto loaded = scores::encodeScores(store.storedScores());
    bool sound = size >= ScoreFileSize;
    if (sound) {
        scores::ScoreTable table;
        scores::decodeScores(bytes, table);
        sound = !scores::scoreTableFault(table).has_value();
    }
    if (!sound) {
        check(messages.messages().size() == 1, "a damaged file loaded without one message");
        check(!std::filesystem::exists(file), "a damaged file was left in place");
        check(loaded == emptyTableImage(), "a damaged file did not give a fresh table");
        // Kept whole beside; removed here so that the folder does not fill up.
        bool kept = false;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename().string().starts_with("keyscore.dat.damaged-")) {
                const std::string moved = fuzzing::readFile(entry.path());
                kept = kept || std::equal(moved.begin(), moved.end(), bytes.begin(), bytes.end(),
                                          [](char a, std::uint8_t b) {
                                              return static_cast<std::uint8_t>(a) == b;
                                          });
                std::filesystem::remove(entry.path());
            }
        }
        check(kept, "a damaged file was not kept whole");
    } else {
        check(messages.messages().empty(), "a whole file gave a message");
        check(std::equal(loaded.begin(), loaded.end(), bytes.begin()),
              "the table loaded is not the file");
    }

    std::string text;
    for (int m = 1; m <= 2; ++m)
        for (int k = 0; k <= 11; ++k)
            for (int c = 1; c <= 3; ++c) {
                store.noteStatInfo(m, k, c, text);
                store.intervalStatInfo(m, k, c, text);
                store.chordStatInfo(m, k, c, text);
                store.timescoreStatInfo(m, k, c, text);
            }

    // One answer into every record, of a kind taken from the file's bytes,
    // so that folding meets whatever counters the file holds.
    for (int m = 1; m <= 2; ++m)
        for (int k = 0; k <= 11; ++k)
            for (int c = 1; c <= 3; ++c) {
                const std::size_t at = scores::recordOffset(m, k, c);
                const std::uint8_t pick = at < size ? data[at] : 0;
                store.updateCurrentScore(m, k, c, 1 + pick % 3, pick / 3 % 16, (pick & 0x80) != 0);
                if ((pick & 0x40) != 0)
                    store.setCurrentBestTime(m, k, c, pick & 0x3F);
                if ((pick & 0x30) == 0x30)
                    store.resetTimeScore(m, k, c);
                store.updateCaption(m, k, c);
            }

    store.updateHighScore();
    const std::string saved = fuzzing::readFile(file);
    check(saved.size() == ScoreFileSize, "the saved file is not 36288 bytes");
    const auto stored = scores::encodeScores(store.storedScores());
    check(std::equal(stored.begin(), stored.end(),
                     reinterpret_cast<const std::uint8_t*>(saved.data())),
          "the saved file is not the stored table");
    return 0;
}

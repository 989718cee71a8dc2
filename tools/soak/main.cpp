// tessaly-soak [runs-per-kind=200] [seed]
//
// The long form of the soak: runs-per-kind complete runs of every exercise
// kind, back to back in one session, with random answers, checking the
// session and keyscore.dat after every run (see Soak.h). Without a seed it
// draws one and prints it; the same arguments replay the same runs. Scores
// go to a fresh temporary folder, removed at the end. Exit status 0 when
// every check held, 1 on a failure, 2 on bad arguments.
//
// With TESSALY_SOAK_KEEP_SCORES=<file> the final keyscore.dat is copied
// there first: two builds given the same seed must write the same bytes.

#include "Soak.h"

#include "resources/uResources.h"
#include "scores/uHighscore.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace {

template <class T> bool parse(std::string_view text, T& out)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && end == text.data() + text.size();
}

// Resident memory grown by more than this between the first and the last
// tenth of the runs is a leak; the session allocates nothing that should
// outlive a run.
constexpr std::int64_t RssGrowthLimitKb = 8 * 1024;

} // namespace

int main(int argc, char** argv)
{
    soak::SoakOptions opts;
    opts.runsPerKind = 200;
    opts.seed = (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
    if (argc > 3 || (argc > 1 && (!parse(argv[1], opts.runsPerKind) || opts.runsPerKind < 1)) ||
        (argc > 2 && !parse(argv[2], opts.seed))) {
        std::fprintf(stderr, "usage: tessaly-soak [runs-per-kind=200] [seed]\n");
        return 2;
    }
    opts.rssGrowthLimitKb = RssGrowthLimitKb;
    const int total = opts.runsPerKind * soak::ExerciseKinds;
    opts.onRunDone = [total](int run) {
        if (run % 100 == 0 || run == total)
            std::fprintf(stderr, "run %d of %d, VmRSS %lld KiB\n", run, total,
                         static_cast<long long>(soak::residentKb()));
    };
    std::printf("tessaly-soak: seed %llu, %d runs per kind\n",
                static_cast<unsigned long long>(opts.seed), opts.runsPerKind);
    std::fflush(stdout);

    std::error_code ec;
    opts.scoreFolder =
        std::filesystem::temp_directory_path() / ("tessaly-soak-" + std::to_string(opts.seed));
    std::filesystem::remove_all(opts.scoreFolder, ec);
    std::filesystem::create_directories(opts.scoreFolder);

    soak::SoakFigures figures;
    try {
        const resources::TKeyResources pack(TESSALY_DATA_DIR);
        figures = soak::runSoak(opts, pack.imgVorlanta);
    } catch (const std::exception& e) {
        figures.failure = std::string("loading the sprite pack: ") + e.what();
    }
    if (const char* keep = std::getenv("TESSALY_SOAK_KEEP_SCORES"); keep != nullptr && *keep)
        std::filesystem::copy_file(opts.scoreFolder / scores::ScoreFileName, keep,
                                   std::filesystem::copy_options::overwrite_existing, ec);
    std::filesystem::remove_all(opts.scoreFolder, ec);
    std::fputs(soak::describe(figures, opts).c_str(), stdout);
    return figures.ok() ? EXIT_SUCCESS : EXIT_FAILURE;
}

#pragma once

// What the benchmark programs share: how a spread of samples is reported,
// and running the benchmarks from a main() that made its Qt application.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace bench {

// Reports the median, the 99th percentile and the largest sample as the
// counters median_<unit>, p99_<unit> and max_<unit>. Nothing without samples.
inline void reportSpread(benchmark::State& state, std::vector<double> samples,
                         const std::string& unit)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_" + unit] = samples[samples.size() / 2];
    state.counters["p99_" + unit] =
        samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    state.counters["max_" + unit] = samples.back();
}

// The middle sample (the upper of the two middle ones for an even count); 0
// without samples.
inline double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

inline int runBenchmarks(int& argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench

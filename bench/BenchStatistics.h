// This machine is shared: other loads only ever add time, so the least of several
// repetitions is the figure to compare. Register with ->ComputeStatistics("min", fastest)
// and run with --benchmark_repetitions=N.
#pragma once

#include <algorithm>
#include <vector>

inline double fastest(const std::vector<double>& inValues) {
    return *std::min_element(inValues.begin(), inValues.end());
}

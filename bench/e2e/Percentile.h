// Order statistics of a set of measurements, shared by the benchmark
// components and the probe.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// The q-quantile (0..1) by the nearest-rank rule; 0 for no values.
inline double percentile(std::vector<double> values, double q) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    std::size_t rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(values.size())));
    if (rank == 0) rank = 1;
    return values[std::min(rank, values.size()) - 1];
}

#include "ensemble/sensitivity/bootstrap.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <random>
#include <thread>

#include "ensemble/sensitivity/sens_random.h"

namespace orvane::sens {

std::vector<std::uint16_t> ResampleCounts(std::uint64_t seed, std::size_t resamples, std::size_t n) {
    std::vector<std::uint16_t> counts(resamples * n, 0);
    for (std::size_t r = 0; r < resamples; ++r) {
        std::mt19937_64 gen(ResampleSeed(seed, r));
        std::uint16_t* row = counts.data() + r * n;
        for (std::size_t i = 0; i < n; ++i) {
            std::uint16_t& c = row[Below(gen, n)];
            // A count above 65535 has a probability far below anything
            // observable; saturate rather than wrap.
            if (c != std::numeric_limits<std::uint16_t>::max()) ++c;
        }
    }
    return counts;
}

void PercentileInterval(std::span<double> values, double confidence, TIndexValue& into) {
    auto end = std::partition(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
    const std::size_t n = static_cast<std::size_t>(end - values.begin());
    into.lower = into.upper = NoValue;
    if (n < 2) return;
    auto quantile = [&](double q) {
        const double h = q * static_cast<double>(n - 1);
        const std::size_t lo = static_cast<std::size_t>(std::floor(h));
        std::nth_element(values.begin(), values.begin() + lo, end);
        const double xlo = values[lo];
        if (lo + 1 >= n) return xlo;
        const double xhi = *std::min_element(values.begin() + lo + 1, end);
        return xlo + (h - static_cast<double>(lo)) * (xhi - xlo);
    };
    const double tail = (1 - confidence) / 2;
    into.lower = quantile(tail);
    into.upper = quantile(1 - tail);
}

void ParallelFor(std::size_t tasks, unsigned threads, const std::function<void(std::size_t)>& task) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, tasks));
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex errorMutex;
    auto work = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= tasks || failed.load()) return;
            try {
                task(i);
            } catch (...) {
                std::lock_guard lock(errorMutex);
                if (!error) error = std::current_exception();
                failed = true;
            }
        }
    };
    if (threads <= 1) {
        work();
    } else {
        std::vector<std::thread> pool;
        pool.reserve(threads - 1);
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
        work();
        for (auto& t : pool) t.join();
    }
    if (error) std::rethrow_exception(error);
}

std::vector<std::size_t> UsableIndices(std::span<const std::uint8_t> usable, std::size_t limit) {
    std::vector<std::size_t> idx;
    limit = std::min(limit, usable.size());
    for (std::size_t g = 0; g < limit; ++g)
        if (usable[g]) idx.push_back(g);
    return idx;
}

void CheckEnoughGroups(const std::string& analysis, std::size_t usable, std::size_t groups,
                       std::size_t needed, const char* groupName) {
    if (usable >= needed) return;
    throw ESensitivityError(analysis + ": only " + std::to_string(usable) + " of " +
                            std::to_string(groups) + " " + groupName +
                            " ran without a failed member; at least " + std::to_string(needed) +
                            " are needed");
}

}  // namespace orvane::sens

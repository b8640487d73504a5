#pragma once

// How long to wait before trying a failed update step again: 1 s after the
// first failure, doubling after each further one up to 30 s, each pause
// drawn at random from the upper quarter below that value so that players
// who failed together do not come back together.

#include <chrono>
#include <random>

class RetryPacer {
public:
    static constexpr std::chrono::milliseconds kFirst{1000};
    static constexpr std::chrono::milliseconds kLongest{30000};

    RetryPacer();

    // The pause before the next attempt, in [3/4, 1] of the current nominal
    // pause; the nominal pause then doubles, up to kLongest.
    std::chrono::milliseconds NextPause();
    // The nominal pause the next NextPause draws from.
    std::chrono::milliseconds Nominal() const { return nominal_; }

private:
    std::chrono::milliseconds nominal_ = kFirst;
    std::mt19937 random_;
};

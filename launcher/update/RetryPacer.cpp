#include "launcher/update/RetryPacer.h"

#include <algorithm>

RetryPacer::RetryPacer() : random_(std::random_device{}()) {}

std::chrono::milliseconds RetryPacer::NextPause() {
    const long long nominal = nominal_.count();
    std::uniform_int_distribution<long long> draw(nominal - nominal / 4, nominal);
    const std::chrono::milliseconds pause(draw(random_));
    nominal_ = std::min(nominal_ * 2, kLongest);
    return pause;
}

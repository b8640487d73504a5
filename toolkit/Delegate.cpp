#include "toolkit/Delegate.h"

#include <algorithm>

namespace DuiLib {

bool CDelegateStatic::Equals(const CDelegateBase& other) const {
    auto* o = dynamic_cast<const CDelegateStatic*>(&other);
    return o && o->fn_ == fn_;
}

CEventSource::CEventSource(const CEventSource& other) { *this = other; }

CEventSource& CEventSource::operator=(const CEventSource& other) {
    if (this == &other) return *this;
    delegates_.clear();
    for (const auto& d : other.delegates_) delegates_.push_back(d->Copy());
    return *this;
}

CEventSource& CEventSource::operator+=(const CDelegateBase& delegate) {
    const bool present = std::any_of(delegates_.begin(), delegates_.end(),
                                     [&](const auto& d) { return d->Equals(delegate); });
    if (!present) delegates_.push_back(delegate.Copy());
    return *this;
}

CEventSource& CEventSource::operator-=(const CDelegateBase& delegate) {
    std::erase_if(delegates_, [&](const auto& d) { return d->Equals(delegate); });
    return *this;
}

bool CEventSource::operator()(void* param) {
    std::vector<std::unique_ptr<CDelegateBase>> snapshot;
    snapshot.reserve(delegates_.size());
    for (const auto& d : delegates_) snapshot.push_back(d->Copy());
    for (auto& d : snapshot) {
        if (!d->Invoke(param)) return false;
    }
    return true;
}

}  // namespace DuiLib

#include "platform/NotificationCenter.h"

#include <algorithm>

namespace airlark {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, const QString& name, Handler handler)
{
    auto registration = std::make_shared<Registration>();
    registration->observer = observer;
    registration->name = name;
    registration->handler = std::move(handler);
    std::lock_guard lock(mutex_);
    registrations_.push_back(std::move(registration));
}

void NotificationCenter::removeObserver(const void* observer)
{
    std::vector<std::shared_ptr<Registration>> removed;
    {
        std::lock_guard lock(mutex_);
        auto split = std::stable_partition(registrations_.begin(), registrations_.end(),
                                           [observer](const auto& r) { return r->observer != observer; });
        removed.assign(split, registrations_.end());
        registrations_.erase(split, registrations_.end());
    }
    // Taking each call mutex waits out a handler running on another thread; the recursive
    // mutex lets a handler remove its own observer.
    for (const auto& registration : removed) {
        std::lock_guard callLock(registration->callMutex);
        registration->removed = true;
    }
}

void NotificationCenter::post(const QString& name, const void* object)
{
    std::vector<std::shared_ptr<Registration>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& registration : registrations_) {
            if (registration->name == name)
                matching.push_back(registration);
        }
    }
    const Notification notification{name, object};
    for (const auto& registration : matching) {
        std::lock_guard callLock(registration->callMutex);
        if (!registration->removed)
            registration->handler(notification);
    }
}

ScopedObservation::~ScopedObservation()
{
    if (observer_)
        NotificationCenter::defaultCenter().removeObserver(observer_);
}

void ScopedObservation::observe(const void* observer, const QString& name,
                                NotificationCenter::Handler handler)
{
    observer_ = observer;
    NotificationCenter::defaultCenter().addObserver(observer, name, std::move(handler));
}

} // namespace airlark

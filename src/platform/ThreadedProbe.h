#pragma once
// The readiness probe of the real platforms: each try on a thread of its own
// (one left idle by an earlier try, or a new one), its result posted back to
// the console's event loop.
#include "platform/ProbeTries.h"
#include "ports/EventLoop.h"

#include <memory>

namespace torv {

class ThreadedProbe : public ReadinessProbe {
public:
    using TryFunction = std::function<ProbeResult(const ProbeTarget&)>;
    explicit ThreadedProbe(EventLoop& events, TryFunction tryOnce = tryProbeOnce);
    // A try still under way is left to end on its own; its result is dropped.
    ~ThreadedProbe() override;
    void start(const ProbeTarget& target, std::function<void(ProbeResult)> done) override;
    EventLoop& events() override { return events_; }

private:
    EventLoop& events_;
    struct Shared;
    std::shared_ptr<Shared> shared_;
    TryFunction tryOnce_;
};

} // namespace torv

#pragma once
// The kinds of readiness try each platform folder implements; the web try and
// the choice between them are shared (platform/ReadinessProbe.cpp).
#include "ports/ReadinessProbe.h"

namespace torv {

// One try, blocking the calling thread up to the try's limit.
ProbeResult tryProbeOnce(const ProbeTarget& target);

} // namespace torv

namespace torv::probe {

ProbeResult tryTcp(const ProbeTarget& t);
ProbeResult tryPath(const ProbeTarget& t);
ProbeResult tryProcess(const ProbeTarget& t);
ProbeResult tryCommand(const ProbeTarget& t);

} // namespace torv::probe

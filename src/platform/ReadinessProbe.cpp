#include "ports/ReadinessProbe.h"

#include "platform/ProbeTries.h"
#include "platform/WebFetch.h"

namespace torv {

namespace {

ProbeResult tryHttp(const ProbeTarget& t)
{
    // Only the status counts; the body is not kept.
    const WebAnswer answer = fetchWeb(t.target, t.caFile, t.limitMs > 0 ? t.limitMs : kNetworkTryMs, 0);
    if (!answer.answered)
        return {false, answer.error};
    // A redirect (3xx) already says the server answers.
    if (answer.status < 200 || answer.status > 399)
        return {false, "status " + std::to_string(answer.status)};
    return {true, {}};
}

} // namespace

ProbeResult tryProbeOnce(const ProbeTarget& target)
{
    switch (target.kind) {
    case ProbeKind::Tcp:
        return probe::tryTcp(target);
    case ProbeKind::Http:
        return tryHttp(target);
    case ProbeKind::Path:
        return probe::tryPath(target);
    case ProbeKind::Process:
        return probe::tryProcess(target);
    case ProbeKind::Command:
        break;
    }
    return probe::tryCommand(target);
}

} // namespace torv

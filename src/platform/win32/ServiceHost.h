#pragma once

namespace torv {

// True once this process runs as a service: the console control handler then
// lets log-off and shut-down events pass (a service hears every user's
// log-off; the manager's own controls end it).
bool runsAsService();

} // namespace torv

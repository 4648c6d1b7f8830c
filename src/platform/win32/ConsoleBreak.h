#pragma once

namespace torv {

// `torv.exe --send-break PID`: sends CTRL_BREAK_EVENT to the console process
// group PID (a held program started in a group of its own) from a process of
// its own, since the console that asks has no console to send it from. Run
// before anything else starts; 0 when the break was sent, else 1.
int sendConsoleBreak(unsigned long pid);

} // namespace torv

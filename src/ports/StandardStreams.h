#pragma once

namespace torv {

// Gives the command-line uses (help, keys, the console without a window) the
// console they were started from for their output, where the program does not
// get it by itself. Streams that were redirected stay as they are.
void attachToStartingConsole();

enum class StandardStream { Output, Error };
// Whether systemd's journal reads the stream directly (JOURNAL_STREAM names
// its device and inode), so that a line may carry its syslog priority.
bool streamIsJournal(StandardStream stream);

} // namespace torv

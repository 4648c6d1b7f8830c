#pragma once
// Cue files, in the program's folder.
namespace torv::cue {
inline constexpr const char* Start = "START.wav";
inline constexpr const char* Done = "done.wav";
inline constexpr const char* Complete = "complete.wav";
inline constexpr const char* Failure = "failure.wav";
inline constexpr const char* Finished = "finished.wav";
inline constexpr const char* Shutdown = "shutdown.wav";
inline constexpr const char* Relay = "relay.wav";
inline constexpr const char* Command = "command.wav";
inline constexpr const char* IpChange = "ipchange.wav";
} // namespace torv::cue

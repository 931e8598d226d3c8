#pragma once

#include <iosfwd>

// vocalith-cli: the engine from the command line.
//   info FILE.wav            the format and the parameters opening the file sets
//   voiceprint FILE.wav ...  the voiceprint of the analysed stretch, as .npy planes and/or PNG
//   pitch FILE.wav ...       the pitch track as CSV
// Results go to `out`; messages (the program's own log lines where it has one) to `err`.
// Returns the exit status: 0 on success, 1 on bad input or a failure, with a message on `err`.
int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

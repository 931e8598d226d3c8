#pragma once

#include <iosfwd>
#include <string>

// vocalith-cli memos: memo lists to and from other tools (memo/MemoInterop.h).
//   memos export FILE.vlh --format NAME [--wav FILE.wav] [-o OUT]
//   memos import FILE.TextGrid|FILE.txt|FILE.trn --wav FILE.wav -o FILE.vlh
// argv[1] is "memos". Returns the exit status: 0 on success, 1 with a message on `err` when
// something is wrong; a run that fails (a damaged input included) writes nothing. OUT "-" is
// `out`, and the progress line then goes to `err`.
int runMemosCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The usage lines of the command, the export formats named from the engine's table.
std::string memosUsage();

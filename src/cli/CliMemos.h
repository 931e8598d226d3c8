#pragma once

#include <iosfwd>

// vocalith-cli memos: memo lists to and from other tools (memo/MemoInterop.h).
//   memos export FILE.vlh --format textgrid|audacity|csv [--wav FILE.wav] [-o OUT]
//   memos import FILE.TextGrid|FILE.txt --wav FILE.wav -o FILE.vlh
// argv[1] is "memos". Returns the exit status: 0 on success, 1 with a message on `err` when
// something is wrong; a run that fails (a damaged input included) writes nothing. OUT "-" is
// `out`, and the progress line then goes to `err`.
int runMemosCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The usage lines of the command, for the program's usage text.
extern const char* const kMemosUsage;

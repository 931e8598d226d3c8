#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <sys/types.h>

#include "engine/memo/CArchMemo.h"
#include "engine/sound/OutputFile.h"

// The memo-list file (".vlh"; the old memo text ".txt" has the same layout). Plain text, one
// value per line, every line written with CR LF:
//
//   Ver. 2.51
//   N                                   number of title slots
//   N slots, each:  param memo, title sub-memo, M, M records (title memo first)
//
// A record is eight lines: text, priority, view length, view start, view cursor, frequency
// (integers as "%ld"), relX, relY ("%f", six decimals, always with a point). A line feed inside
// the text or the priority is stored as "&#xD;". The text line is CP932 when that reads back as
// the same text and UTF-8 otherwise (encodeMemoText); the priority line is never converted.
// Title and term numbers are not stored: reading numbers slot k as title k and the j-th record
// of its term list as term j.
//
// Results are codes; the caller turns them into messages for the user.

extern const char* const kMemoListVersion; // "Ver. 2.51"

// One slot as the reader builds it: the records of a group, owned.
struct MemoSlot {
    std::unique_ptr<CArchMemo> param;
    std::unique_ptr<CArchMemo> sub;                // text always "+"
    std::vector<std::unique_ptr<CArchMemo>> terms; // title memo first
};

// ---- Writing

// One slot as the writer takes it; the records are borrowed. A null record or a slot without a
// term list (hasTermList false) is a hole in the frame's lists.
struct MemoSlotRef {
    const CArchMemo* param = nullptr;
    const CArchMemo* sub = nullptr;
    bool hasTermList = true;
    std::vector<const CArchMemo*> terms; // title memo first
};

// Borrowed views of slots that the caller holds.
std::vector<MemoSlotRef> memoSlotRefs(const std::vector<MemoSlot>& slots);

// The whole file into `out`. Holes are left out; the result is then false and `out` is not a
// file to keep.
bool formatMemoList(const std::vector<MemoSlotRef>& slots, std::string& out);

enum resultMemoSave {
    memoSaveOk = 0,
    memoSaveFailed = 1,       // nothing replaced; no temporary file is left
    memoSaveKeptTemporary = 2 // `path` untouched; the new bytes are complete in the temporary file
};

// Puts `bytes` at `path` through COutputFile (sound/OutputFile.h): links are written through,
// a device or pipe in place, a regular file replaced by renaming a synced temporary (path +
// ".tmp." and six characters, so it can never be another sound's memo list) over it, so that a
// failure at any point leaves the old file as it was. The new file keeps the old one's
// permission bits (else 0666 less the umask); an old file that may not be written is left
// alone (memoSaveFailed). A folder in the file's place keeps the bytes in the temporary file
// (memoSaveKeptTemporary). `temporaryPath` receives the name of the temporary file when it is
// kept (memoSaveKeptTemporary), else it is empty.
resultMemoSave replaceFileContents(const std::string& path, const std::string& bytes,
                                   std::string& temporaryPath);

namespace memolist_detail {
// The system calls of every output file (outputfile_detail::FileCalls), kept under this name
// for the memo-list tests.
using FileCalls = outputfile_detail::FileCalls;
void setFileCalls(const FileCalls* calls);
} // namespace memolist_detail

// ---- Reading

struct MemoListRead {
    enum resultMemoRead {
        readOk = 0,
        readOpenFailed = 1, // the file cannot be opened
        readBadHeader = 2,  // no "Ver." in the first 20 characters of line 1 (or no line 1)
        readDamaged = 3     // the data ended or broke before the last slot; `slots` holds the
                            // complete slots read before that point
    };
    resultMemoRead result = readOpenFailed;
    std::vector<MemoSlot> slots;
    // The view length of the last slot's param memo; 0 when there is none or it is not positive.
    int32_t requestedWindowLen = 0;
    // Lines (from 1) whose number did not parse or fit and was read as 0, or whose count of
    // records had to be guessed; in file order.
    std::vector<int> damagedLines;
    // Writing the slots gives the file's bytes back exactly. When false, saving the list would
    // lose something the file holds (a damaged value, lines past the last slot, another line
    // end or number format), so the original is worth keeping.
    bool keptWhole = false;
};

// Reads the whole file from the current position of an open file, which the caller closes.
// Nothing is allocated by a count the file states: slots are built only from lines that are
// there. A line must end with LF (CRs anywhere are dropped) and be at most kMemoLineMax bytes,
// or the lines end there. A number must parse ("%ld"/"%f" rules: leading blanks, sign, digits;
// the rest of the line ignored) and an integer fit in 32 bits; otherwise it reads as 0 and its
// line is noted. A damaged count of slots reads slots to the end of the file; a damaged count of
// records is the one after which the next slot's numbers parse (the last slot: the records up to
// the end). Values are kept as written, relX and relY included: whoever turns them into
// pixels clamps them (clampRelative), so reading and writing again changes no byte.
MemoListRead readMemoList(FILE* file);
MemoListRead readMemoListFile(const std::string& path);
MemoListRead readMemoListBytes(const std::string& bytes);

constexpr size_t kMemoLineMax = size_t(4) << 20;

// A fraction of a panel that turns into a pixel on it: NaN gives 0, the rest is clamped to 0 .. 1.
float clampRelative(float value);

// ---- Views of param memos

// Where a param memo's view lands in the open sound. The view start is clamped to
// 0 .. totalSamples - windowLen (0 when the sound is shorter than the window), the cursor to
// 0 .. cursorRange (the last place the analysed stretch can start in the window); a start moved
// down hands the difference to the cursor as far as it fits, so the stretch stays as near the
// stored place as the sound allows. `exact` tells that nothing had to be changed.
struct MemoView {
    int32_t start = 0;
    int32_t cursor = 0;
    bool exact = true;
};
MemoView fitMemoView(int32_t viewStart, int32_t viewCursor, int32_t totalSamples, int32_t windowLen,
                     int32_t cursorRange);

#pragma once

#include <string>
#include <vector>

#include "engine/memo/MemoInterop.h"

// Memo lists to and from other tools, as the command line and Python run it: the inputs read
// and checked, the output's bytes made. Writing them is the caller's, so a run that fails
// writes nothing.
struct MemoExchange {
    bool ok = false;
    std::string bytes;              // the exported text, or the imported memo list
    std::vector<std::string> lines; // notes, then on failure the reason, one line each
    int groups = 0;
    int memos = 0; // title and term memos exported
};

// The list `listPath` in the format; the rate from the sound `wavPath` when it is not empty
// (any sound that opens), else from each group's parameter block. A damaged list fails.
MemoExchange exportMemoListFile(const std::string& listPath, MemoExportFormat format,
                                const std::string& wavPath, int panelWidth);
// A TextGrid, a label track, a transcript or an old memo text (importMemoFile) as a memo list
// for the sound at `wavPath`. A damaged file fails, its reason followed by "quit to read FILE".
MemoExchange importMemoListFile(const std::string& path, const std::string& wavPath,
                                int panelWidth);

#pragma once

#include <iosfwd>
#include <string>

#include "engine/analysis/AnalysisRun.h"

// The parts of the analysis commands that only the command line has: the progress bar and the
// whole-recording voiceprint written to .npy files as it is computed.

// A progress bar on the terminal: drawn on err only when err is the standard error and that is a
// terminal, and only once a run has taken a second; cleared when the run ends. Empty otherwise.
RunProgress terminalProgress(std::ostream& err);

// "voiceprint: F frames x H bins (SsftSize S, Interval I, normal, from sample N) in X s on T
// threads", with its line end.
std::string voiceprintSummary(const AnalysisSetup& s, double seconds);

// Makes the folder --npy names unless it is there; the message when that fails.
bool makeDirectory(const std::string& dir);
std::string directoryProblem(const std::string& dir);

// voiceprint --whole: every run of frames of `s`, the planes appended to npyDir's hamDbMap.npy,
// restoreDbMap.npy and rectDbMap.npy (frames x bins) as they come and the level spectra of the
// first frame written beside them. Each file is written under a temporary name and renamed when
// complete, so a failed or killed run leaves no half file. Returns the exit status.
int runWholeVoiceprint(AnalysisSetup& s, const std::string& npyDir, const RunProgress& progress,
                       std::ostream& out, std::ostream& err);

#pragma once

#include <iosfwd>
#include <string>

#include "engine/analysis/AnalysisRun.h"
#include "engine/analysis/WholeRunFiles.h"

// The parts of the analysis commands that only the command line has: the progress bar and the
// whole-recording voiceprint written to .npy files as it is computed.

// A progress bar on the terminal: drawn on err only when err is the standard error and that is a
// terminal, and only once a run has taken a second; cleared when the run ends. Empty otherwise.
RunProgress terminalProgress(std::ostream& err);

// "voiceprint: F frames x H bins (SsftSize S, Interval I, normal, from sample N) in X s on T
// threads", with its line end.
std::string voiceprintSummary(const AnalysisSetup& s, double seconds);

// voiceprint --whole: writeWholeVoiceprintNpy into npyDir (or the run alone without one), then
// the summary and the files written on `out`. Returns the exit status.
int runWholeVoiceprint(AnalysisSetup& s, const std::string& npyDir, const RunProgress& progress,
                       std::ostream& out, std::ostream& err);

#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "engine/analysis/AnalysisRun.h"

// A whole-recording voiceprint written to .npy files as it is computed, so that no more than
// the runs in flight is ever in memory: an hour of sound whose planes would take gigabytes.

// Makes the folder unless it is there; the message when that fails.
bool makeDirectory(const std::string& dir);
std::string directoryProblem(const std::string& dir);

// Every run of frames of `s`, the planes appended to dir's hamDbMap.npy, restoreDbMap.npy and
// rectDbMap.npy (frames x bins, float64) as they come and the level spectra of the first frame
// written beside them (hamDb.npy, restoreDb.npy, rectDb.npy). Each file is written under a
// temporary name and all six are put in place only once all are complete, so a failed or killed
// run leaves no half file and replaces none. `written` gets their paths in order. False with the
// message on err.
bool writeWholeVoiceprintNpy(AnalysisSetup& s, const std::string& dir, const RunProgress& progress,
                             std::ostream& err, std::vector<std::string>& written);

#pragma once

#include <cstdint>
#include <vector>

#include "engine/memo/MemoListFile.h"
#include "engine/sound/ParameterBlock.h"

// The memo list that comes with the demo recording (synthesizeDemoVoice): one group per
// phrase, each viewing its phrase with frames that just cover it, a title naming the vowels
// and terms pinned on formants and on the pitch. Priorities cycle High, Mid, Low.
// `opened` are the parameters opening the recording sets (as the parameter block shows them);
// `windowLen` is the window length it opens with.
std::vector<MemoSlot> demoMemoSlots(const ParameterValues& opened, int32_t windowLen);

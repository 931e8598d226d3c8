#include "sound/CWavPara.h"
CWavPara::CWavPara(int) {}
CWavPara::~CWavPara() = default;

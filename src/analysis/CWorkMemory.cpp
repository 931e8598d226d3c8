#include "analysis/CWorkMemory.h"
CWorkMemory::CWorkMemory() = default;
CWorkMemory::~CWorkMemory() = default;

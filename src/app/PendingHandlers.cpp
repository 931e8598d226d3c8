#include "app/MyFrame.h"

// Commands whose behaviour is still to be built. Each moves to its subsystem's
// file when it is written; until then the IDs are routed and do nothing.

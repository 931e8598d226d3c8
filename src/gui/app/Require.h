#pragma once

#include <cstdlib>

#include <wx/debug.h>

// A member the construction always supplies is missing: report it by name and stop,
// since every later step would dereference it.
#define VOCALITH_REQUIRE(ptr, name)                                                                \
    do {                                                                                           \
        if (!(ptr)) {                                                                              \
            wxFAIL_MSG(name);                                                                      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

#include "app/MyApp.h"

wxIMPLEMENT_WXWIN_MAIN;

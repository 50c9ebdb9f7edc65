#include "globals.h"

HINSTANCE g_hInstance;
char g_caption[CAPTION_SIZE];
Outcome g_outcome;

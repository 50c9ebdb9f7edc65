#include "globals.h"

HINSTANCE g_hInstance;
char g_caption[TEXT_SIZE];
int g_outcome;

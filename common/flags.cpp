#include "common/flags.h"

unsigned char g_reevaluate;
unsigned char g_forceRedraw;
unsigned char g_placeNextDialog;

// Windows keeps its fonts in the system: nothing to read ahead.
#include "app/FontWarmUp.h"

TFontWarmUp::TFontWarmUp() = default;

#include "font_warm_up.h"

// Qt asks Windows for its fonts: no configuration to read ahead.
FontWarmUp::FontWarmUp() = default;

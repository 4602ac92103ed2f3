#include "font_warm_up.h"

#include <fontconfig/fontconfig.h>

// Parsing fontconfig's files is most of what a first font costs; Qt's own FcInit() then
// finds the configuration loaded.
FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

#include "standard_speeds.h"

#include <algorithm>

bool isStandardSpeed(int baud) {
    return std::find(kStandardSpeeds.begin(), kStandardSpeeds.end(), baud) != kStandardSpeeds.end();
}

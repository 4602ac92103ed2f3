#include "standard_speeds.h"

#include <algorithm>
#include <array>

namespace {

#ifdef _WIN32
// Windows takes the rate itself.
using speed_t = int;
#define SPEED(baud) \
    { baud, baud }
#else
#define SPEED(baud) \
    { baud, B##baud }
#endif

struct StandardSpeed {
    int baud;
    speed_t constant;
};

constexpr auto kStandardSpeeds = std::to_array<StandardSpeed>({
    SPEED(50),      SPEED(75),      SPEED(110),    SPEED(134),    SPEED(150),     SPEED(200),
    SPEED(300),     SPEED(600),     SPEED(1200),   SPEED(1800),   SPEED(2400),    SPEED(4800),
    SPEED(9600),    SPEED(19200),   SPEED(38400),  SPEED(57600),  SPEED(115200),  SPEED(230400),
    SPEED(460800),  SPEED(500000),  SPEED(576000), SPEED(921600), SPEED(1000000), SPEED(1152000),
    SPEED(1500000), SPEED(2000000),
});
#undef SPEED

std::optional<speed_t> speedConstant(int baud) {
    const auto it = std::find_if(kStandardSpeeds.begin(), kStandardSpeeds.end(),
                                 [baud](const StandardSpeed& s) { return s.baud == baud; });
    if (it == kStandardSpeeds.end())
        return std::nullopt;
    return it->constant;
}

}  // namespace

#ifndef _WIN32
std::optional<speed_t> termiosSpeed(int baud) {
    return speedConstant(baud);
}
#endif

bool isStandardSpeed(int baud) {
    return speedConstant(baud).has_value();
}

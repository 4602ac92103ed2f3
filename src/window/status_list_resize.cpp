#include "status_list_resize.h"

#include <algorithm>

namespace {
constexpr float kSpaceBelowList = 1000.0f;
constexpr float kSpaceBesideList = 250.0f;
}  // namespace

ListSizeTwips statusListSize(float listTop, float outerWidth, float outerHeight) {
    const float height = outerHeight - listTop - kSpaceBelowList;
    const float width = outerWidth - kSpaceBesideList;
    return {std::max(width, 0.0f), std::max(height, 0.0f)};
}

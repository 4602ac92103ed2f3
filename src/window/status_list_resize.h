#pragma once

// The status list follows the window's outer size; everything else keeps its place.
// All values are twips, computed in single precision.
struct ListSizeTwips {
    float width = 0.0f;
    float height = 0.0f;
};

// The frame assumed where the window system reports none (no frame yet, or none at all):
// borders and caption of a classic sizable window.
inline constexpr float kClassicFrameWidthTwips = 130.0f;
inline constexpr float kClassicFrameHeightTwips = 475.0f;

// Height H - T - 1000 and width W - 250, each kept at zero rather than going negative.
ListSizeTwips statusListSize(float listTop, float outerWidth, float outerHeight);

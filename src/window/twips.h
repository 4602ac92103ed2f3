#pragma once

#include <QRect>
#include <cmath>

// A place and size in twips (1/1440 inch), as the window's layout is designed.
struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Converts twips to pixels and back at a screen's logical resolution. Every value is
// converted on its own and rounded to the nearest pixel, so a place and a size convert the
// same way wherever they appear (at 96 dpi, 15 twips are exactly one pixel).
class TwipScale {
public:
    static constexpr double kTwipsPerInch = 1440.0;

    TwipScale(double dpiX, double dpiY) : dpiX_(dpiX), dpiY_(dpiY) {}

    double dpiX() const { return dpiX_; }
    double dpiY() const { return dpiY_; }

    int toPixelsX(double twips) const { return toPixels(twips, dpiX_); }
    int toPixelsY(double twips) const { return toPixels(twips, dpiY_); }
    double toTwipsX(double pixels) const { return pixels * kTwipsPerInch / dpiX_; }
    double toTwipsY(double pixels) const { return pixels * kTwipsPerInch / dpiY_; }

    QRect toPixels(const TwipRect& r) const {
        return {toPixelsX(r.left), toPixelsY(r.top), toPixelsX(r.width), toPixelsY(r.height)};
    }

private:
    static int toPixels(double twips, double dpi) {
        return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
    }

    double dpiX_;
    double dpiY_;
};

#pragma once
// Plot coordinates of the response graph: a logarithmic frequency axis of three
// decades (20 Hz .. 20 kHz) and a linear gain axis (+20 dB top, -20 dB bottom).
// Integer geometry only; the drawing itself belongs to the user interface.

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct PointF {
    float x = 0;
    float y = 0;
    bool operator==(const PointF&) const = default;
};

// Edges as the windowing system has them: right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    Point Center() const { return {(left + right) / 2, (top + bottom) / 2}; }
    void Offset(int dx, int dy);
    bool operator==(const Rect&) const = default;
};

// The plot area sits inside the control at this offset; plot-relative values
// plus the offset are client coordinates.
constexpr int kPlotLeft = 35;
constexpr int kPlotTop = 10;

constexpr double kGainMaxDb = 20.0;
constexpr int kFreqMin = 20;
constexpr int kFreqMax = 20000;

// Mapping between plot pixels and frequency/gain for a plot of width x height
// pixels. Integer results truncate toward zero.
struct PlotGeometry {
    int width = 0;
    int height = 0;

    // Pixels per decade: a third of the width, truncated.
    int DecadeWidth() const { return width / 3; }

    int FreqToX(double f) const;
    double FreqToXf(double f) const;
    int DbToY(double g) const;
    double DbToYf(double g) const;
    int XToFreq(int x) const;
    double YToDb(int y) const;
};

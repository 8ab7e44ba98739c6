#include "shell/layout.h"

#include <cstdint>
#include <stdexcept>

namespace tallowmere::shell {

namespace {
// Win32 MulDiv's rounding, without Win32: nearest, halves away from zero.
int MulDivRounded(int value, int numerator, int denominator) {
    const std::int64_t product = static_cast<std::int64_t>(value) * numerator;
    const std::int64_t half = denominator / 2;
    const std::int64_t rounded = product >= 0 ? (product + half) / denominator : (product - half) / denominator;
    return static_cast<int>(rounded);
}
}  // namespace

int TwipsToPixels(int twips, int dpi) { return MulDivRounded(twips, dpi, kTwipsPerInch); }

PixelRect ToPixels(const TwipsRect& twips, int dpi) {
    // Each edge is converted on its own so neighbouring controls that share an edge in
    // twips share it in pixels too.
    const int left = TwipsToPixels(twips.left, dpi);
    const int top = TwipsToPixels(twips.top, dpi);
    const int right = TwipsToPixels(twips.left + twips.width, dpi);
    const int bottom = TwipsToPixels(twips.top + twips.height, dpi);
    return {left, top, right - left, bottom - top};
}

NamedFont FontOf(FontChoice choice) {
    switch (choice) {
    case FontChoice::CaptionBold: return {L"MS Sans Serif", 825, 700};
    case FontChoice::HeadingBold: return {L"Arial", 825, 700};
    case FontChoice::BusyBold: return {L"Tahoma", 975, 700};
    case FontChoice::Dialog: break;
    }
    throw std::logic_error("the dialog font has no fixed face");
}

int FontHeightPixels(int hundredthsOfPoint, int dpi) { return -MulDivRounded(hundredthsOfPoint, dpi, 7200); }

const ControlPlacement& PlacementOf(ControlId id) {
    for (const ControlPlacement& placement : kControls)
        if (placement.id == id) return placement;
    throw std::logic_error("unknown control id");
}

}  // namespace tallowmere::shell

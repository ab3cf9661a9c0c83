// The picture's layout and colours, named once for the writer and the panels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal::style {

// Colours that stay apart for colour-blind readers (the Okabe-Ito set), and
// the neutral ones.
constexpr const char* kAccent = "#0072B2";    // blue: the stretch, the table
constexpr const char* kOriginal = "#E69F00";  // orange: the original points
constexpr const char* kClosing = "#D55E00";   // vermillion: entries of 99.9, faults
constexpr const char* kOutside = "#999999";   // grey: points outside the stretch
constexpr const char* kBeyondTint = "#FBE3D6";
constexpr const char* kBelowTint = "#EEEEEE";
constexpr const char* kInk = "#222222";  // text
constexpr const char* kNoteInk = "#555555";
constexpr const char* kFrameLine = "#444444";
constexpr const char* kGridLine = "#DDDDDD";
constexpr const char* kPaper = "#FFFFFF";

// The canvas and the plots' left and right edges.
constexpr int32_t kWidth = 1000;
constexpr int32_t kCurveOnlyHeight = 680;
constexpr int32_t kCalHeight = 1786;
// Room left of the plots for tick labels of ten characters beside the
// rotated axis title.
constexpr double kPlotLeft = 130.0;
constexpr double kPlotRight = 960.0;
// Title lines start left of the plots.
constexpr double kTitleLeft = 30.0;

// Font sizes.
constexpr int kTitleSize = 26;
constexpr int kHeadingSize = 19;
constexpr int kNoteSize = 18;
constexpr int kLineSize = 16;  // title lines and axis titles
constexpr int kTickSize = 15;  // tick labels and legends
constexpr int kBandSize = 14;

// Distances from a plot's frame.
constexpr double kTickLabelBelow = 22;  // x tick labels below the frame
constexpr double kAxisTitleBelow = 48;  // the x axis title below the frame
constexpr double kTickLabelLeft = 8;    // y tick labels left of the frame
constexpr double kAxisTitleLeft = 112;  // the y axis title left of the frame
constexpr double kBaseline = 5;         // from a text's middle to its baseline

// Where each part of the picture stands, from the top.
constexpr double kTitleY = 44;
constexpr double kHeaderY = 76;
constexpr double kStretchY = 102;
constexpr double kNoteY = 128;  // the first line below the stretch
constexpr double kTitleLineStep = 26;

constexpr double kCurveHeadingY = 196;
constexpr double kCurveLegendY = 222;
constexpr double kCurveTop = 238;
constexpr double kCurveBottom = 570;

constexpr double kTableHeadingY = 676;
constexpr double kTableLegendY = 702;
constexpr double kBandTop = 716;  // the strip of entries beyond the stretch
constexpr double kBandBottom = 748;
constexpr double kTableTop = 760;
constexpr double kTableBottom = 1050;

constexpr double kResolutionHeadingY = 1150;
constexpr double kResolutionLegendY = 1176;
constexpr double kResolutionTop = 1192;
constexpr double kResolutionBottom = 1360;

// The error panel, from its heading: cal's fourth panel and check's only one.
constexpr double kErrorHeadingY = 1456;  // in cal's picture
constexpr double kErrorLegendOffset = 26;
constexpr double kErrorTopOffset = 42;
constexpr double kErrorBottomOffset = 250;
constexpr double kBelowErrorPanel = 80;
// The check's summary and its panel's heading.
constexpr double kCheckSummaryY = 102;
constexpr double kCheckHeadingGap = 68;  // from the last title line to the heading

// Lines added to the title (warnings) move everything below by this much
// each, and long lines are wrapped at about this many characters.
constexpr double kWarningLineStep = 22;
constexpr std::size_t kWrapAt = 100;

}  // namespace vextal::style

// The SVG elements the picture is made of, written into one output file:
// text, axes with round ticks, polylines and marker paths. Numbers go
// through the program's formatter, so every build writes the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/output_file.h"
#include "picture/style.h"

namespace vextal {

/// Room escape_xml_text needs for `limit` bytes of text: every byte may
/// become a six-character reference, and a cut text ends in "...".
constexpr std::size_t escaped_size(std::size_t limit) {
    return 6 * limit + 4;
}

/// Writes up to `limit` bytes of `text` as XML character data into `out` and
/// returns the length: "<&>\"'" as entities, control characters (C0, DEL and
/// C1) dropped, every other byte above 0x7F as a Latin-1 character reference,
/// and "..." after a text that was cut. The result is pure ASCII.
std::size_t escape_xml_text(const char* text, std::size_t limit, char* out);

/// A plot area in picture coordinates (y grows downward).
struct Frame {
    double left;
    double top;
    double right;
    double bottom;
};

/// The smallest and largest finite value added; other values are passed over.
struct Range {
    bool any = false;
    double min = 0.0;
    double max = 0.0;
    void add(double v);
};

/// A linear axis from `lo` to `hi` with ticks every `step`, mapped onto the
/// picture coordinates `px_lo` to `px_hi`.
struct Axis {
    double lo;
    double hi;
    double step;
    int decimals;  ///< decimals of the tick labels
    double px_lo;
    double px_hi;
    /// The picture coordinate of `v`, held within the picture's reach.
    double at(double v) const;
    bool holds(double v) const { return v >= lo && v <= hi; }
};

/// An axis over `range` whose ends are round multiples of a round step
/// (1, 2 or 5 times a power of ten), about seven steps long; an empty range
/// gives 0 to 1, a single value a span around it.
Axis make_axis(const Range& range, double px_lo, double px_hi);

enum class Face { kPlain, kBold, kItalic };

/// One document being written: its output file and the element whose points
/// are being given (between an svg_..._open and its close).
struct Svg {
    explicit Svg(OutFile& file) : out(&file) {}
    OutFile* out;
    int shape = 0;
    const char* colour = nullptr;
    double width = 1.0;
    int points = 0;
};

/// Starts the document with its XML declaration, the root element and a
/// white background.
void svg_begin(Svg& svg, int32_t width, int32_t height);
void svg_end(Svg& svg);

/// Moves what follows down by `dy` until svg_shift_close, where `dy` is not
/// zero.
void svg_shift_open(Svg& svg, double dy);
void svg_shift_close(Svg& svg, double dy);

/// Writes text that needs no escaping (the program's own words).
void svg_put(Svg& svg, const char* text);
void svg_put_int(Svg& svg, int32_t value);
void svg_put_fixed(Svg& svg, double value, int decimals);
/// A value with up to three decimals, trailing zeros dropped: 80, 12.5.
void svg_put_short(Svg& svg, double value);
/// Up to `limit` bytes of outside text (names, comments), escaped.
void svg_put_escaped(Svg& svg, const char* text, std::size_t limit);

void svg_text_open(Svg& svg, double x, double y, int size, Face face, const char* anchor,
                   const char* fill);
void svg_text_close(Svg& svg);
/// A panel heading at the plot's left edge.
void svg_heading(Svg& svg, double y, const char* text);
void svg_rect(Svg& svg, double x, double y, double w, double h, const char* fill,
              const char* stroke);
/// The frame, grid, tick labels and axis titles of a plot.
void svg_axes(Svg& svg, const Frame& f, const Axis& x, const Axis& y, const char* x_title,
              const char* y_title);
/// A grey note in the middle of a plot area.
void svg_centred_note(Svg& svg, const Frame& f, const char* text);

/// One polyline through the points given until svg_polyline_close; nothing
/// is written for no point.
void svg_polyline_open(Svg& svg, const char* colour, double width);
void svg_point(Svg& svg, double x, double y);
void svg_polyline_close(Svg& svg);
/// One path of markers, each given by its centre, until svg_path_close.
void svg_dots_open(Svg& svg, const char* colour, double size);
void svg_dot(Svg& svg, double x, double y);
void svg_squares_open(Svg& svg, const char* colour);
void svg_square(Svg& svg, double x, double y);
void svg_crosses_open(Svg& svg, const char* colour);
void svg_cross(Svg& svg, double x, double y);
void svg_path_close(Svg& svg);

/// One row of legend entries, laid out from the plot's left edge.
class Legend {
  public:
    Legend(Svg& svg, double y) : svg_(svg), x_(style::kPlotLeft), y_(y) {}
    void line(const char* colour, const char* text);
    void line_and_dots(const char* colour, const char* text);
    void dots(const char* colour, const char* text);
    void squares(const char* colour, const char* text);
    void crosses(const char* colour, const char* text);
    void swatch(const char* fill, const char* text);

  private:
    void label(const char* text);
    Svg& svg_;
    double x_;
    double y_;
};

}  // namespace vextal

// The SVG elements the picture is made of, written into one output file:
// text and values (svg_writer.cpp), axes with round ticks, polylines clipped
// to their plot and marker paths (svg_plot.cpp). Numbers go through the
// program's formatter, so every build writes the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "files/output_file.h"
#include "picture/axis.h"
#include "picture/style.h"

namespace vextal {

/// Room escape_xml_text needs for `limit` bytes of text: no byte becomes
/// more than six characters ("&quot;", "&#255;", a reference of a UTF-8
/// character), and a cut text holds "...".
constexpr std::size_t escaped_size(std::size_t limit) {
    return 6 * limit + 4;
}

/// Writes the whole characters within the first `limit` bytes of `text` as
/// XML character data into `out` and returns the length. Well-formed UTF-8
/// is read as UTF-8, every other byte as a Latin-1 character; "<&>\"'" become
/// entities, control characters (C0, DEL, C1) and U+FFFE, U+FFFF are dropped,
/// every other character beyond ASCII becomes a character reference, and a
/// text that was cut ends in "...". The result is pure ASCII.
std::size_t escape_xml_text(const char* text, std::size_t limit, char* out);
/// As escape_xml_text, but a name longer than `limit` bytes is cut in the
/// middle: "..." stands between its start and its end, and the end keeps the
/// file name (from the last '/' or '\\' on) where that leaves room for a
/// start.
std::size_t escape_xml_name(const char* name, std::size_t limit, char* out);

enum class Face { kPlain, kBold, kItalic };

/// A plot area in picture coordinates (y grows downward).
struct Frame {
    double left;
    double top;
    double right;
    double bottom;
};

/// One document being written: its output file and the element whose points
/// are being given (between an svg_..._open and its close), with the frame
/// it is clipped to and its last point.
struct Svg {
    explicit Svg(OutFile& file) : out(&file) {}
    OutFile* out;
    int shape = 0;
    const char* colour = nullptr;
    double width = 1.0;
    int points = 0;
    const Frame* clip = nullptr;
    bool has_last = false;
    double last_x = 0.0;
    double last_y = 0.0;
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
/// A coordinate, with one decimal.
void svg_put_coord(Svg& svg, double v);
/// An attribute ` name="value"`.
void svg_attr(Svg& svg, const char* name, double v);
void svg_attr(Svg& svg, const char* name, const char* v);
/// A value with `decimals` decimals (trailing zeros dropped where `trim`)
/// where that takes at most 12 characters and shows a value that is not
/// zero as such; otherwise with an exponent and four significant digits.
void svg_put_value(Svg& svg, double value, int decimals, bool trim = false);
/// A value with up to three decimals, trailing zeros dropped: 80, 12.5.
void svg_put_short(Svg& svg, double value);
/// Two values that stand side by side ("stage 10.0 to 80.0"), `between`
/// written between them: as svg_put_value, with as many more decimals or
/// significant digits as it takes to tell them apart.
void svg_put_pair(Svg& svg, double a, const char* between, double b, int decimals,
                  bool trim = false);
/// The text svg_put_pair writes, NUL-terminated in `out` (`between` of at
/// most 15 characters); returns its length.
constexpr std::size_t kPairTextMax = 64;
std::size_t pair_text(double a, const char* between, double b, int decimals, bool trim,
                      char (&out)[kPairTextMax]);
/// A pair as svg_put_pair writes it with `unit` (escaped, or null) after each
/// value, e.g. "max -7.00 mm, rms 2.08 mm", into `out`; returns its length.
/// Longest unit shown after a value or in an axis title, in bytes.
constexpr std::size_t kMaxUnitShown = 24;
constexpr std::size_t kPairWithUnitMax = kPairTextMax + 2 * (escaped_size(kMaxUnitShown) + 1);
std::size_t pair_with_unit(double a, const char* between, double b, int decimals, bool trim,
                           const char* unit, char (&out)[kPairWithUnitMax]);
/// Up to `limit` bytes of outside text (comments), escaped.
void svg_put_escaped(Svg& svg, const char* text, std::size_t limit);
/// The `size` bytes of a piece of a longer text (a wrapped line), escaped.
void svg_put_piece(Svg& svg, const char* text, std::size_t size);
/// A name of a file, escaped, cut in the middle beyond `limit` bytes.
void svg_put_name(Svg& svg, const char* name, std::size_t limit);

void svg_text_open(Svg& svg, double x, double y, int size, Face face, const char* anchor,
                   const char* fill);
void svg_text_close(Svg& svg);
/// A panel heading at the plot's left edge.
void svg_heading(Svg& svg, double y, const char* text);
void svg_rect(Svg& svg, double x, double y, double w, double h, const char* fill,
              const char* stroke);
/// The titles of a plot's axes, each with a unit shown after it, or null.
struct AxisTitles {
    const char* x;
    const char* y;
    const char* x_unit = nullptr;
    const char* y_unit = nullptr;
};
/// The frame, grid, tick labels and axis titles of a plot; an axis whose
/// labels are offsets names their base in its title.
void svg_axes(Svg& svg, const Frame& f, const AxisTitles& titles, const Axis& x, const Axis& y);
/// A grey note in the middle of a plot area.
void svg_centred_note(Svg& svg, const Frame& f, const char* text);

/// One polyline through the points given until svg_polyline_close; nothing
/// is written for no point. With a `clip` frame only the parts inside it are
/// drawn (a line that leaves the frame and comes back is drawn in pieces).
void svg_polyline_open(Svg& svg, const char* colour, double width, const Frame* clip = nullptr);
void svg_point(Svg& svg, double x, double y);
void svg_polyline_close(Svg& svg);
/// One path of markers, each given by its centre, until svg_path_close; with
/// a `clip` frame a marker whose centre lies outside it is left out.
void svg_dots_open(Svg& svg, const char* colour, double size, const Frame* clip = nullptr);
void svg_dot(Svg& svg, double x, double y);
void svg_squares_open(Svg& svg, const char* colour, const Frame* clip = nullptr);
void svg_square(Svg& svg, double x, double y);
void svg_crosses_open(Svg& svg, const char* colour, const Frame* clip = nullptr);
void svg_cross(Svg& svg, double x, double y);
void svg_path_close(Svg& svg);

/// Rough advance of one character of the legend's 15-pixel text, with which
/// the legend lays its entries out.
constexpr double kLegendCharWidth = 8.4;
/// From one row of legend entries to the next.
constexpr double kLegendRowStep = 20;

/// Legend entries laid out from the plot's left edge; an entry that would
/// pass the plot's right edge starts another row below.
class Legend {
  public:
    Legend(Svg& svg, double y) : svg_(svg), x_(style::kPlotLeft), y_(y) {}
    void line(const char* colour, const char* text);
    void line_and_dots(const char* colour, const char* text);
    void dots(const char* colour, const char* text);
    void squares(const char* colour, const char* text);
    void crosses(const char* colour, const char* text);
    void swatch(const char* fill, const char* text);
    /// Starts a text ending at the plot's right edge, on the last row where
    /// `characters` of it fit after the entries and on a row of its own
    /// otherwise; the caller writes it and closes it.
    void right_text_open(std::size_t characters);
    /// The middle of the last row.
    double last_row() const { return y_; }
    Svg& svg() { return svg_; }

  private:
    void place(const char* text);
    void label(const char* text);
    Svg& svg_;
    double x_;
    double y_;
};

/// The characters `text` shows in a picture, a character reference counted
/// as one; for estimating its width.
std::size_t shown_characters(const char* text, std::size_t size);

}  // namespace vextal

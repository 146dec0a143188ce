// Command-line switches as the option pages compose them: "/" and a letter,
// with the value (if any) right after it, joined without separators in the
// order they are added.
#pragma once

#include <QString>

namespace vidzoerw {

class SwitchLine {
 public:
  // "/x" when `on`.
  SwitchLine& Flag(char letter, bool on);
  // "/x" and the trimmed text when `on` and the trimmed text is not empty.
  SwitchLine& Value(char letter, const QString& text, bool on = true);
  // "/x" and the index when the index is above 0.
  SwitchLine& Index(char letter, int index);
  // "/x" and `value` when the index is above 0 (a value derived from a list
  // index, such as the bits 8 or 16 of the index 1 or 2).
  SwitchLine& Derived(char letter, int index, const QString& value);
  // Text added as it is (a blank after a switch, or another switch's text).
  SwitchLine& Raw(const QString& text);
  QString Text() const { return text_; }
  bool Empty() const { return text_.isEmpty(); }

 private:
  QString text_;
};

// The compression types of the regular and key frames, in list order.
enum CompressType {
  kCompressRate = 0,      // "to a specific data rate."
  kCompressAverage = 1,   // "as a % of the average frame."
  kCompressSize = 2,      // "as a % of its size."
  kCompressError = 3,     // "under a total error %."
  kCompressLossless = 4,  // "losslessly."
};
inline constexpr int kCompressTypeCount = 5;

// The value of "/N" or "/K" for a compression type and its field (cut at
// its first non-digit): the rate as typed, "-p", "-(p+400)", the error % as
// typed, "0" for lossless; "" (no switch) when there is no number.
QString CompressTypeValue(int type, const QString& field);

// The leading digits of a text ("80 %" gives "80").
QString LeadingDigits(const QString& text);

// A file name as a command line holds it: relative to `directory` when the
// file lies in it (or below it), in double quotes when it holds a blank.
QString CommandName(const QString& file, const QString& directory);

// `name` in double quotes when it holds a blank.
QString QuoteName(const QString& name);

}  // namespace vidzoerw

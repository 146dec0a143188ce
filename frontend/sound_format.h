// The sound groups shared by the Sound Processor and Mixer pages: the
// output format (rate, bits, channels) and the kind of the input (a wave
// or other file that says what it holds, or headerless data of a forced
// format with its rate and the bytes to skip).
#pragma once

#include <QGroupBox>
#include <QString>

class QComboBox;

namespace vidzoerw {

class NumberField;
class SwitchLine;

// The output rate list (named "rate"): "Copy the input playback rate.",
// 11025, 22050, 44100, or a number typed in.
QComboBox* MakeRateList(QWidget* parent);
// The rate sent: "" for the input's, else the number of the list entry or
// the digits typed.
QString RateListValue(const QComboBox* rate);
// The rate as the settings file keeps it: the list index, or the number
// typed when it is no entry of the list.
QString RateListSetting(const QComboBox* rate);
void SetRateListSetting(QComboBox* rate, const QString& value);
// "/R", "/B" (8 or 16), "/C" (1 or 2) of an output format's three lists.
void AddSoundFormatSwitches(SwitchLine& line, const QComboBox* rate, const QComboBox* bits,
                            const QComboBox* channels);

class SoundFormatBox : public QGroupBox {
  Q_OBJECT

 public:
  explicit SoundFormatBox(QWidget* parent = nullptr);
  // "Copy the input playback rate.", 11025, 22050, 44100 or a typed number.
  QComboBox* Rate() const { return rate_; }
  // "Copy the input bits.", "8 bit.", "16 bit.".
  QComboBox* Bits() const { return bits_; }
  // "Copy the input channels.", "Mono.", "Stereo.".
  QComboBox* Channels() const { return channels_; }

  QString RateValue() const { return RateListValue(rate_); }
  QString RateSetting() const { return RateListSetting(rate_); }
  void SetRateSetting(const QString& value) { SetRateListSetting(rate_, value); }
  void AddSwitches(SwitchLine& line) const { AddSoundFormatSwitches(line, rate_, bits_, channels_); }

 private:
  QComboBox* rate_;
  QComboBox* bits_;
  QComboBox* channels_;
};

class InputTypeBox : public QGroupBox {
  Q_OBJECT

 public:
  // `non_sound`: the list also offers "Input file contains non-sound
  // data." (the mixer's).
  explicit InputTypeBox(bool non_sound, QWidget* parent = nullptr);
  QComboBox* Type() const { return type_; }
  // The rate and the bytes to skip of a forced input type (enabled only
  // while one is chosen).
  NumberField* ForcedRate() const { return rate_; }
  NumberField* Skip() const { return skip_; }
  // "/Y" the index, and while an input type is forced "/D" and "/K".
  void AddSwitches(SwitchLine& line) const;

 private:
  void Enable();
  QComboBox* type_;
  NumberField* rate_;
  NumberField* skip_;
};

// The drop-down lists under `page` take the width they are given rather
// than that of their longest entry (shown whole when the list opens), so
// that the page fits a small window.
void CompactLists(QWidget* page);

}  // namespace vidzoerw

// The Mixer page (Tmixform): puts a sound into a track of a Vidzoer file
// with vidzomix ("VidzoMix "): the .vdz file from the page's browser, the
// sound file from a second browser, the track, the lossy level and the
// sound's format, part and kind.
#pragma once

#include "frontend/form_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QTabWidget;

namespace vidzoerw {

class InputTypeBox;
class SoundFormatBox;

class Tmixform : public Tformpage {
  Q_OBJECT

 public:
  explicit Tmixform(FormHost& host, QWidget* parent = nullptr);

  FileBrowser* SoundBrowser() const { return sounds_; }
  // The sound file's name: filled from the sound browser, or typed (a name
  // in double quotes is taken in the sound folder).
  QLineEdit* SoundName() const { return sound_name_; }
  QSlider* Lossy() const { return lossy_; }
  QComboBox* Track() const { return track_; }
  CheckField* FrameRate() const { return rate_; }
  CheckField* Start() const { return start_; }
  QCheckBox* Loop() const { return loop_; }
  QCheckBox* Overwrite() const { return overwrite_; }
  SoundFormatBox* Format() const { return format_; }
  CheckField* InputTrack() const { return input_track_; }
  CheckField* InputStart() const { return input_start_; }
  CheckField* InputEnd() const { return input_end_; }
  InputTypeBox* Input() const { return input_; }
  QTabWidget* Tabs() const { return tabs_; }

  QString Switches() const;
  // The sound file as the command names it (relative to the browsed folder
  // when it lies in it); "" when none is chosen.
  QString SoundFile() const;

  void LoadSettings(const IniFile& ini) override;
  void SaveSettings(IniFile& ini) const override;
  void ResetDefaults() override;
  QString ComposeCommand() override;

 private:
  FileBrowser* sounds_;
  QLineEdit* sound_name_;
  QSlider* lossy_;
  QLabel* lossy_value_;
  QComboBox* track_;
  CheckField* rate_;
  CheckField* start_;
  QCheckBox* loop_;
  QCheckBox* overwrite_;
  SoundFormatBox* format_;
  CheckField* input_track_;
  CheckField* input_start_;
  CheckField* input_end_;
  InputTypeBox* input_;
  QTabWidget* tabs_;
};

}  // namespace vidzoerw

// The Sound Processor page (Ttowavform): converts sound to a wave file with
// vorured ("VorurEd "): the output format, the track, the times and the
// kind of the input.
#pragma once

#include "frontend/form_page.h"

class QCheckBox;
class QTabWidget;

namespace vidzoerw {

class InputTypeBox;
class SoundFormatBox;

class Ttowavform : public Tformpage {
  Q_OBJECT

 public:
  explicit Ttowavform(FormHost& host, QWidget* parent = nullptr);

  QCheckBox* Overwrite() const { return overwrite_; }
  SoundFormatBox* Format() const { return format_; }
  CheckField* Track() const { return track_; }
  CheckField* Start() const { return start_; }
  CheckField* End() const { return end_; }
  InputTypeBox* Input() const { return input_; }
  QTabWidget* Tabs() const { return tabs_; }

  QString Switches() const;

 protected:
  QString CommandFor(const FormInput& input) override;

 private:
  QCheckBox* overwrite_;
  SoundFormatBox* format_;
  CheckField* track_;
  CheckField* start_;
  CheckField* end_;
  InputTypeBox* input_;
  QTabWidget* tabs_;
};

}  // namespace vidzoerw

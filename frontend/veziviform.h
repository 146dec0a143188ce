// The Graphics Processor page (Tveziviform): converts pictures and
// animations with vizodov ("VizodOv "), choosing the frames, the crop, the
// palette and the output type.
#pragma once

#include "frontend/form_page.h"

class QActionGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QTabWidget;
class QToolButton;

namespace vidzoerw {

class Tveziviform : public Tformpage {
  Q_OBJECT

 public:
  explicit Tveziviform(FormHost& host, QWidget* parent = nullptr);

  // The palette menu's entries.
  enum PaletteType { kPaletteFromFile = 0, kTrueColour = 1 };

  // Controls, for the tests and the help page's names.
  QToolButton* TypeButton() const { return type_button_; }
  QActionGroup* Types() const { return types_; }
  int OutputType() const;
  void SetOutputType(int index);
  QComboBox* PaletteMenu() const { return palette_menu_; }
  QLineEdit* PaletteFile() const { return palette_file_; }
  CheckField* Colors() const { return colors_; }
  CheckField* FirstIndex() const { return first_index_; }
  CheckField* Every() const { return every_; }
  QComboBox* Halftone() const { return halftone_; }
  QComboBox* Control() const { return control_; }
  QComboBox* WindowsColors() const { return windows_; }
  QCheckBox* Overwrite() const { return overwrite_; }
  CheckField* FrameRate() const { return rate_; }
  CheckField* Start() const { return start_; }
  CheckField* End() const { return end_; }
  CheckField* X() const { return x_; }
  CheckField* Y() const { return y_; }
  CheckField* W() const { return w_; }
  CheckField* H() const { return h_; }
  QTabWidget* Tabs() const { return tabs_; }

  // The switches as the options give them.
  QString Switches() const;

 protected:
  QString CommandFor(const FormInput& input) override;

 private:
  void EnablePalette();
  QToolButton* type_button_;
  QActionGroup* types_;
  QTabWidget* tabs_;
  QComboBox* palette_menu_;
  QLineEdit* palette_file_;
  QGroupBox* palette_box_;
  CheckField* colors_;
  CheckField* first_index_;
  CheckField* every_;
  QComboBox* halftone_;
  QComboBox* control_;
  QComboBox* windows_;
  QCheckBox* overwrite_;
  CheckField* rate_;
  CheckField* start_;
  CheckField* end_;
  CheckField *x_, *y_, *w_, *h_;
};

}  // namespace vidzoerw

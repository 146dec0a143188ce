// The compression page "Vidzo" (Tvidzoform): the compressor's options, its
// input (a file, a numbered sequence or a list) and its output, composed
// into the compressor's command line.
#pragma once

#include <QStringList>

#include "frontend/form_page.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QSlider;
class QTabWidget;

namespace vidzoerw {

class Tvidzoform : public Tformpage {
  Q_OBJECT

 public:
  explicit Tvidzoform(FormHost& host, QWidget* parent = nullptr);
  ~Tvidzoform() override;

  void LoadSettings(const IniFile& ini) override;
  void SaveSettings(IniFile& ini) const override;
  void ResetDefaults() override;

  // The folder of the expert memo's temporary files (default the system's).
  void SetTempFolder(const QString& folder) { temp_folder_ = folder; }
  // The temporary files written so far (removed when the page goes).
  const QStringList& TempFiles() const { return temp_files_; }

  // The controls, as tests and the help describe them.
  QComboBox* RegularType() const { return regular_type_; }
  NumberField* RegularValue() const { return regular_value_; }
  QComboBox* KeyType() const { return key_type_; }
  NumberField* KeyValue() const { return key_value_; }
  NumberField* AutoKey() const { return auto_key_; }
  CheckField* KeyEvery() const { return key_every_; }
  QComboBox* HeightCompression() const { return height_; }
  QAction* MixOriginal() const { return mix_; }
  QAction* SkipEveryOther() const { return every_other_; }
  QAction* CreateRing() const { return ring_; }
  QAction* Overwrite() const { return overwrite_; }
  QMenuBar* Menu() const { return menu_; }
  CheckField* Frame(char letter) const;  // 'S', 'E', 'F', 'X', 'Y', 'W', 'H'
  QCheckBox* NoSound() const { return no_sound_; }
  QSlider* Lossy() const { return lossy_; }
  QComboBox* Rate() const { return rate_; }
  QComboBox* Bits() const { return bits_; }
  QComboBox* Channels() const { return channels_; }
  CheckField* PaletteColors() const { return palette_colors_; }
  CheckField* PaletteStart() const { return palette_start_; }
  CheckField* PaletteEvery() const { return palette_every_; }
  QComboBox* Halftone() const { return halftone_; }
  QComboBox* PaletteControl() const { return palette_control_; }
  QComboBox* WindowsColors() const { return windows_colors_; }
  QLineEdit* PaletteFile() const { return palette_file_; }
  QPlainTextEdit* Memo() const { return memo_; }
  QTabWidget* Pages() const { return pages_; }
  int OutputType() const;
  void SetOutputType(int index);
  QAction* OutputTypeItem(int index) const { return types_.at(index); }

  // The switches of the options, in the compressor's order, without "/@".
  QString Switches() const;

 protected:
  QString CommandFor(const FormInput& input) override;

 private:
  // The value fields show the stored value of the chosen type.
  void ShowValue(bool key);
  void StoreValue(bool key);
  void SoundChanged();
  // The expert memo in a temporary file; "" when it is empty or cannot be
  // written.
  QString WriteMemo();

  QTabWidget* pages_ = nullptr;
  QMenuBar* menu_ = nullptr;
  QComboBox* regular_type_ = nullptr;
  NumberField* regular_value_ = nullptr;
  QComboBox* key_type_ = nullptr;
  NumberField* key_value_ = nullptr;
  QStringList regular_values_, key_values_;  // one per compression type
  int regular_shown_ = -1, key_shown_ = -1;
  NumberField* auto_key_ = nullptr;
  CheckField* key_every_ = nullptr;
  QComboBox* height_ = nullptr;
  QAction* mix_ = nullptr;
  QAction* every_other_ = nullptr;
  QAction* ring_ = nullptr;
  QAction* overwrite_ = nullptr;
  std::vector<std::pair<char, CheckField*>> frames_;
  QCheckBox* no_sound_ = nullptr;
  QSlider* lossy_ = nullptr;
  QLabel* lossy_label_ = nullptr;
  QComboBox* rate_ = nullptr;
  QComboBox* bits_ = nullptr;
  QComboBox* channels_ = nullptr;
  CheckField* palette_colors_ = nullptr;
  CheckField* palette_start_ = nullptr;
  CheckField* palette_every_ = nullptr;
  QComboBox* halftone_ = nullptr;
  QComboBox* palette_control_ = nullptr;
  QComboBox* windows_colors_ = nullptr;
  QLineEdit* palette_file_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  std::vector<QAction*> types_;
  QString temp_folder_;
  QStringList temp_files_;
};

}  // namespace vidzoerw

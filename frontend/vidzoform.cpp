#include "frontend/vidzoform.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include "frontend/sound_format.h"
#include "frontend/switches.h"

namespace vidzoerw {
namespace {

constexpr const char* kSection = "Vidzo";
constexpr const char* kMemoSection = "VidzoFrameSpecific";

const QStringList kFilters = {
    "Graphics files (*.flc *.fli *.vdz *.avi *.bmp *.gif *.tif *.tiff *.pcx *.tga *.jpg *.jpeg *.png *.raw "
    "*.lst)",
    "Vidzoer files (*.vdz)",
    "Flic files (*.flc *.fli)",
    "AVI files (*.avi)",
    "List files (*.lst)",
    "Pictures (*.bmp *.gif *.tif *.tiff *.pcx *.tga *.jpg *.jpeg *.png)",
    "All files (*)"};

const QStringList kTypes = {"to a specific data rate.", "as a % of the average frame.", "as a % of its size.",
                            "under a total error %.", "losslessly."};
// The keys of each type's stored value, and their defaults.
const char* const kRegularKeys[] = {"NormalRate", "NormalFilePerc", "NormalFramePerc", "NormalErrorPerc"};
const char* const kKeyKeys[] = {"KeyRate", "KeyFilePerc", "KeyFramePerc", "KeyErrorPerc"};
const char* const kRegularDefaults[] = {"240000", "80", "80", "30"};
const char* const kKeyDefaults[] = {"300000", "90", "90", "20"};

const QStringList kTypeNames = {"&Vidzoer file (.vdz)",  "&Flic (.flc)",        "&AVI (.avi)",
                                "&Bitmap series (.bmp)", "&JPEG series (.jpg)", "&Targa series (.tga)",
                                "T&IFF series (.tif)",   "&PCX series (.pcx)",  "&GIF series (.gif)"};

// A tab's page that scrolls when the window is small.
QWidget* Scrolled(QWidget* page) {
  auto* area = new QScrollArea;
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area->setWidget(page);
  return area;
}

QComboBox* List(QWidget* parent, const QStringList& items, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  return list;
}

}  // namespace

Tvidzoform::Tvidzoform(FormHost& host, QWidget* parent)
    : Tformpage(host, kSection, kFilters, "&Compress", parent) {
  setObjectName("Tvidzoform");
  temp_folder_ = QDir::tempPath();

  menu_ = new QMenuBar(this);
  menu_->setNativeMenuBar(false);
  QMenu* options = menu_->addMenu("&Options");
  const auto item = [options](const char* text) {
    QAction* a = options->addAction(text);
    a->setCheckable(true);
    return a;
  };
  mix_ = item("Mix original into output?");
  every_other_ = item("Skip every other?");
  ring_ = item("Create ring?");
  options->addSeparator();
  overwrite_ = item("Overwrite without asking?");
  QMenu* type_menu = menu_->addMenu("&Type");
  auto* type_group = new QActionGroup(this);
  for (const QString& name : kTypeNames) {
    QAction* a = type_menu->addAction(name);
    a->setCheckable(true);
    type_group->addAction(a);
    types_.push_back(a);
  }
  Options()->addWidget(menu_);

  auto* output_row = new QHBoxLayout;
  output_row->addWidget(new QLabel("Output file:", this));
  QLineEdit* output = MakeOutputField(this);
  output->setPlaceholderText("(named after the input)");
  output_row->addWidget(output, 1);
  Options()->addLayout(output_row);

  pages_ = new QTabWidget(this);
  pages_->setObjectName("vidzotabs");
  Options()->addWidget(pages_, 1);

  // Compression
  auto* compression = new QWidget(pages_);
  auto* c_layout = new QVBoxLayout(compression);
  const auto type_group_box = [&](const char* title, QComboBox*& type, NumberField*& value,
                                  const char* name) {
    auto* group = new QGroupBox(title, compression);
    auto* row = new QHBoxLayout(group);
    type = List(group, kTypes, name);
    value = new NumberField(8, QString(), false, group);
    value->setObjectName(QString(name) + "value");
    row->addWidget(type, 1);
    row->addWidget(value);
    c_layout->addWidget(group);
  };
  type_group_box("Regular frames", regular_type_, regular_value_, "regulartype");
  type_group_box("Key frames", key_type_, key_value_, "keytype");
  auto* keys = new QGroupBox("Key frames are made", compression);
  auto* k_layout = new QGridLayout(keys);
  auto_key_ = new NumberField(4, QString(), false, keys);
  auto_key_->setObjectName("autokey");
  k_layout->addWidget(new QLabel("Auto-key frame at what % change:", keys), 0, 0);
  k_layout->addWidget(auto_key_, 0, 1, Qt::AlignLeft);
  key_every_ = new CheckField("Use a key frame at least every:", 6, keys);
  k_layout->addWidget(key_every_, 1, 0, 1, 2);
  c_layout->addWidget(keys);
  auto* height_row = new QHBoxLayout;
  height_ = List(compression, {"None.", "Interlace.", "Double."}, "heightcompression");
  height_row->addWidget(new QLabel("Height compression:", compression));
  height_row->addWidget(height_, 1);
  c_layout->addLayout(height_row);
  c_layout->addStretch(1);
  pages_->addTab(Scrolled(compression), "Compression");

  // Frames
  auto* frames = new QWidget(pages_);
  auto* f_layout = new QVBoxLayout(frames);
  auto* range = new QGroupBox("Frames", frames);
  auto* r_layout = new QVBoxLayout(range);
  auto* crop = new QGroupBox("Crop", frames);
  auto* x_layout = new QVBoxLayout(crop);
  const struct {
    char letter;
    const char* caption;
    bool sign;
    const char* flag;
    const char* number;
  } frame_fields[] = {{'S', "Starting frame:", false, "Start", "StartNum"},
                      {'E', "Ending frame:", false, "End", "EndNum"},
                      {'F', "Frame rate override:", true, "FrameRate", "FrameRateNum"},
                      {'X', "X Offset:", false, "X", "XNum"},
                      {'Y', "Y Offset:", false, "Y", "YNum"},
                      {'W', "Width:", false, "W", "WNum"},
                      {'H', "Height:", false, "H", "HNum"}};
  for (const auto& f : frame_fields) {
    const bool in_range = f.letter == 'S' || f.letter == 'E' || f.letter == 'F';
    auto* field = new CheckField(f.caption, 6, in_range ? range : crop, f.sign);
    (in_range ? r_layout : x_layout)->addWidget(field);
    frames_.emplace_back(f.letter, field);
    BindCheckField(f.flag, f.number, field);
  }
  f_layout->addWidget(range);
  f_layout->addWidget(crop);
  f_layout->addStretch(1);
  pages_->addTab(Scrolled(frames), "Frames");

  // Sound
  auto* sound = new QWidget(pages_);
  auto* s_layout = new QVBoxLayout(sound);
  auto* sound_group = new QGroupBox("Sound", sound);
  auto* sg = new QGridLayout(sound_group);
  no_sound_ = new QCheckBox("Don't process the sound in the input file.", sound_group);
  no_sound_->setObjectName("nosound");
  sg->addWidget(no_sound_, 0, 0, 1, 3);
  lossy_ = new QSlider(Qt::Horizontal, sound_group);
  lossy_->setObjectName("lossy");
  lossy_->setRange(0, 9);
  lossy_->setPageStep(1);
  lossy_->setTickPosition(QSlider::TicksBelow);
  lossy_->setTickInterval(1);
  lossy_label_ = new QLabel(sound_group);
  sg->addWidget(new QLabel("Lossy sound:", sound_group), 1, 0);
  sg->addWidget(lossy_, 1, 1);
  sg->addWidget(lossy_label_, 1, 2);
  rate_ = MakeRateList(sound_group);
  sg->addWidget(new QLabel("Output rate:", sound_group), 2, 0);
  sg->addWidget(rate_, 2, 1, 1, 2);
  bits_ = List(sound_group, {"Copy the input bits.", "8 bit.", "16 bit."}, "bits");
  sg->addWidget(new QLabel("Bits:", sound_group), 3, 0);
  sg->addWidget(bits_, 3, 1, 1, 2);
  channels_ = List(sound_group, {"Copy the input channels.", "Mono.", "Stereo."}, "channels");
  sg->addWidget(new QLabel("Channels:", sound_group), 4, 0);
  sg->addWidget(channels_, 4, 1, 1, 2);
  sg->setColumnStretch(1, 1);
  s_layout->addWidget(sound_group);
  s_layout->addStretch(1);
  pages_->addTab(Scrolled(sound), "Sound");

  // Palette
  auto* palette = new QWidget(pages_);
  auto* p_layout = new QVBoxLayout(palette);
  auto* palette_group = new QGroupBox("Palette", palette);
  auto* pg = new QGridLayout(palette_group);
  palette_colors_ = new CheckField("Total palette colors to use:", 3, palette_group);
  palette_start_ = new CheckField("Starting palette index to use:", 3, palette_group);
  palette_every_ = new CheckField("New palette at least every:", 6, palette_group);
  pg->addWidget(palette_colors_, 0, 0, 1, 2);
  pg->addWidget(palette_start_, 1, 0, 1, 2);
  halftone_ = List(palette_group, {"Default.", "Always.", "Never."}, "halftone");
  palette_control_ =
      List(palette_group, {"Use the input's.", "Create new.", "New when changes."}, "palettecontrol");
  windows_colors_ = List(palette_group, {"Default.", "Always.", "Never."}, "windowscolors");
  pg->addWidget(new QLabel("Halftone input:", palette_group), 2, 0);
  pg->addWidget(halftone_, 2, 1);
  pg->addWidget(new QLabel("Palette control:", palette_group), 3, 0);
  pg->addWidget(palette_control_, 3, 1);
  pg->addWidget(new QLabel("Windows system colors:", palette_group), 4, 0);
  pg->addWidget(windows_colors_, 4, 1);
  pg->addWidget(palette_every_, 5, 0, 1, 2);
  auto* file_row = new QHBoxLayout;
  palette_file_ = new QLineEdit(palette_group);
  palette_file_->setObjectName("palettefile");
  auto* browse = new QPushButton("&Browse...", palette_group);
  browse->setAutoDefault(false);
  file_row->addWidget(palette_file_, 1);
  file_row->addWidget(browse);
  pg->addWidget(new QLabel("Palette from:", palette_group), 6, 0);
  pg->addLayout(file_row, 6, 1);
  pg->setColumnStretch(1, 1);
  p_layout->addWidget(palette_group);
  p_layout->addStretch(1);
  pages_->addTab(Scrolled(palette), "Palette");
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Palette from:", Directory(), kFilters.join(";;"));
    if (!f.isEmpty()) palette_file_->setText(CommandName(f, Directory()).remove('"'));
  });

  // Expert
  auto* expert = new QWidget(pages_);
  auto* e_layout = new QVBoxLayout(expert);
  auto* memo_label = new QLabel(
      "Frame-specific settings, one a line: a frame number and the switches that hold from that frame on "
      "(/N, /K, /A, /J), for example \"120 /N0\".",
      expert);
  memo_label->setWordWrap(true);
  memo_ = new QPlainTextEdit(expert);
  memo_->setObjectName("memo");
  e_layout->addWidget(memo_label);
  e_layout->addWidget(memo_, 1);
  pages_->addTab(expert, "Expert");

  // The compression values: each type keeps its own.
  for (int t = 0; t < 4; ++t) {
    regular_values_ << kRegularDefaults[t];
    key_values_ << kKeyDefaults[t];
    BindValue(
        kRegularKeys[t],
        [this, t] { return regular_shown_ == t ? regular_value_->text() : regular_values_[t]; },
        [this, t](const QString& v) {
          regular_values_[t] = v;
          if (regular_shown_ == t) regular_value_->setText(v);
        },
        kRegularDefaults[t]);
    BindValue(
        kKeyKeys[t], [this, t] { return key_shown_ == t ? key_value_->text() : key_values_[t]; },
        [this, t](const QString& v) {
          key_values_[t] = v;
          if (key_shown_ == t) key_value_->setText(v);
        },
        kKeyDefaults[t]);
  }
  connect(regular_type_, &QComboBox::currentIndexChanged, this, [this] { ShowValue(false); });
  connect(key_type_, &QComboBox::currentIndexChanged, this, [this] { ShowValue(true); });
  connect(regular_value_, &QLineEdit::textChanged, this, [this] { StoreValue(false); });
  connect(key_value_, &QLineEdit::textChanged, this, [this] { StoreValue(true); });
  BindIndex("RegularCompressType", regular_type_, 0);
  BindIndex("KeyCompressType", key_type_, 3);
  ShowValue(false);
  ShowValue(true);
  BindText("AutoKeyFrame", auto_key_, "95");
  BindCheckField("Keys", "KeyFramesNum", key_every_);
  BindIndex("YScale", height_, 0);
  BindFlag("Ring", ring_);
  BindFlag("EveryOther", every_other_);
  BindFlag("Overwrite", overwrite_);
  BindFlag("MixOriginal", mix_);
  BindFlag("NoSound", no_sound_);
  BindIndex("LossySound", lossy_, 0);
  BindValue(
      "Rate", [this] { return RateListSetting(rate_); },
      [this](const QString& v) { SetRateListSetting(rate_, v); }, "0");
  BindIndex("Quality", bits_, 0);
  BindIndex("Channels", channels_, 0);
  BindCheckField("PaletteColors", "PaletteColorsNum", palette_colors_);
  BindCheckField("PaletteStart", "PaletteStartNum", palette_start_);
  BindCheckField("PaletteEvery", "PaletteEveryNum", palette_every_);
  BindIndex("Halftone", halftone_, 0);
  BindIndex("PaletteControl", palette_control_, 0);
  BindIndex("WindowsColors", windows_colors_, 0);
  BindText("PaletteFile", palette_file_, "The input file.");
  BindValue(
      "OutputType", [this] { return QString::number(OutputType()); },
      [this](const QString& v) { SetOutputType(v.trimmed().toInt()); }, "0");
  BindIndex("CurrentTab", pages_);

  connect(no_sound_, &QCheckBox::toggled, this, [this] { SoundChanged(); });
  connect(lossy_, &QSlider::valueChanged, this, [this] { SoundChanged(); });
  SoundChanged();
}

Tvidzoform::~Tvidzoform() {
  for (const QString& f : temp_files_) QFile::remove(f);
}

CheckField* Tvidzoform::Frame(char letter) const {
  for (const auto& [l, field] : frames_)
    if (l == letter) return field;
  return nullptr;
}

int Tvidzoform::OutputType() const {
  for (size_t i = 0; i < types_.size(); ++i)
    if (types_[i]->isChecked()) return static_cast<int>(i);
  return 0;
}

void Tvidzoform::SetOutputType(int index) {
  if (index < 0 || index >= static_cast<int>(types_.size())) index = 0;
  types_[index]->setChecked(true);
}

void Tvidzoform::ShowValue(bool key) {
  QComboBox* type = key ? key_type_ : regular_type_;
  NumberField* field = key ? key_value_ : regular_value_;
  QStringList& values = key ? key_values_ : regular_values_;
  int& shown = key ? key_shown_ : regular_shown_;
  const int t = type->currentIndex();
  shown = -1;  // the field's text is not a type's while it changes
  field->setVisible(t >= 0 && t < 4);
  if (t >= 0 && t < 4) {
    field->SetMask(t == kCompressRate ? 8 : 3, t == kCompressRate ? QString() : QString(" %"));
    field->setText(values[t]);
    shown = t;
  }
}

void Tvidzoform::StoreValue(bool key) {
  const int shown = key ? key_shown_ : regular_shown_;
  if (shown >= 0) (key ? key_values_ : regular_values_)[shown] = (key ? key_value_ : regular_value_)->text();
}

void Tvidzoform::SoundChanged() {
  const bool on = !no_sound_->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{lossy_, rate_, bits_, channels_}) w->setEnabled(on);
  lossy_label_->setText(
      on ? (lossy_->value() == 0 ? QString("0 (lossless)") : QString::number(lossy_->value()))
         : QString("off"));
}

QString Tvidzoform::Switches() const {
  SwitchLine s;
  s.Value('N', CompressTypeValue(regular_type_->currentIndex(), regular_value_->text()))
      .Value('K', CompressTypeValue(key_type_->currentIndex(), key_value_->text()))
      .Value('A', LeadingDigits(auto_key_->text()))
      .Value('J', key_every_->Text(), key_every_->On())
      .Index('Z', height_->currentIndex())
      .Flag('M', mix_->isChecked())
      .Flag('V', every_other_->isChecked())
      .Flag('G', ring_->isChecked());
  for (const char letter : {'S', 'E', 'F', 'X', 'Y', 'W', 'H'}) {
    const CheckField* f = Frame(letter);
    s.Value(letter, f->Text(), f->On());
  }
  const bool sound = !no_sound_->isChecked();
  s.Value('L', sound ? QString::number(lossy_->value()) : QString("-1")).Raw(" ");
  if (sound) AddSoundFormatSwitches(s, rate_, bits_, channels_);
  s.Value('Q', palette_colors_->Text(), palette_colors_->On())
      .Value('I', palette_start_->Text(), palette_start_->On())
      .Index('T', halftone_->currentIndex())
      .Index('P', palette_control_->currentIndex())
      .Index('D', windows_colors_->currentIndex())
      .Value('U', palette_every_->Text(), palette_every_->On());
  const QString palette = palette_file_->text().trimmed();
  s.Value('&', QuoteName(palette), !palette.contains("input file", Qt::CaseInsensitive));
  s.Flag('O', overwrite_->isChecked());
  return s.Text();
}

QString Tvidzoform::WriteMemo() {
  const QString text = memo_->toPlainText();
  if (text.trimmed().isEmpty()) return QString();
  QTemporaryFile file(QDir(temp_folder_).filePath("vidzoXXXXXX.txt"));
  file.setAutoRemove(false);
  if (!file.open()) return QString();
  QString body = text;
  body.replace("\r\n", "\n").replace("\n", "\r\n");
  if (!body.endsWith("\r\n")) body += "\r\n";
  const QByteArray bytes = body.toLocal8Bit();
  if (file.write(bytes) != bytes.size() || !file.flush()) {
    file.remove();
    return QString();
  }
  temp_files_ << file.fileName();
  return file.fileName();
}

QString Tvidzoform::CommandFor(const FormInput& input) {
  const int type = OutputType();
  const QString output = OutputFor(input, OutputTypeExtensions()[type], OutputTypeIsSeries(type));
  QString command = "VidzoC " + CommandName(input.name, Directory()) + " " +
                    CommandName(output, Directory()) + " " + Switches();
  const QString memo = WriteMemo();
  if (!memo.isEmpty()) command += "/@*" + QuoteName(memo);
  // A one-by-one batch names its files in the batch, not as recent files.
  SetCommandFiles(input.batch ? QStringList()
                              : QStringList{input.sequence ? Browser()->Current() : input.name, output});
  return command;
}

void Tvidzoform::LoadSettings(const IniFile& ini) {
  Tformpage::LoadSettings(ini);
  QStringList lines;
  for (int i = 0; i < 100000; ++i) {
    const auto line = ini.Value(kMemoSection, "Frame" + std::to_string(i));
    if (!line) break;
    lines << QString::fromStdString(*line);
  }
  memo_->setPlainText(lines.join('\n'));
}

void Tvidzoform::SaveSettings(IniFile& ini) const {
  Tformpage::SaveSettings(ini);
  ini.EraseSection(kMemoSection);
  QStringList lines = memo_->toPlainText().split('\n');
  while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
  for (qsizetype i = 0; i < lines.size(); ++i)
    ini.Set(kMemoSection, "Frame" + std::to_string(i), lines[i].toStdString());
}

void Tvidzoform::ResetDefaults() {
  Tformpage::ResetDefaults();
  memo_->clear();
}

}  // namespace vidzoerw

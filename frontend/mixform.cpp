#include "frontend/mixform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "frontend/sound_format.h"
#include "frontend/switches.h"

namespace vidzoerw {

namespace {

const QStringList kVidzoFilters = {"Vidzoer files (*.vdz)", "All files (*)"};
const QStringList kSoundFilters = {"Sound (*.wav *.vdz *.avi *.lst *.raw *.pcm)",
                                   "Wave files (*.wav)",
                                   "Vidzoer files (*.vdz)",
                                   "AVI files (*.avi)",
                                   "List files (*.lst)",
                                   "All files (*)"};
const char kSection[] = "VidzoMix";

}  // namespace

Tmixform::Tmixform(FormHost& host, QWidget* parent)
    : Tformpage(host, kSection, kVidzoFilters, "&Mix", parent) {
  setObjectName("Tmixform");
  SetBrowserKeys("VidzoFilename", "VidzoDirectory", "VidzoFilter");
  auto* top = new QFormLayout;
  QLineEdit* output = MakeOutputField(this);
  output->setPlaceholderText("derived from the Vidzoer file");
  sound_name_ = new QLineEdit(this);
  sound_name_->setObjectName("soundname");
  sound_name_->setPlaceholderText("highlight it on the Sound file tab");
  top->addRow("Sound file:", sound_name_);
  top->addRow("Output:", output);
  Options()->addLayout(top);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("tabs");
  Options()->addWidget(tabs_, 1);

  // The sound file's browser.
  sounds_ = new FileBrowser(kSoundFilters, tabs_);
  sounds_->setObjectName("sounds");
  tabs_->addTab(sounds_, "&Sound file");
  connect(sounds_, &FileBrowser::SelectionChanged, this, [this] {
    const QString file = sounds_->Current();
    if (!file.isEmpty()) sound_name_->setText(QuoteName(QFileInfo(file).fileName()));
  });

  // How the sound goes into the Vidzoer file.
  auto* mix_page = new QWidget(tabs_);
  auto* mix_layout = new QVBoxLayout(mix_page);
  auto* mix_form = new QFormLayout;
  track_ = new QComboBox(mix_page);
  track_->setObjectName("track");
  for (int t = 1; t <= 7; ++t) track_->addItem(QString("Track %1").arg(t));
  mix_form->addRow("Destination track:", track_);
  auto* lossy_row = new QHBoxLayout;
  lossy_ = new QSlider(Qt::Horizontal, mix_page);
  lossy_->setObjectName("lossy");
  lossy_->setRange(0, 9);
  lossy_->setPageStep(1);
  lossy_->setTickPosition(QSlider::TicksBelow);
  lossy_value_ = new QLabel(mix_page);
  lossy_value_->setMinimumWidth(lossy_value_->fontMetrics().horizontalAdvance("Lossless") + 4);
  lossy_row->addWidget(lossy_, 1);
  lossy_row->addWidget(lossy_value_);
  mix_form->addRow("Lossy sound level:", lossy_row);
  connect(lossy_, &QSlider::valueChanged, this,
          [this](int v) { lossy_value_->setText(v == 0 ? QString("Lossless") : QString::number(v)); });
  lossy_value_->setText("Lossless");
  mix_layout->addLayout(mix_form);
  rate_ = new CheckField("Frame rate override:", 8, mix_page, true);
  start_ = new CheckField("Begin mixing at frame:", 8, mix_page);
  loop_ = new QCheckBox("Loop the sound to the end of the video", mix_page);
  loop_->setObjectName("loop");
  overwrite_ = new QCheckBox("Overwrite without asking?", mix_page);
  overwrite_->setObjectName("overwrite");
  mix_layout->addWidget(rate_);
  mix_layout->addWidget(start_);
  mix_layout->addWidget(loop_);
  mix_layout->addWidget(overwrite_);
  format_ = new SoundFormatBox(mix_page);
  mix_layout->addWidget(format_);
  mix_layout->addStretch(1);
  tabs_->addTab(mix_page, "Mi&xing");

  // Which part of the sound file, and what it holds.
  auto* input_page = new QWidget(tabs_);
  auto* input_layout = new QVBoxLayout(input_page);
  auto* part = new QGroupBox("Part of the sound file", input_page);
  auto* part_layout = new QVBoxLayout(part);
  input_track_ = new CheckField("Input track:", 3, part);
  input_start_ = new CheckField("Start time (ms):", 8, part, true);
  input_end_ = new CheckField("End time (ms):", 8, part, true);
  for (CheckField* f : {input_track_, input_start_, input_end_}) part_layout->addWidget(f);
  input_ = new InputTypeBox(true, input_page);
  input_layout->addWidget(part);
  input_layout->addWidget(input_);
  input_layout->addStretch(1);
  tabs_->addTab(input_page, "Sound &input");

  BindIndex("Lossy", lossy_);
  // The track number (1 to 7) is kept, so track 1 is the default.
  BindValue(
      "Track", [this] { return QString::number(track_->currentIndex() + 1); },
      [this](const QString& t) {
        const int n = t.trimmed().toInt();
        track_->setCurrentIndex(n >= 1 && n <= 7 ? n - 1 : 0);
      },
      "1");
  BindIndex("Format", input_->Type());
  BindCheckField("FrameRate", "FrameRateNum", rate_);
  BindCheckField("Start", "StartNum", start_);
  BindFlag("Loop", loop_);
  BindFlag("Overwrite", overwrite_);
  BindCheckField("InputStart", "InputStartNum", input_start_);
  BindCheckField("InputEnd", "InputEndNum", input_end_);
  BindCheckField("InputTrack", "InputTrackNum", input_track_);
  BindText("SkipIntoNum", input_->Skip());
  BindText("ForceRate", input_->ForcedRate());
  BindIndex("CurrentTab", tabs_);
  BindValue(
      "Rate", [this] { return format_->RateSetting(); },
      [this](const QString& t) { format_->SetRateSetting(t); }, "0");
  BindIndex("Quality", format_->Bits());
  BindIndex("Channels", format_->Channels());
  CompactLists(this);
}

void Tmixform::LoadSettings(const IniFile& ini) {
  Tformpage::LoadSettings(ini);
  const std::string section = kSection;
  if (sounds_->Filter() != nullptr) {
    const int f = ini.Int(section, "WaveFilter", 0);
    sounds_->Filter()->setCurrentIndex(f >= 0 && f < sounds_->Filter()->count() ? f : 0);
  }
  // Without a folder of its own the sound browser starts in the video's.
  const QString dir = QString::fromStdString(ini.String(section, "WaveDirectory"));
  if (dir.trimmed().isEmpty() || !sounds_->SetDirectory(dir)) sounds_->SetDirectory(Directory());
  const QString name = QString::fromStdString(ini.String(section, "WaveFilename"));
  QString plain = name.trimmed();
  if (plain.size() > 1 && plain.startsWith('"') && plain.endsWith('"'))
    plain = plain.mid(1, plain.size() - 2);
  if (!plain.isEmpty()) sounds_->Highlight({plain});
  sound_name_->setText(name);
}

void Tmixform::SaveSettings(IniFile& ini) const {
  Tformpage::SaveSettings(ini);
  const std::string section = kSection;
  ini.Set(section, "WaveDirectory", sounds_->Directory().toStdString());
  ini.Set(section, "WaveFilename", sound_name_->text().toStdString());
  ini.SetInt(section, "WaveFilter", sounds_->Filter() != nullptr ? sounds_->Filter()->currentIndex() : 0);
}

void Tmixform::ResetDefaults() {
  Tformpage::ResetDefaults();
  if (sounds_->Filter() != nullptr) sounds_->Filter()->setCurrentIndex(0);
}

QString Tmixform::Switches() const {
  SwitchLine line;
  line.Index('L', lossy_->value())
      .Derived('M', track_->currentIndex(), QString::number(track_->currentIndex() + 1))
      .Value('F', rate_->Text(), rate_->On())
      .Value('G', start_->Text(), start_->On())
      .Flag('P', loop_->isChecked())
      .Flag('O', overwrite_->isChecked());
  format_->AddSwitches(line);
  line.Value('T', input_track_->Text(), input_track_->On())
      .Value('S', input_start_->Text(), input_start_->On())
      .Value('E', input_end_->Text(), input_end_->On());
  input_->AddSwitches(line);
  return line.Text();
}

QString Tmixform::SoundFile() const {
  QString name = sound_name_->text().trimmed();
  if (name.size() > 1 && name.startsWith('"') && name.endsWith('"')) name = name.mid(1, name.size() - 2);
  if (name.isEmpty()) return QString();
  // A bare name is one of the sound folder's, wherever the command runs.
  if (QFileInfo(name).isRelative()) name = QDir(sounds_->Directory()).filePath(name);
  return CommandName(name, Directory());
}

QString Tmixform::ComposeCommand() {
  const QString vidzo = Browser()->Current();
  if (vidzo.isEmpty()) {
    Host().Tell("Error, no file is highlighted.");
    return QString();
  }
  const QString sound = SoundFile();
  if (sound.isEmpty()) {
    Host().Tell("Error, no sound file is chosen.");
    return QString();
  }
  const QString output = OutputFor({vidzo, false, false}, "vdz", false);
  SetCommandFiles({vidzo, output});
  return "VidzoMix " + CommandName(vidzo, Directory()) + " " + sound + " " +
         CommandName(output, Directory()) + " " + Switches();
}

}  // namespace vidzoerw

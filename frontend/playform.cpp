#include "frontend/playform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "frontend/switches.h"

namespace vidzoerw {

namespace {

constexpr int kAllTracks = 127;

// The keys of the check boxes and lists, found again by name.
QString FieldName(const QString& key) {
  return "field" + key;
}
QString BoxName(const QString& key) {
  return "box" + key;
}
QString ListName(const QString& key) {
  return "list" + key;
}

QWidget* Page(QTabWidget* pages, const QString& caption) {
  auto* page = new QWidget(pages);
  auto* layout = new QVBoxLayout(page);
  layout->setSpacing(3);
  pages->addTab(page, caption);
  return page;
}

// Ends a page: its fields line up, and what is left of its height stays
// empty below them.
void Finish(QWidget* page) {
  int width = 0;
  const auto fields = page->findChildren<CheckField*>(Qt::FindDirectChildrenOnly);
  for (CheckField* f : fields) width = std::max(width, f->Box()->sizeHint().width());
  for (CheckField* f : fields) f->Box()->setMinimumWidth(width);
  static_cast<QVBoxLayout*>(page->layout())->addStretch(1);
}

}  // namespace

// ---- Tplayform

Tplayform::Tplayform(FormHost& host, QWidget* parent)
    : Tformpage(host, "VidzoPlay", {"Vidzoer files (*.vdz)", "All files (*)"}, "&Play", parent) {
  setObjectName("Tplayform");
  pages_ = new QTabWidget(this);
  pages_->setObjectName("pages");

  QWidget* play = Page(pages_, "Playback");
  AddField(play, "Loop:", "Loop", "LoopNum", 5, false, "times (no number: for ever)");
  AddField(play, "Frame rate:", "FrameRate", "FrameRateNum", 5, true, "frames/s (no number: fastest)");
  auto* rate_note = new QLabel("A frame rate below 0 is milliseconds a frame.", play);
  rate_note->setWordWrap(true);
  play->layout()->addWidget(rate_note);
  AddBox(play, "Preload the entire animation before playing it", "Preload");
  AddBox(play, "Show the playback summary when finished", "ShowSummary");
  AddBox(play, "Never skip frames when falling behind", "NoFrameDrop");
  AddBox(play, "Don't pause the video when the focus is lost", "NoPause");
  AddList(play, "Disable the keys to:", "DisabledControls",
          {"None.", "Pause.", "Skip.", "Pause and skip.", "Quit.", "Pause and quit.", "Skip and quit.",
           "Pause, skip and quit."});
  Finish(play);

  QWidget* sound = Page(pages_, "Sound");
  auto* tracks = new QGroupBox("Sound tracks to play", sound);
  auto* track_row = new QHBoxLayout(tracks);
  for (int t = 0; t < 7; ++t) {
    tracks_[static_cast<size_t>(t)] = new QCheckBox(QString::number(t + 1), tracks);
    tracks_[static_cast<size_t>(t)]->setObjectName(BoxName("Track" + QString::number(t + 1)));
    track_row->addWidget(tracks_[static_cast<size_t>(t)]);
  }
  track_row->addStretch(1);
  sound->layout()->addWidget(tracks);
  BindValue(
      "Tracks", [this] { return QString::number(TrackMask()); },
      [this](const QString& t) {
        bool ok = false;
        const int mask = t.trimmed().toInt(&ok);
        SetTrackMask(ok ? mask : kAllTracks);
      },
      QString::number(kAllTracks));
  AddBox(sound, "Play the sound tracks only - no video", "SoundOnly");
  AddBox(sound, "Play the sound through the device-buffer output", "DirectSound");
  Finish(sound);

  QWidget* window = Page(pages_, "Window");
  auto* place = new QGroupBox("Place and size", window);
  auto* place_grid = new QGridLayout(place);
  const struct {
    const char* caption;
    const char* key;
    const char* unit;
  } sizes[] = {{"X position:", "X", "pixels (-1: centred)"},
               {"Y position:", "Y", "pixels (-1: centred)"},
               {"Stretch to width:", "W", "pixels (very slow)"},
               {"Stretch to height:", "H", "pixels (very slow)"}};
  int row = 0;
  for (const auto& s : sizes) {
    // Only the place may be negative (-1 centres the window).
    auto* f = new CheckField(s.caption, 5, place, s.key[0] == 'X' || s.key[0] == 'Y');
    f->setObjectName(FieldName(s.key));
    BindCheckField(s.key, QString(s.key) + "Num", f);
    place_grid->addWidget(f, row, 0);
    place_grid->addWidget(new QLabel(s.unit, place), row, 1);
    ++row;
  }
  place_grid->setColumnStretch(1, 1);
  window->layout()->addWidget(place);
  AddList(window, "Window style:", "Style",
          {"Normal.", "Thin border.", "Thin, no caption.", "No caption.", "Nothing."});
  AddBox(window, "Show the current frame number in the caption", "ShowFrames");
  AddBox(window, "Don't clear the buffer in between animations", "NoClear");
  Finish(window);

  QWidget* display = Page(pages_, "Display");
  AddList(display, "Video type:", "Use", {"Automatic.", "320x240.", "320x200.", "Standard.", "DIBSection."});
  AddBox(display, "No direct drawing (adds 384 to the video type)", "DirectDrawOff");
  AddList(display, "Display resolution:", "Display",
          {"Leave it as it is.", "640x400.", "640x480.", "800x600.", "1024x768."});
  AddList(display, "Height scaling:", "YScale",
          {"As the file says.", "Interlace.", "Double.", "Force none."});
  AddBox(display, "Double-buffer (slower, but reduces tearing)", "DoubleBuffer");
  AddBox(display, "Only show the differences between frames", "DeltasOnly");
  Finish(display);

  QWidget* more = Page(pages_, "Advanced");
  AddList(more, "Palette:", "NoRemap",
          {"Remap as needed.", "Remap to the system palette.", "Don't remap at all."});
  AddBox(more, "Don't use the processor's vector instructions", "MMXOff");
  AddField(more, "Simulate a read speed of:", "Simulate", "SimulateNum", 8, false, "bytes/s");
  AddField(more, "Extra memory for buffering:", "ExtraMem", "ExtraMemNum", 9, false, "bytes");
  AddBox(more, "Fill the extra memory buffer while opening", "LoadExtra");
  Finish(more);

  BindIndex("CurrentTab", pages_);
  Options()->addWidget(pages_, 1);

  auto* buttons = new QHBoxLayout;
  frame_rate_button_ = new QPushButton("Change &Frame Rate...", this);
  frame_rate_button_->setObjectName("framerate");
  frame_rate_button_->setToolTip(
      "Stores the \"Frame rate:\" number in the highlighted files for good (vidzofr).");
  self_play_button_ = new QPushButton("Self-Playing &Program...", this);
  self_play_button_->setObjectName("selfplay");
  buttons->addWidget(frame_rate_button_);
  buttons->addWidget(self_play_button_);
  buttons->addStretch(1);
  Options()->addLayout(buttons);
  // A file double-clicked (or Enter in the list) plays as "Play" plays it.
  connect(Browser()->Files(), &QListWidget::itemActivated, this, [this] { Run(); });
  connect(frame_rate_button_, &QPushButton::clicked, this, [this] { ChangeFrameRate(); });
  connect(self_play_button_, &QPushButton::clicked, this, [this] { OpenSelfPlay(); });
}

CheckField* Tplayform::AddField(QWidget* page, const QString& caption, const QString& flag_key,
                                const QString& number_key, int width, bool sign, const QString& unit) {
  auto* row = new QHBoxLayout;
  auto* f = new CheckField(caption, width, page, sign);
  f->setObjectName(FieldName(flag_key));
  BindCheckField(flag_key, number_key, f);
  row->addWidget(f);
  row->addWidget(new QLabel(unit, page), 1);
  static_cast<QVBoxLayout*>(page->layout())->addLayout(row);
  return f;
}

QCheckBox* Tplayform::AddBox(QWidget* page, const QString& caption, const QString& key) {
  auto* box = new QCheckBox(caption, page);
  box->setObjectName(BoxName(key));
  BindFlag(key, box);
  page->layout()->addWidget(box);
  return box;
}

QComboBox* Tplayform::AddList(QWidget* page, const QString& caption, const QString& key,
                              const QStringList& items) {
  auto* row = new QHBoxLayout;
  auto* list = new QComboBox(page);
  list->setObjectName(ListName(key));
  list->addItems(items);
  BindIndex(key, list);
  auto* label = new QLabel(caption, page);
  label->setBuddy(list);
  row->addWidget(label);
  row->addWidget(list);
  row->addStretch(1);
  static_cast<QVBoxLayout*>(page->layout())->addLayout(row);
  return list;
}

CheckField* Tplayform::Field(const QString& flag_key) const {
  return findChild<CheckField*>(FieldName(flag_key));
}

QCheckBox* Tplayform::Box(const QString& flag_key) const {
  return findChild<QCheckBox*>(BoxName(flag_key));
}

QComboBox* Tplayform::List(const QString& index_key) const {
  return findChild<QComboBox*>(ListName(index_key));
}

QString Tplayform::Number(const QString& flag_key) const {
  const QString text = Field(flag_key)->Text();
  return text == "-" ? QString() : text;  // a sign alone is no number
}

int Tplayform::TrackMask() const {
  int mask = 0;
  for (size_t t = 0; t < tracks_.size(); ++t)
    if (tracks_[t]->isChecked()) mask |= 1 << t;
  return mask;
}

void Tplayform::SetTrackMask(int mask) {
  for (size_t t = 0; t < tracks_.size(); ++t) tracks_[t]->setChecked((mask >> t) & 1);
}

QString Tplayform::SwitchText() const {
  // "/L" and "/F" with no number are switches of their own: for ever, and
  // as fast as possible.
  const auto bare = [this](const QString& key) { return Field(key)->On() && Number(key).isEmpty(); };
  const auto value = [this](char letter, const QString& key, SwitchLine& line) {
    line.Value(letter, Number(key), Field(key)->On());
  };
  SwitchLine line;
  value('L', "Loop", line);
  line.Flag('L', bare("Loop"));
  value('F', "FrameRate", line);
  line.Flag('F', bare("FrameRate"));
  line.Flag('P', Box("Preload")->isChecked());
  line.Flag('S', Box("ShowSummary")->isChecked());
  line.Flag('N', Box("NoFrameDrop")->isChecked());
  value('X', "X", line);
  value('Y', "Y", line);
  value('W', "W", line);
  value('H', "H", line);
  line.Flag('O', Box("SoundOnly")->isChecked());
  line.Flag('B', Box("DoubleBuffer")->isChecked());
  line.Index('I', List("Style")->currentIndex());
  line.Flag('C', Box("NoClear")->isChecked());
  line.Index('R', List("NoRemap")->currentIndex());
  line.Flag('G', Box("LoadExtra")->isChecked());
  line.Flag('K', Box("DeltasOnly")->isChecked());
  line.Flag('J', Box("NoPause")->isChecked());
  line.Flag('Z', Box("DirectSound")->isChecked());
  line.Flag('Q', Box("ShowFrames")->isChecked());
  line.Flag('@', Box("MMXOff")->isChecked());
  // The video type, with 384 added for no direct drawing.
  const int video = List("Use")->currentIndex();
  const bool no_direct = Box("DirectDrawOff")->isChecked();
  line.Derived('V', video > 0 || no_direct ? 1 : 0, QString::number(video + (no_direct ? 384 : 0)));
  line.Index('D', List("Display")->currentIndex());
  const int mask = TrackMask();
  line.Derived('T', mask != kAllTracks ? 1 : 0, QString::number(mask));
  line.Index('U', List("DisabledControls")->currentIndex());
  line.Index('A', List("YScale")->currentIndex());
  value('M', "Simulate", line);
  value('E', "ExtraMem", line);
  return line.Text();
}

QString Tplayform::ComposeCommand() {
  const QStringList files = HighlightedFiles();
  if (files.isEmpty()) {
    Host().Tell("Error, no file is highlighted.");
    return QString();
  }
  QString command = "VidzoPlW";
  for (const QString& f : files) command += " " + CommandName(f, Directory());
  const QString switches = SwitchText();
  if (!switches.isEmpty()) command += " " + switches;
  SetCommandFiles(files);
  return command;
}

bool Tplayform::ChangeFrameRate() {
  const QStringList files = HighlightedFiles();
  if (files.isEmpty()) {
    Host().Tell("Error, no file is highlighted.");
    return false;
  }
  const QString rate = Number("FrameRate");
  if (rate.isEmpty()) {
    Host().Tell("Error, a frame rate number must be entered.");
    return false;
  }
  if (Host().Ask("Are you sure you want to change the frame rate permanently?", YesNo()) != kYes)
    return false;
  for (const QString& f : files)
    Host().RunCommand(Directory(), "VidzoFR " + CommandName(f, Directory()) + " /f" + rate);
  return true;
}

Tselff* Tplayform::OpenSelfPlay() {
  const QStringList files = HighlightedFiles();
  if (files.isEmpty()) {
    Host().Tell("Error, no file is highlighted.");
    return nullptr;
  }
  auto* dialog = new Tselff(Host(), files, SwitchText(), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
  return dialog;
}

// ---- Tselff

QString SelfPlayPlayer(const QString& tools_directory) {
  return QuoteName(tools_directory + "vidzoplw");
}

Tselff::Tselff(FormHost& host, const QStringList& files, const QString& switches, QWidget* parent)
    : QDialog(parent), host_(host), files_(files) {
  setObjectName("Tselff");
  setWindowTitle("Compile Vidzoer Executable");
  directory_ = QFileInfo(files.value(0)).absolutePath();
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  system_ = new QComboBox(this);
  system_->setObjectName("system");
  // The one player that makes self-playing programs on this system.
  system_->addItem("Linux (vidzoplw)");
  output_ = new QLineEdit(QFileInfo(files.value(0)).completeBaseName(), this);
  output_->setObjectName("output");
  switches_ = new QLineEdit(switches, this);
  switches_->setObjectName("switches");
  list_ = new QListWidget(this);
  list_->setObjectName("files");
  for (const QString& f : files) list_->addItem(CommandName(f, directory_));
  form->addRow("Player for the system:", system_);
  form->addRow("Program to make:", output_);
  form->addRow("Player switches:", switches_);
  form->addRow("Animations to include:", list_);
  layout->addLayout(form, 1);
  auto* note = new QLabel(
      "The program is made in " + directory_ + "; it plays the animations in this order with these switches.",
      this);
  note->setWordWrap(true);
  layout->addWidget(note);
  auto* buttons = new QDialogButtonBox(this);
  compile_ = buttons->addButton("&Compile", QDialogButtonBox::AcceptRole);
  compile_->setObjectName("compile");
  buttons->addButton(QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  connect(compile_, &QPushButton::clicked, this, [this] { Compile(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(460, 320);
}

QString Tselff::ComposeCommand() {
  const QString output = output_->text().trimmed();
  if (output.isEmpty()) {
    host_.Tell("Error, a name for the program must be entered.");
    return QString();
  }
  const QString switches = switches_->text().trimmed();
  if (switches.contains('"')) {
    host_.Tell("Error, the player switches cannot hold a double quote.");
    return QString();
  }
  QString command = "VdzCompi " + SelfPlayPlayer(host_.ToolsDirectory()) + " " +
                    CommandName(QDir(directory_).filePath(output), directory_) + " \"" + switches + "\"";
  for (const QString& f : files_) command += " " + CommandName(f, directory_);
  return command;
}

bool Tselff::Compile() {
  const QString command = ComposeCommand();
  if (command.isEmpty()) return false;
  host_.RunCommand(directory_, command);
  accept();
  return true;
}

}  // namespace vidzoerw

#include "frontend/veziviform.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "frontend/sound_format.h"
#include "frontend/switches.h"

namespace vidzoerw {

namespace {

const QStringList kFilters = {
    "Graphics (*.vdz *.flc *.fli *.avi *.bmp *.png *.jpg *.jpeg *.tga *.tif *.tiff *.pcx *.gif *.raw *.lst)",
    "Vidzoer files (*.vdz)",
    "Flic files (*.flc *.fli)",
    "AVI files (*.avi)",
    "Images (*.bmp *.png *.jpg *.jpeg *.tga *.tif *.tiff *.pcx *.gif)",
    "List files (*.lst)",
    "All files (*)"};

const char* const kTypeNames[] = {"Vidzoer file", "Flic",        "AVI",        "Bitmap series", "JPEG series",
                                  "Targa series", "TIFF series", "PCX series", "GIF series"};

const char* const kInputFile = "The input file.";

QGroupBox* Group(const QString& title, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  new QVBoxLayout(box);
  return box;
}

}  // namespace

Tveziviform::Tveziviform(FormHost& host, QWidget* parent)
    : Tformpage(host, "GraphicsProcessor", kFilters, "&Process", parent) {
  setObjectName("Tveziviform");
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Output:", this));
  QLineEdit* output = MakeOutputField(this);
  output->setPlaceholderText("derived from the input");
  top->addWidget(output, 1);
  type_button_ = new QToolButton(this);
  type_button_->setObjectName("type");
  type_button_->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu("&Type", type_button_);
  types_ = new QActionGroup(this);
  const QStringList extensions = OutputTypeExtensions();
  for (int i = 0; i < extensions.size(); ++i) {
    QAction* item = menu->addAction(QString("%1 (%2)").arg(kTypeNames[i], extensions[i]));
    item->setCheckable(true);
    item->setData(i);
    types_->addAction(item);
  }
  type_button_->setMenu(menu);
  connect(types_, &QActionGroup::triggered, this, [this] { SetOutputType(OutputType()); });
  top->addWidget(type_button_);
  Options()->addLayout(top);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("tabs");
  Options()->addWidget(tabs_, 1);

  // Frames and crop.
  auto* frames_page = new QWidget(tabs_);
  auto* frames_layout = new QVBoxLayout(frames_page);
  QGroupBox* frames = Group("Frames", frames_page);
  start_ = new CheckField("Starting frame:", 8, frames);
  end_ = new CheckField("Ending frame:", 8, frames);
  rate_ = new CheckField("Frame rate override:", 8, frames, true);
  for (CheckField* f : {start_, end_, rate_}) frames->layout()->addWidget(f);
  QGroupBox* crop = Group("Crop", frames_page);
  x_ = new CheckField("X Offset:", 5, crop);
  y_ = new CheckField("Y Offset:", 5, crop);
  w_ = new CheckField("Width:", 5, crop);
  h_ = new CheckField("Height:", 5, crop);
  for (CheckField* f : {x_, y_, w_, h_}) crop->layout()->addWidget(f);
  overwrite_ = new QCheckBox("Overwrite without asking?", frames_page);
  overwrite_->setObjectName("overwrite");
  frames_layout->addWidget(frames);
  frames_layout->addWidget(crop);
  frames_layout->addWidget(overwrite_);
  frames_layout->addStretch(1);
  tabs_->addTab(frames_page, "&Frames");

  // The palette.
  auto* palette_page = new QWidget(tabs_);
  auto* palette_layout = new QVBoxLayout(palette_page);
  palette_menu_ = new QComboBox(palette_page);
  palette_menu_->setObjectName("palettetype");
  palette_menu_->addItems({"Use or create palette from a specified file.",
                           "Process as true color - don't use or create a palette at all."});
  palette_layout->addWidget(palette_menu_);
  palette_box_ = new QGroupBox("Palette", palette_page);
  auto* form = new QFormLayout(palette_box_);
  palette_file_ = new QLineEdit(kInputFile, palette_box_);
  palette_file_->setObjectName("palettefile");
  form->addRow("Palette file:", palette_file_);
  colors_ = new CheckField("Total palette colors to use:", 3, palette_box_);
  first_index_ = new CheckField("Starting palette index to use:", 3, palette_box_);
  every_ = new CheckField("New palette at least every:", 5, palette_box_);
  form->addRow(colors_);
  form->addRow(first_index_);
  form->addRow(every_);
  halftone_ = new QComboBox(palette_box_);
  halftone_->setObjectName("halftone");
  halftone_->addItems({"As needed.", "Always.", "Never."});
  control_ = new QComboBox(palette_box_);
  control_->setObjectName("palettecontrol");
  control_->addItems({"Use the input's.", "Create new.", "New when changes."});
  windows_ = new QComboBox(palette_box_);
  windows_->setObjectName("windowscolors");
  windows_->addItems({"Leave room.", "Always.", "Never."});
  form->addRow("Halftone input:", halftone_);
  form->addRow("Palette control:", control_);
  form->addRow("Windows colors:", windows_);
  palette_layout->addWidget(palette_box_);
  palette_layout->addStretch(1);
  tabs_->addTab(palette_page, "&Palette");
  connect(palette_menu_, &QComboBox::currentIndexChanged, this, &Tveziviform::EnablePalette);

  BindValue(
      "OutputType", [this] { return QString::number(OutputType()); },
      [this](const QString& t) { SetOutputType(t.trimmed().toInt()); }, "0");
  BindIndex("CurrentTab", tabs_);
  BindIndex("PaletteType", palette_menu_);
  BindCheckField("XOffset", "XOffsetNum", x_);
  BindCheckField("YOffset", "YOffsetNum", y_);
  BindCheckField("Width", "WidthNum", w_);
  BindCheckField("Height", "HeightNum", h_);
  BindCheckField("Start", "StartNum", start_);
  BindCheckField("End", "EndNum", end_);
  BindCheckField("FrameRate", "FrameRateNum", rate_);
  BindFlag("Overwrite", overwrite_);
  BindCheckField("PaletteEvery", "PaletteEveryNum", every_);
  BindCheckField("PaletteColors", "PaletteColorsNum", colors_);
  BindCheckField("PaletteStart", "PaletteStartNum", first_index_);
  BindIndex("Halftone", halftone_);
  BindIndex("PaletteControl", control_);
  BindIndex("WindowsColors", windows_);
  EnablePalette();
  CompactLists(this);
}

int Tveziviform::OutputType() const {
  const QAction* item = types_->checkedAction();
  return item != nullptr ? item->data().toInt() : 0;
}

void Tveziviform::SetOutputType(int index) {
  const QList<QAction*> items = types_->actions();
  if (index < 0 || index >= items.size()) index = 0;
  items[index]->setChecked(true);
  type_button_->setText("&Type: " + OutputTypeExtensions()[index]);
}

void Tveziviform::EnablePalette() {
  palette_box_->setEnabled(palette_menu_->currentIndex() != kTrueColour);
}

QString Tveziviform::Switches() const {
  SwitchLine line;
  // The palette switches go only while their controls are enabled.
  const bool palette = palette_box_->isEnabled();
  const QString file = palette_file_->text().trimmed();
  line.Value('Q', colors_->Text(), palette && colors_->On())
      .Value('I', first_index_->Text(), palette && first_index_->On())
      .Index('T', palette ? halftone_->currentIndex() : 0)
      .Index('P', palette ? control_->currentIndex() : 0)
      .Index('D', palette ? windows_->currentIndex() : 0)
      .Value('U', every_->Text(), palette && every_->On())
      .Value('&', file,
             palette && palette_menu_->currentIndex() == kPaletteFromFile &&
                 !file.contains("input file", Qt::CaseInsensitive))
      .Flag('A', palette_menu_->currentIndex() == kTrueColour)
      .Flag('O', overwrite_->isChecked())
      .Value('F', rate_->Text(), rate_->On())
      .Value('S', start_->Text(), start_->On())
      .Value('E', end_->Text(), end_->On())
      .Value('X', x_->Text(), x_->On())
      .Value('Y', y_->Text(), y_->On())
      .Value('W', w_->Text(), w_->On())
      .Value('H', h_->Text(), h_->On());
  return line.Text();
}

QString Tveziviform::CommandFor(const FormInput& input) {
  const int type = OutputType();
  const QString output = OutputFor(input, OutputTypeExtensions()[type], OutputTypeIsSeries(type));
  SetCommandFiles({input.name, output});
  return "VizodOv " + CommandName(input.name, Directory()) + " " + CommandName(output, Directory()) + " " +
         Switches();
}

}  // namespace vidzoerw

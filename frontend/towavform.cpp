#include "frontend/towavform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

#include "frontend/sound_format.h"
#include "frontend/switches.h"

namespace vidzoerw {

namespace {

const QStringList kFilters = {"Sound (*.wav *.vdz *.avi *.lst *.raw *.pcm)",
                              "Wave files (*.wav)",
                              "Vidzoer files (*.vdz)",
                              "AVI files (*.avi)",
                              "List files (*.lst)",
                              "All files (*)"};

}  // namespace

Ttowavform::Ttowavform(FormHost& host, QWidget* parent)
    : Tformpage(host, "VorurEdocessor", kFilters, "&Process", parent) {
  setObjectName("Ttowavform");
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Output wave file:", this));
  QLineEdit* output = MakeOutputField(this);
  output->setPlaceholderText("derived from the input");
  top->addWidget(output, 1);
  Options()->addLayout(top);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("tabs");
  Options()->addWidget(tabs_, 1);

  auto* output_page = new QWidget(tabs_);
  auto* output_layout = new QVBoxLayout(output_page);
  format_ = new SoundFormatBox(output_page);
  overwrite_ = new QCheckBox("Overwrite without asking?", output_page);
  overwrite_->setObjectName("overwrite");
  output_layout->addWidget(format_);
  output_layout->addWidget(overwrite_);
  output_layout->addStretch(1);
  tabs_->addTab(output_page, "&Output");

  auto* input_page = new QWidget(tabs_);
  auto* input_layout = new QVBoxLayout(input_page);
  auto* part = new QGroupBox("Part of the input", input_page);
  auto* part_layout = new QVBoxLayout(part);
  track_ = new CheckField("Track:", 3, part);
  start_ = new CheckField("Start time (ms):", 8, part, true);
  end_ = new CheckField("End time (ms):", 8, part, true);
  for (CheckField* f : {track_, start_, end_}) part_layout->addWidget(f);
  input_ = new InputTypeBox(false, input_page);
  input_layout->addWidget(part);
  input_layout->addWidget(input_);
  input_layout->addStretch(1);
  tabs_->addTab(input_page, "&Input");

  BindIndex("CurrentTab", tabs_);
  BindValue(
      "Rate", [this] { return format_->RateSetting(); },
      [this](const QString& t) { format_->SetRateSetting(t); }, "0");
  BindIndex("Quality", format_->Bits());
  BindIndex("Channels", format_->Channels());
  BindIndex("InputType", input_->Type());
  BindFlag("Overwrite", overwrite_);
  BindCheckField("Track", "TrackNum", track_);
  BindCheckField("Start", "StartNum", start_);
  BindCheckField("End", "EndNum", end_);
  BindText("ForceRate", input_->ForcedRate());
  BindText("SkipBytes", input_->Skip());
  CompactLists(this);
}

QString Ttowavform::Switches() const {
  SwitchLine line;
  line.Flag('O', overwrite_->isChecked());
  format_->AddSwitches(line);
  line.Value('T', track_->Text(), track_->On())
      .Value('S', start_->Text(), start_->On())
      .Value('E', end_->Text(), end_->On());
  input_->AddSwitches(line);
  return line.Text();
}

QString Ttowavform::CommandFor(const FormInput& input) {
  const QString output = OutputFor(input, "wav", false);
  SetCommandFiles({input.name, output});
  return "VorurEd " + CommandName(input.name, Directory()) + " " + CommandName(output, Directory()) + " " +
         Switches();
}

}  // namespace vidzoerw

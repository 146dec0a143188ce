#include "frontend/sound_format.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include "frontend/form_page.h"
#include "frontend/switches.h"

namespace vidzoerw {

void CompactLists(QWidget* page) {
  for (QComboBox* list : page->findChildren<QComboBox*>()) {
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMinimumContentsLength(8);
    list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // A list already laid out keeps the minimum of its longest entry
    // unless told another.
    list->setMinimumWidth(list->fontMetrics().horizontalAdvance(QString(10, 'x')) + 32);
  }
}

// ---- The output format

QComboBox* MakeRateList(QWidget* parent) {
  auto* rate = new QComboBox(parent);
  rate->setObjectName("rate");
  rate->setEditable(true);
  rate->setInsertPolicy(QComboBox::NoInsert);
  rate->addItems({"Copy the input playback rate.", "11025", "22050", "44100"});
  return rate;
}

QString RateListValue(const QComboBox* rate) {
  const QString text = rate->currentText().trimmed();
  if (rate->findText(text) == 0) return QString();
  return LeadingDigits(text);
}

QString RateListSetting(const QComboBox* rate) {
  const QString text = rate->currentText().trimmed();
  const int index = rate->findText(text);
  return index >= 0 ? QString::number(index) : LeadingDigits(text);
}

void SetRateListSetting(QComboBox* rate, const QString& value) {
  bool ok = false;
  const int n = value.trimmed().toInt(&ok);
  if (ok && n >= 0 && n < rate->count()) {
    rate->setCurrentIndex(n);
    rate->setEditText(rate->itemText(n));
  } else if (ok && n > 0) {
    rate->setEditText(QString::number(n));
  } else {
    rate->setCurrentIndex(0);
    rate->setEditText(rate->itemText(0));
  }
}

void AddSoundFormatSwitches(SwitchLine& line, const QComboBox* rate, const QComboBox* bits,
                            const QComboBox* channels) {
  line.Value('R', RateListValue(rate))
      .Derived('B', bits->currentIndex(), QString::number(bits->currentIndex() * 8))
      .Index('C', channels->currentIndex());
}

SoundFormatBox::SoundFormatBox(QWidget* parent) : QGroupBox("Output sound", parent) {
  auto* form = new QFormLayout(this);
  rate_ = MakeRateList(this);
  bits_ = new QComboBox(this);
  bits_->setObjectName("bits");
  bits_->addItems({"Copy the input bits.", "8 bit.", "16 bit."});
  channels_ = new QComboBox(this);
  channels_->setObjectName("channels");
  channels_->addItems({"Copy the input channels.", "Mono.", "Stereo."});
  form->addRow("&Rate:", rate_);
  form->addRow("&Bits:", bits_);
  form->addRow("C&hannels:", channels_);
}

// ---- InputTypeBox

InputTypeBox::InputTypeBox(bool non_sound, QWidget* parent) : QGroupBox("Input", parent) {
  auto* form = new QFormLayout(this);
  type_ = new QComboBox(this);
  type_->setObjectName("inputtype");
  type_->addItems({"As the input file says.", "Force to 8 bit, mono.", "Force to 8 bit, stereo.",
                   "Force to 16 bit, mono.", "Force to 16 bit, stereo."});
  if (non_sound) type_->addItem("Input file contains non-sound data.");
  rate_ = new NumberField(8, QString(), false, this);
  rate_->setObjectName("forcerate");
  skip_ = new NumberField(8, QString(), false, this);
  skip_->setObjectName("skip");
  form->addRow("Input &type:", type_);
  form->addRow("Forced data rate:", rate_);
  form->addRow("Bytes to skip:", skip_);
  connect(type_, &QComboBox::currentIndexChanged, this, &InputTypeBox::Enable);
  Enable();
}

void InputTypeBox::Enable() {
  const bool forced = type_->currentIndex() > 0;
  rate_->setEnabled(forced);
  skip_->setEnabled(forced);
}

void InputTypeBox::AddSwitches(SwitchLine& line) const {
  const int type = type_->currentIndex();
  line.Index('Y', type);
  if (type > 0) line.Value('D', rate_->text()).Value('K', skip_->text());
}

}  // namespace vidzoerw

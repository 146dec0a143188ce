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

// ---- SoundFormatBox

SoundFormatBox::SoundFormatBox(QWidget* parent) : QGroupBox("Output sound", parent) {
  auto* form = new QFormLayout(this);
  rate_ = new QComboBox(this);
  rate_->setObjectName("rate");
  rate_->setEditable(true);
  rate_->setInsertPolicy(QComboBox::NoInsert);
  rate_->addItems({"Copy the input playback rate.", "11025", "22050", "44100"});
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

QString SoundFormatBox::RateValue() const {
  const QString text = rate_->currentText().trimmed();
  const int index = rate_->findText(text);
  if (index == 0) return QString();
  return LeadingDigits(text);
}

QString SoundFormatBox::RateSetting() const {
  const QString text = rate_->currentText().trimmed();
  const int index = rate_->findText(text);
  return index >= 0 ? QString::number(index) : LeadingDigits(text);
}

void SoundFormatBox::SetRateSetting(const QString& value) {
  bool ok = false;
  const int n = value.trimmed().toInt(&ok);
  if (ok && n >= 0 && n < rate_->count()) {
    rate_->setCurrentIndex(n);
    rate_->setEditText(rate_->itemText(n));
  } else if (ok && n > 0) {
    rate_->setEditText(QString::number(n));
  } else {
    rate_->setCurrentIndex(0);
    rate_->setEditText(rate_->itemText(0));
  }
}

void SoundFormatBox::AddSwitches(SwitchLine& line) const {
  line.Value('R', RateValue())
      .Derived('B', bits_->currentIndex(), QString::number(bits_->currentIndex() * 8))
      .Index('C', channels_->currentIndex());
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

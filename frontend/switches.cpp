#include "frontend/switches.h"

#include <QDir>
#include <QFileInfo>

namespace vidzoerw {

SwitchLine& SwitchLine::Flag(char letter, bool on) {
  if (on) text_ += QString("/") + QChar(letter);
  return *this;
}

SwitchLine& SwitchLine::Value(char letter, const QString& text, bool on) {
  const QString value = text.trimmed();
  if (on && !value.isEmpty()) text_ += QString("/") + QChar(letter) + value;
  return *this;
}

SwitchLine& SwitchLine::Index(char letter, int index) {
  return Derived(letter, index, QString::number(index));
}

SwitchLine& SwitchLine::Derived(char letter, int index, const QString& value) {
  if (index > 0) text_ += QString("/") + QChar(letter) + value;
  return *this;
}

SwitchLine& SwitchLine::Raw(const QString& text) {
  text_ += text;
  return *this;
}

QString LeadingDigits(const QString& text) {
  const QString t = text.trimmed();
  qsizetype n = 0;
  while (n < t.size() && t[n] >= '0' && t[n] <= '9') ++n;
  return t.left(n);
}

QString CompressTypeValue(int type, const QString& field) {
  if (type == kCompressLossless) return "0";
  const QString digits = LeadingDigits(field);
  if (digits.isEmpty()) return QString();
  switch (type) {
    case kCompressAverage:
      return "-" + digits;
    case kCompressSize: {
      // Long numbers are kept as text; only the percentage is added to.
      bool ok = false;
      const qlonglong p = digits.toLongLong(&ok);
      return ok ? "-" + QString::number(p + 400) : QString();
    }
    case kCompressRate:
    case kCompressError:
      return digits;
    default:
      return QString();
  }
}

QString QuoteName(const QString& name) {
  return name.contains(' ') ? "\"" + name + "\"" : name;
}

QString CommandName(const QString& file, const QString& directory) {
  QString name = file;
  if (!directory.isEmpty() && QFileInfo(file).isAbsolute()) {
    const QString dir = QDir::cleanPath(directory);
    const QString clean = QDir::cleanPath(file);
    const QString prefix = dir.endsWith('/') ? dir : dir + "/";
    if (clean.startsWith(prefix)) name = clean.mid(prefix.size());
  }
  return QuoteName(name);
}

}  // namespace vidzoerw

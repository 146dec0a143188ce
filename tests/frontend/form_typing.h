// A person's hands on a page's controls: typing into a field and toggling
// a check box from the keyboard.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QString>
#include <QTest>

namespace frontend_test {

// Empties a field and types `text` into it.
inline void Type(QLineEdit* field, const QString& text) {
  field->setFocus();
  field->selectAll();
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, text);
}

// Toggles a check box with the space bar.
inline void Toggle(QCheckBox* box) {
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Space);
}

}  // namespace frontend_test

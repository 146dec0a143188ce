// Setting an option page's controls as a user does (offscreen): the tab of
// a control is brought to the front, check boxes are clicked, fields are
// typed into, list entries are chosen.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>

#include "frontend/form_page.h"

namespace frontend_test {

// Brings the tabs holding `w` to the front.
inline void Reveal(QWidget* w) {
  for (QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget())
    if (auto* tabs = qobject_cast<QTabWidget*>(p))
      for (int i = 0; i < tabs->count(); ++i)
        if (tabs->widget(i) == w || tabs->widget(i)->isAncestorOf(w)) tabs->setCurrentIndex(i);
}

// A click on the box's check mark.
inline void Click(QAbstractButton* box) {
  Reveal(box);
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Replaces the field's text by typing.
inline void Type(QLineEdit* field, const QString& text) {
  Reveal(field);
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Delete);
  QTest::keyClicks(field, text);
}

// Ticks the box (when it is not) and types the number.
inline void Check(vidzoerw::CheckField* f, const QString& text) {
  if (!f->Box()->isChecked()) Click(f->Box());
  Type(f->Field(), text);
}

// Chooses an entry of a drop-down list with the keyboard, as a user going
// down (or up) the list does.
inline void Choose(QComboBox* list, int index) {
  Reveal(list);
  list->setFocus();
  while (list->currentIndex() < index) QTest::keyClick(list, Qt::Key_Down);
  while (list->currentIndex() > index) QTest::keyClick(list, Qt::Key_Up);
}

}  // namespace frontend_test

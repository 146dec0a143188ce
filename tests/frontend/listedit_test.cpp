// The list file editor driven through its widgets on the offscreen
// platform: the frame fields, the buttons, saving and closing, and a list
// it saved read by the graphics input.
#include "frontend/listedit.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "qelutil/qelutil.h"
#include "qt_app.h"
#include "support/temp_dir.h"
#include "support/test_animation.h"

namespace {

using vidzoerw::Tlistedit;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ListEdit : public ::testing::Test {
 protected:
  void SetUp() override { frontend_test::App(); }
  // An editor whose questions are answered by the test.
  std::unique_ptr<Tlistedit> Make(const QString& name, const QStringList& entries, bool modified = false) {
    auto e = std::make_unique<Tlistedit>(nullptr, name, entries, modified);
    e->ask = [this](const QString& text) {
      asked << text;
      return answer;
    };
    e->error = [this](const QString& text) { errors << text; };
    e->choose_save_as = [this] { return save_as; };
    e->choose_insert = [this] { return inserts; };
    e->show();
    return e;
  }
  // Empties a field and types `text` into it, as a person does.
  static void Type(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
  }
  static void Click(Tlistedit& e, const char* caption) {
    QPushButton* b = e.Button(caption);
    ASSERT_NE(b, nullptr) << caption;
    QTest::mouseClick(b, Qt::LeftButton);
  }
  QString Path(const std::string& name) const { return QString::fromStdString(dir.File(name)); }

  vidzoer_test::TempDir dir;
  QStringList asked, errors, inserts;
  QString save_as;
  QMessageBox::StandardButton answer = QMessageBox::Cancel;
};

TEST_F(ListEdit, FieldsReadAndRebuildTheSelectedEntry) {
  auto e = Make(Path("a.lst"), {"clip.flc /s10 /e20", "OTHER.FLC /E9 /S5", "plain.flc"});
  EXPECT_EQ(e->windowTitle(), "List File Editor - a.lst");
  ASSERT_EQ(e->Selected(), 0);
  EXPECT_EQ(e->StartField()->text(), "10");
  EXPECT_EQ(e->EndField()->text(), "20");
  EXPECT_FALSE(e->Modified());

  Type(e->StartField(), "");
  EXPECT_EQ(e->Entries()[0], "clip.flc /e20");
  EXPECT_TRUE(e->Modified());

  e->List()->setCurrentRow(1);
  EXPECT_EQ(e->StartField()->text(), "5");
  EXPECT_EQ(e->EndField()->text(), "9");
  Type(e->EndField(), "12");
  EXPECT_EQ(e->Entries()[1], "OTHER.FLC /s5 /e12");

  e->List()->setCurrentRow(2);
  EXPECT_EQ(e->StartField()->text(), "");
  Type(e->StartField(), "x3");  // not a number: empty
  EXPECT_EQ(e->Entries()[2], "plain.flc");
  Type(e->StartField(), "3");
  EXPECT_EQ(e->Entries()[2], "plain.flc /s3");
  EXPECT_EQ(e->Selected(), 2);
}

TEST_F(ListEdit, RemoveAndMove) {
  auto e = Make(Path("a.lst"), {"one.flc"});
  Click(*e, "&Remove");
  EXPECT_TRUE(e->Entries().isEmpty());
  EXPECT_EQ(e->Selected(), -1);
  EXPECT_EQ(e->StartField()->text(), "");
  Click(*e, "&Remove");  // nothing left to remove
  EXPECT_TRUE(e->Entries().isEmpty());

  auto m = Make(Path("b.lst"), {"a", "b", "c"});
  Click(*m, "Move &Up");  // the first cannot move up
  EXPECT_EQ(m->Entries(), (QStringList{"a", "b", "c"}));
  EXPECT_FALSE(m->Modified());
  Click(*m, "Move &Down");
  EXPECT_EQ(m->Entries(), (QStringList{"b", "a", "c"}));
  EXPECT_EQ(m->Selected(), 1);
  Click(*m, "Move &Down");
  EXPECT_EQ(m->Selected(), 2);
  Click(*m, "Move &Down");  // the last cannot move down
  EXPECT_EQ(m->Entries(), (QStringList{"b", "c", "a"}));
  EXPECT_EQ(m->Selected(), 2);
  Click(*m, "&Remove");  // selects the one before
  EXPECT_EQ(m->Selected(), 1);
  m->List()->setCurrentRow(0);
  Click(*m, "&Remove");  // the first: the new first is selected
  EXPECT_EQ(m->Entries(), (QStringList{"c"}));
  EXPECT_EQ(m->Selected(), 0);
}

TEST_F(ListEdit, InsertBeforeTheSelectedEntry) {
  auto e = Make(Path("a.lst"), {"a", "b"});
  e->List()->setCurrentRow(1);
  inserts = {"x.flc", "y.flc"};
  Click(*e, "&Insert");
  EXPECT_EQ(e->Entries(), (QStringList{"a", "x.flc", "y.flc", "b"}));
  EXPECT_TRUE(e->Modified());
  auto empty = Make(Path("c.lst"), {});
  Click(*empty, "&Insert");
  EXPECT_EQ(empty->Entries(), (QStringList{"x.flc", "y.flc"}));
  inserts.clear();  // the chooser cancelled
  Click(*empty, "&Insert");
  EXPECT_EQ(empty->Entries().size(), 2);
}

TEST_F(ListEdit, CloseAsksWhenModified) {
  {  // nothing changed: closes at once
    auto e = Make(Path("a.lst"), {"a"});
    Click(*e, "&Close");
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_FALSE(e->isVisible());
  }
  {  // cancel keeps it open
    auto e = Make(Path("a.lst"), {"a"}, true);
    answer = QMessageBox::Cancel;
    Click(*e, "&Close");
    EXPECT_EQ(asked, (QStringList{"Save file " + Path("a.lst") + " ?"}));
    EXPECT_TRUE(e->isVisible());
    // no: closes without saving and forgets the name
    answer = QMessageBox::No;
    Click(*e, "&Close");
    EXPECT_FALSE(e->isVisible());
    EXPECT_EQ(e->ListName(), "");
    EXPECT_EQ(e->result(), QDialog::Rejected);
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.lst")));
  }
  {  // yes: saved, then closed
    auto e = Make(Path("b.lst"), {"x.flc /S2", "y.flc"}, true);
    answer = QMessageBox::Yes;
    Click(*e, "&Close");
    EXPECT_FALSE(e->isVisible());
    EXPECT_EQ(e->result(), QDialog::Accepted);
    EXPECT_EQ(Read(dir.File("b.lst")), "x.flc /S2\ny.flc\n");
  }
  {  // yes, but the save fails: stays open with its entries
    auto e = Make(Path("no/such/c.lst"), {"x.flc"}, true);
    answer = QMessageBox::Yes;
    Click(*e, "&Close");
    EXPECT_TRUE(e->isVisible());
    EXPECT_EQ(errors, (QStringList{"Error saving " + Path("no/such/c.lst")}));
    EXPECT_EQ(e->Entries(), (QStringList{"x.flc"}));
    EXPECT_TRUE(e->Modified());
  }
}

TEST_F(ListEdit, UntitledSavesThroughSaveAsInLowerCase) {
  std::filesystem::create_directory(dir.path() / "Clips");
  auto e = Make(Path("untitled.lst"), {"a.flc"}, true);
  save_as = Path("Clips/My.LST");
  EXPECT_TRUE(e->Save());
  EXPECT_EQ(e->ListName(), Path("Clips/my.lst"));
  EXPECT_EQ(e->windowTitle(), "List File Editor - my.lst");
  EXPECT_FALSE(e->Modified());
  EXPECT_EQ(Read(dir.File("Clips/my.lst")), "a.flc\n");

  // A failed "Save As" keeps the name, the entries and the modified flag.
  Type(e->StartField(), "4");
  save_as = Path("missing/x.lst");
  Click(*e, "Save &As");
  EXPECT_EQ(errors, (QStringList{"Error saving to " + Path("missing/x.lst")}));
  EXPECT_EQ(e->ListName(), Path("Clips/my.lst"));
  EXPECT_TRUE(e->Modified());
  EXPECT_EQ(e->Entries(), (QStringList{"a.flc /s4"}));
  // The plain save goes to the list's own file.
  EXPECT_TRUE(e->Save());
  EXPECT_EQ(Read(dir.File("Clips/my.lst")), "a.flc /s4\n");
}

TEST_F(ListEdit, OpensAnExistingListOrANewOne) {
  std::ofstream(dir.File("old.lst")) << "a.flc /S1\r\n\r\nb.flc\r\n";
  std::unique_ptr<Tlistedit> e(Tlistedit::ForFile(nullptr, Path("old.lst"), Path("")));
  EXPECT_EQ(e->Entries(), (QStringList{"a.flc /S1", "b.flc"}));
  std::unique_ptr<Tlistedit> n(
      Tlistedit::ForFile(nullptr, QString(), QString::fromStdString(dir.path().string())));
  EXPECT_EQ(n->ListName(), Path("untitled.lst"));
  EXPECT_EQ(n->windowTitle(), "List File Editor - untitled.lst");
}

// Entries edited through the fields and saved are read by GFileOpen with the
// frames the fields name.
TEST_F(ListEdit, SavedListReadByGraphicsInput) {
  const auto anim = vidzoer_test::WriteTestAnimation(dir.File("a.vdz"), 16, 8, 7, false);
  ASSERT_EQ(anim.pixels.size(), 7u);
  auto e = Make(Path("clips.lst"), {"a.vdz /S1 /E1", "a.vdz"}, false);
  Type(e->StartField(), "3");
  Type(e->EndField(), "5");
  e->List()->setCurrentRow(1);
  Type(e->StartField(), "6");
  ASSERT_TRUE(e->Save());

  GFile* g = GFileOpen(dir.File("clips.lst").c_str(), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 256, 0, 2, nullptr,
                       nullptr, [](const char*, int32_t) -> uint8_t { return 0; });
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->frames, 5);
  for (size_t want : {2u, 3u, 4u, 5u, 6u}) {
    ASSERT_EQ(GFileGet(g), 1);
    std::vector<uint8_t> got;
    for (int y = 0; y < g->height; ++y)
      got.insert(got.end(), g->pixels + y * g->pitch, g->pixels + y * g->pitch + g->width);
    EXPECT_EQ(got, anim.pixels[want]) << want;
  }
  GFileClose(g);
}

}  // namespace

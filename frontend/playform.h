// The player's page (Tplayform): the .vdz files to play and every switch of
// vidzoplw; from it the frame rate stored in a file is changed (vidzofr) and
// a self-playing program is made (Tselff, vdzcompi).
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>

#include "frontend/form_page.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace vidzoerw {

class Tselff;

class Tplayform : public Tformpage {
  Q_OBJECT

 public:
  explicit Tplayform(FormHost& host, QWidget* parent = nullptr);

  // "VidzoPlW", the highlighted files and the switches; "" (and the user
  // told) when no file is highlighted.
  QString ComposeCommand() override;
  // The switches alone, in the player's order.
  QString SwitchText() const;
  // The sound-track mask of the track boxes (bit 0 = track 1).
  int TrackMask() const;
  void SetTrackMask(int mask);

  // "VidzoFR" on each highlighted file with the frame rate of the "Frame
  // rate:" field, after the user said yes; false when nothing ran.
  bool ChangeFrameRate();
  // The self-playing program dialog on the highlighted files, shown (not
  // modal); null (and the user told) when no file is highlighted.
  Tselff* OpenSelfPlay();

  QTabWidget* Pages() const { return pages_; }
  // The controls by their settings key ("Loop", "Style", "Track3", ...).
  CheckField* Field(const QString& flag_key) const;
  QCheckBox* Box(const QString& flag_key) const;
  QComboBox* List(const QString& index_key) const;
  QPushButton* FrameRateButton() const { return frame_rate_button_; }
  QPushButton* SelfPlayButton() const { return self_play_button_; }

 private:
  CheckField* AddField(QWidget* page, const QString& caption, const QString& flag_key,
                       const QString& number_key, int width, bool sign, const QString& unit);
  QCheckBox* AddBox(QWidget* page, const QString& caption, const QString& key);
  QComboBox* AddList(QWidget* page, const QString& caption, const QString& key, const QStringList& items);
  // The number of a check box's field ("" when there is none).
  QString Number(const QString& flag_key) const;

  QTabWidget* pages_ = nullptr;
  std::array<QCheckBox*, 7> tracks_{};
  QPushButton* frame_rate_button_ = nullptr;
  QPushButton* self_play_button_ = nullptr;
};

// "Compile Vidzoer Executable": a copy of the player with .vdz files
// appended that plays them with the switches given, made by vdzcompi from
// the folder of the videos.
class Tselff : public QDialog {
  Q_OBJECT

 public:
  // `files`: the .vdz files with their folder (the first one's folder is
  // where the command runs); `switches`: the player switches to start with.
  Tselff(FormHost& host, const QStringList& files, const QString& switches, QWidget* parent = nullptr);

  // "VdzCompi", the player, the program's name, the switches in double
  // quotes and the .vdz names; "" (and the user told) when a field is not
  // usable.
  QString ComposeCommand();
  // Composes and runs the command; true when it ran (the dialog closes).
  bool Compile();
  QString Directory() const { return directory_; }

  QComboBox* System() const { return system_; }
  QLineEdit* OutputField() const { return output_; }
  QLineEdit* SwitchesField() const { return switches_; }
  QListWidget* Files() const { return list_; }
  QPushButton* CompileButton() const { return compile_; }

 private:
  FormHost& host_;
  QString directory_;
  QStringList files_;
  QComboBox* system_ = nullptr;
  QLineEdit* output_ = nullptr;
  QLineEdit* switches_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* compile_ = nullptr;
};

// The player program of a system of the dialog's list, in the tools folder.
QString SelfPlayPlayer(const QString& tools_directory);

}  // namespace vidzoerw

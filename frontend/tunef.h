// The data-rate analysis window: a .vdz file's frame sizes and one-second
// average, in bytes per frame or per second, against the rates of 1x, 2x
// and 4x CD-ROM drives.
#pragma once

#include <QChartView>
#include <QMainWindow>
#include <QString>
#include <functional>

#include "frontend/tune_series.h"

class QAction;
class QLineSeries;
class QPushButton;
class QScrollBar;
class QValueAxis;
class QLabel;

namespace vidzoerw {

// The graph; a double-click names the frame under the pointer.
class TuneChartView : public QChartView {
  Q_OBJECT

 public:
  using QChartView::QChartView;

 signals:
  void DoubleClicked(QPointF value);

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

class Ttunef : public QMainWindow {
  Q_OBJECT

 public:
  // Opens the window on `file`, or reports "Error loading Vidzoer file."
  // through `error` and returns null.
  static Ttunef* Open(const QString& file, QWidget* parent, const std::function<void(const QString&)>& error);

  const TuneSeries& Series() const { return series_; }
  TuneMode Mode() const { return mode_; }
  const TuneRange& Range() const { return range_; }
  QChartView* View() const { return view_; }
  QScrollBar* ScrollBar() const { return scroll_; }
  QAction* ModeAction() const { return mode_action_; }
  QAction* Switch(int k) const { return switches_[k]; }   // 1x, 2x, 4x, average, grid, legend, values
  QPushButton* Panel(int k) const { return panels_[k]; }  // 1 zoom in, 2 zoom out, 3 default, 4 close
  QString LastFrameText() const { return last_frame_text_; }

  // The menu's commands.
  bool ToggleMode();
  void PointsToClipboard();
  void GraphToClipboard();
  // Prints to a PDF file when `pdf` is given, else through the print dialog.
  bool PrintGraph(const QString& pdf = {});
  void ShowFrame(int64_t frame);
  void SetRange(int64_t k);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  Ttunef(QWidget* parent, TuneSeries series, TuneMode mode);
  void BuildChart();
  void ApplyRange();
  void ApplySwitches();

  TuneSeries series_;
  TuneMode mode_;
  TuneRange range_;
  TuneChartView* view_ = nullptr;
  QChart* chart_ = nullptr;
  QValueAxis* x_axis_ = nullptr;
  QValueAxis* y_axis_ = nullptr;
  QLineSeries* lines_[5] = {};  // frames, average, 1x, 2x, 4x
  QScrollBar* scroll_ = nullptr;
  QAction* mode_action_ = nullptr;
  QAction* switches_[7] = {};
  QPushButton* panels_[5] = {};
  QLabel* info_ = nullptr;
  QString last_frame_text_;
  bool shown_ = false;
};

}  // namespace vidzoerw

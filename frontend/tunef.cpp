#include "frontend/tunef.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QValueAxis>

namespace vidzoerw {

void TuneChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (chart() != nullptr) emit DoubleClicked(chart()->mapToValue(event->position()));
  QChartView::mouseDoubleClickEvent(event);
}

Ttunef* Ttunef::Open(const QString& file, QWidget* parent, const std::function<void(const QString&)>& error) {
  auto series = LoadTuneSeries(file.toStdString(), TuneMode::kBytesPerSecond);
  if (!series) {
    if (error) error(QString::fromUtf8(kTuneLoadError.data(), static_cast<int>(kTuneLoadError.size())));
    return nullptr;
  }
  auto* w = new Ttunef(parent, std::move(*series), TuneMode::kBytesPerSecond);
  w->setAttribute(Qt::WA_DeleteOnClose);
  return w;
}

Ttunef::Ttunef(QWidget* parent, TuneSeries series, TuneMode mode)
    : QMainWindow(parent, Qt::Window), series_(std::move(series)), mode_(mode) {
  resize(760, 480);
  auto* file_menu = menuBar()->addMenu("&File");
  file_menu->addAction("Points to Clipboard", this, &Ttunef::PointsToClipboard);
  file_menu->addAction("Graph to Clipboard", this, &Ttunef::GraphToClipboard);
  file_menu->addAction("Print Graph", this, [this] { PrintGraph(); });
  file_menu->addSeparator();
  file_menu->addAction("&Close", this, &QWidget::close);
  auto* view_menu = menuBar()->addMenu("&View");
  mode_action_ = view_menu->addAction(QString(), this, &Ttunef::ToggleMode);
  view_menu->addSeparator();
  const char* names[7] = {"Show 1x CD-ROM", "Show 2x CD-ROM", "Show 4x CD-ROM", "Show 1 Second Ave.",
                          "Show Grid",      "Show Legend",    "Show Values"};
  for (int k = 0; k < 7; ++k) {
    switches_[k] = view_menu->addAction(names[k]);
    switches_[k]->setCheckable(true);
    switches_[k]->setChecked(k != 6);
    connect(switches_[k], &QAction::toggled, this, &Ttunef::ApplySwitches);
  }

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  chart_ = new QChart;
  // Axis labels in the user's locale, thousands grouped.
  chart_->setLocale(QLocale());
  chart_->setLocalizeNumbers(true);
  view_ = new TuneChartView(chart_, central);
  view_->setRenderHint(QPainter::Antialiasing);
  connect(view_, &TuneChartView::DoubleClicked, this,
          [this](QPointF value) { ShowFrame(static_cast<int64_t>(value.x() + 0.5)); });
  layout->addWidget(view_, 1);
  scroll_ = new QScrollBar(Qt::Horizontal, central);
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
    range_ = TuneSetRange(range_.count, v + 1, static_cast<int64_t>(series_.sizes.size()));
    ApplyRange();
  });
  layout->addWidget(scroll_);
  setCentralWidget(central);

  // The status bar's panels: the file, zoom in, zoom out, default, close.
  info_ = new QLabel(this);
  statusBar()->addWidget(info_, 1);
  const char* panels[5] = {"", "Zoom In", "Zoom Out", "Default", "Close"};
  for (int k = 1; k < 5; ++k) {
    panels_[k] = new QPushButton(panels[k], this);
    panels_[k]->setFlat(true);
    statusBar()->addPermanentWidget(panels_[k]);
  }
  connect(panels_[1], &QPushButton::clicked, this, [this] { SetRange(TuneZoomIn(range_.count)); });
  connect(panels_[2], &QPushButton::clicked, this, [this] { SetRange(TuneZoomOut(range_.count)); });
  connect(panels_[3], &QPushButton::clicked, this, [this] { SetRange(TuneDefaultRange(width())); });
  connect(panels_[4], &QPushButton::clicked, this, &QWidget::close);
  BuildChart();
  range_ = TuneSetRange(TuneDefaultRange(width()), 1, static_cast<int64_t>(series_.sizes.size()));
  ApplyRange();
}

void Ttunef::showEvent(QShowEvent* event) {
  // The first showing knows the window's width: the default range follows it.
  if (!shown_) {
    shown_ = true;
    range_ = TuneSetRange(TuneDefaultRange(width()), 1, static_cast<int64_t>(series_.sizes.size()));
    ApplyRange();
  }
  QMainWindow::showEvent(event);
}

void Ttunef::BuildChart() {
  const QString file = QString::fromStdString(series_.file);
  setWindowTitle("Vidzo Analyze: " + file);
  chart_->removeAllSeries();
  // Axes the chart lets go of are the window's to delete.
  for (auto* axis : chart_->axes()) {
    chart_->removeAxis(axis);
    delete axis;
  }
  chart_->setTitle(file);
  const bool per_second = mode_ == TuneMode::kBytesPerSecond;
  mode_action_->setText(per_second ? "Show as Bytes Per Frame" : "Show as Bytes Per Second");
  info_->setText(per_second ? "Bytes Per Second" : "Bytes Per Frame");
  const char* names[5] = {per_second ? "Frame rate" : "Frame size", "1 Second Ave.", "1x CD-ROM", "2x CD-ROM",
                          "4x CD-ROM"};
  const QColor colours[5] = {QColor(200, 0, 0), QColor(128, 0, 128), QColor(0, 255, 255), QColor(0, 0, 255),
                             QColor(0, 255, 0)};
  const auto frames = static_cast<qreal>(series_.sizes.size());
  for (int k = 0; k < 5; ++k) {
    lines_[k] = new QLineSeries(chart_);
    lines_[k]->setName(names[k]);
    QPen pen(colours[k]);
    pen.setWidth(2);
    lines_[k]->setPen(pen);
  }
  QList<QPointF> points[2];
  for (size_t i = 0; i < series_.sizes.size(); ++i) {
    points[0].append(QPointF(static_cast<qreal>(i + 1), static_cast<qreal>(series_.frame_points[i])));
    points[1].append(QPointF(static_cast<qreal>(i + 1), static_cast<qreal>(series_.second_points[i])));
  }
  lines_[0]->replace(points[0]);
  lines_[1]->replace(points[1]);
  for (int k = 0; k < 3; ++k) {
    lines_[2 + k]->append(1, series_.reference[k]);
    lines_[2 + k]->append(std::max<qreal>(frames, 2), series_.reference[k]);
  }
  x_axis_ = new QValueAxis(chart_);
  x_axis_->setTitleText("Frame");
  x_axis_->setLabelFormat("%.0f");
  x_axis_->setTickType(QValueAxis::TicksDynamic);
  x_axis_->setTickAnchor(1);
  y_axis_ = new QValueAxis(chart_);
  y_axis_->setTitleText(per_second ? "Bytes per second" : "Bytes per frame");
  y_axis_->setLabelFormat("%.0f");  // localized whole numbers are formatted as floating ones
  y_axis_->setRange(0, static_cast<qreal>(series_.maximum));
  y_axis_->setTickCount(6);
  chart_->addAxis(x_axis_, Qt::AlignBottom);
  chart_->addAxis(y_axis_, Qt::AlignLeft);
  for (auto* line : lines_) {
    chart_->addSeries(line);
    line->attachAxis(x_axis_);
    line->attachAxis(y_axis_);
  }
  ApplySwitches();
}

void Ttunef::ApplySwitches() {
  for (int k = 0; k < 3; ++k) lines_[2 + k]->setVisible(switches_[k]->isChecked());
  lines_[1]->setVisible(switches_[3]->isChecked());
  x_axis_->setGridLineVisible(switches_[4]->isChecked());
  y_axis_->setGridLineVisible(switches_[4]->isChecked());
  chart_->legend()->setVisible(switches_[5]->isChecked());
  lines_[0]->setPointLabelsVisible(switches_[6]->isChecked());
  lines_[0]->setPointLabelsFormat("@yPoint");
}

void Ttunef::SetRange(int64_t k) {
  range_ = TuneSetRange(k, range_.left, static_cast<int64_t>(series_.sizes.size()));
  ApplyRange();
}

void Ttunef::ApplyRange() {
  const auto frames = static_cast<int64_t>(series_.sizes.size());
  x_axis_->setRange(static_cast<qreal>(range_.left), static_cast<qreal>(range_.left + range_.count - 1));
  // Whole frame numbers, about ten of them.
  int64_t step = 1;
  for (int64_t decade = 1; range_.count / step > 10; decade *= 10)
    for (int64_t f : {1, 2, 5})
      if (range_.count / (step = f * decade) <= 10) break;
  x_axis_->setTickInterval(static_cast<qreal>(step));
  const QSignalBlocker block(scroll_);
  scroll_->setRange(0, static_cast<int>(std::clamp<int64_t>(range_.ScrollMaximum(frames), 0, INT32_MAX)));
  scroll_->setPageStep(static_cast<int>(std::clamp<int64_t>(range_.ScrollPage(), 1, INT32_MAX)));
  scroll_->setValue(static_cast<int>(std::min<int64_t>(range_.left - 1, INT32_MAX)));
}

bool Ttunef::ToggleMode() {
  const TuneMode mode =
      mode_ == TuneMode::kBytesPerSecond ? TuneMode::kBytesPerFrame : TuneMode::kBytesPerSecond;
  // The file is read again: it may have changed since.
  auto series = LoadTuneSeries(series_.file, mode);
  if (!series) {
    QMessageBox::warning(this, windowTitle(), QString::fromUtf8(kTuneLoadError.data()));
    return false;
  }
  series_ = std::move(*series);
  mode_ = mode;
  const int64_t count = range_.count;
  BuildChart();
  range_ = TuneSetRange(count, 1, static_cast<int64_t>(series_.sizes.size()));
  ApplyRange();
  return true;
}

void Ttunef::PointsToClipboard() {
  QGuiApplication::clipboard()->setText(QString::fromStdString(TunePointsText(series_)));
}

void Ttunef::GraphToClipboard() {
  QGuiApplication::clipboard()->setPixmap(view_->grab());
}

bool Ttunef::PrintGraph(const QString& pdf) {
  auto paint = [this](QPagedPaintDevice& device) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const QRect page = painter.viewport();
    view_->render(&painter, QRectF(page), view_->viewport()->rect(), Qt::KeepAspectRatio);
    return painter.end();
  };
  if (!pdf.isEmpty()) {
    QPdfWriter writer(pdf);
    writer.setPageOrientation(QPageLayout::Landscape);
    writer.setTitle(windowTitle());
    return paint(writer);
  }
  QPrinter printer;
  printer.setPageOrientation(QPageLayout::Landscape);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  return paint(printer);
}

void Ttunef::ShowFrame(int64_t frame) {
  last_frame_text_ = QString::fromStdString(TuneFrameText(series_, frame));
  if (last_frame_text_.isEmpty()) return;
  auto* box =
      new QMessageBox(QMessageBox::Information, windowTitle(), last_frame_text_, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace vidzoerw

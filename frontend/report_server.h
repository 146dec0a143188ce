// The front end's end of the report channel: a Unix-domain socket named
// after the process id, on which the programs it started ask for its
// caption, say hello (10019, answered 0: report back), tell of a restored
// status window (2304) and send their reports (copy-data). Every peer's
// bytes go through the shared record reader; a peer whose stream is
// malformed is disconnected and nothing it sent after is looked at.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <cstdint>

namespace vidzoerw {

class ReportServer : public QObject {
  Q_OBJECT

 public:
  explicit ReportServer(QObject* parent = nullptr);
  ~ReportServer() override;
  // Listens as front end `id`; false when the socket cannot be made.
  bool Listen(uint32_t id);
  uint32_t Id() const { return id_; }
  QString Path() const { return path_; }
  // Connections dropped for malformed records so far.
  int Dropped() const { return dropped_; }

 signals:
  void CopyDataReceived(uint32_t identifier, const QString& text);
  void RestoreRequested();

 private:
  void Accept();
  QLocalServer server_;
  uint32_t id_ = 0;
  QString path_;
  int dropped_ = 0;
};

}  // namespace vidzoerw

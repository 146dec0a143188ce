#include "frontend/report_server.h"

#include <QLocalSocket>
#include <cstring>
#include <memory>

#include "platform/report_channel.h"

namespace vidzoerw {

ReportServer::ReportServer(QObject* parent) : QObject(parent) {
  connect(&server_, &QLocalServer::newConnection, this, &ReportServer::Accept);
}

ReportServer::~ReportServer() {
  server_.close();
}

bool ReportServer::Listen(uint32_t id) {
  id_ = id;
  path_ = QString::fromStdString(platform::ReportSocketPath(id));
  QLocalServer::removeServer(path_);  // a socket file left by an earlier process of this id
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  return server_.listen(path_);
}

void ReportServer::Accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    auto reader = std::make_shared<platform::ReportRecordReader>();
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] {
      const QByteArray bytes = socket->readAll();
      reader->Feed(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
      platform::ReportRecord record;
      for (;;) {
        const auto result = reader->Next(record);
        if (result == platform::ReportRecordReader::Result::kNeedMore) return;
        if (result == platform::ReportRecordReader::Result::kMalformed) {
          ++dropped_;
          socket->abort();
          return;
        }
        if (record.kind == platform::kReportCaption) {
          const std::string caption = platform::kFrontEndCaption;
          const auto answer = platform::EncodeReportRecord(platform::kReportCaption, 0, caption.data(),
                                                           static_cast<uint32_t>(caption.size()));
          socket->write(reinterpret_cast<const char*>(answer.data()), static_cast<qint64>(answer.size()));
        } else if (record.kind == platform::kReportMessage) {
          // Hello (10019) gets no answer of its own: the result 0 means
          // "report back". A restored status window brings us back too.
          if (record.identifier == platform::kReportRestored) emit RestoreRequested();
          const uint8_t result[4] = {0, 0, 0, 0};
          const auto answer =
              platform::EncodeReportRecord(platform::kReportMessage, record.identifier, result, 4);
          socket->write(reinterpret_cast<const char*>(answer.data()), static_cast<qint64>(answer.size()));
        } else if (record.kind == platform::kReportCopyData) {
          emit CopyDataReceived(record.identifier, QString::fromLocal8Bit(platform::ReportText(record.data)));
        }
      }
    });
    if (socket->bytesAvailable() > 0) emit socket->readyRead();
  }
}

}  // namespace vidzoerw

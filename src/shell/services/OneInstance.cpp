#include "shell/services/OneInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QtEndian>
#include <cstring>

namespace qm {
namespace {

constexpr char kMagic[4] = {'Q', 'M', 'H', 'O'};
constexpr char kAck = '\x01';
// A command line holds a few thousand names at most, each at most a few kilobytes:
// anything larger is not one of ours.
constexpr uint32_t kMaxNames = 4096;
constexpr uint32_t kMaxNameBytes = 64 * 1024;
constexpr qsizetype kMaxMessageBytes = 16 * 1024 * 1024;
constexpr int kDefaultTimeoutMs = 10000;

int TimeoutFromEnvironment() {
  bool ok = false;
  const int ms = qEnvironmentVariableIntValue("QM_HANDOVER_TIMEOUT_MS", &ok);
  return ok && ms > 0 ? ms : kDefaultTimeoutMs;
}

void AppendU32(QByteArray& out, uint32_t v) {
  char b[4];
  qToLittleEndian(v, b);
  out.append(b, 4);
}

}  // namespace

TOneInstance::TOneInstance(QString folder, QString name)
    : TimeoutMs(TimeoutFromEnvironment()), folder_(std::move(folder)), name_(std::move(name)) {
  if (folder_.isEmpty()) folder_ = RuntimeFolder();
}

TOneInstance::~TOneInstance() = default;

QString TOneInstance::RuntimeFolder() {
  const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!xdg.isEmpty() && QFileInfo(xdg).isDir()) return xdg;
  return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

QString TOneInstance::ServerPath() const { return folder_.isEmpty() ? QString() : folder_ + '/' + name_; }

QByteArray TOneInstance::EncodeFiles(const std::vector<std::string>& files) {
  QByteArray out(kMagic, 4);
  const size_t count = std::min<size_t>(files.size(), kMaxNames);
  AppendU32(out, uint32_t(count));
  for (size_t i = 0; i < count; ++i) {
    const QString absolute =
        QDir::cleanPath(QFileInfo(QDir::current(), QString::fromStdString(files[i])).absoluteFilePath());
    QByteArray utf8 = absolute.toUtf8();
    if (utf8.size() > qsizetype(kMaxNameBytes)) utf8.clear();  // no file has such a name
    AppendU32(out, uint32_t(utf8.size()));
    out.append(utf8);
  }
  return out;
}

int TOneInstance::DecodeFiles(const QByteArray& bytes, std::vector<std::string>& files) {
  files.clear();
  if (bytes.size() > kMaxMessageBytes) return -1;
  const qsizetype head = std::min<qsizetype>(bytes.size(), 4);
  if (std::memcmp(bytes.constData(), kMagic, size_t(head)) != 0) return -1;
  if (bytes.size() < 8) return 0;
  const uint32_t count = qFromLittleEndian<uint32_t>(bytes.constData() + 4);
  if (count > kMaxNames) return -1;
  qsizetype at = 8;
  for (uint32_t i = 0; i < count; ++i) {
    if (bytes.size() - at < 4) return 0;
    const uint32_t length = qFromLittleEndian<uint32_t>(bytes.constData() + at);
    at += 4;
    if (length > kMaxNameBytes) return -1;
    if (bytes.size() - at < qsizetype(length)) return 0;
    files.emplace_back(bytes.constData() + at, size_t(length));
    at += length;
  }
  if (at != bytes.size()) return -1;  // a sender writes one message, nothing after it
  return 1;
}

THandOverResult TOneInstance::Start(const std::vector<std::string>& files) {
  if (folder_.isEmpty() || !QFileInfo(folder_).isDir()) return THandOverResult::Independent;
  // One start at a time decides: a lock left by a process that died is taken over.
  QLockFile lock(ServerPath() + QStringLiteral(".lock"));
  if (!lock.tryLock(TimeoutMs)) return THandOverResult::Independent;

  QLocalSocket socket;
  socket.connectToServer(ServerPath());
  if (socket.waitForConnected(TimeoutMs)) {
    // A receiver that takes the names but never answers may still be busy with them:
    // this start runs on its own rather than take the name from under it.
    return Send(socket, EncodeFiles(files)) ? THandOverResult::HandedOver : THandOverResult::Independent;
  }
  switch (socket.error()) {
    case QLocalSocket::ServerNotFoundError:
      break;
    case QLocalSocket::ConnectionRefusedError:
      // The socket of a receiver that was killed: nobody listens behind it.
      QLocalServer::removeServer(ServerPath());
      break;
    default:
      return THandOverResult::Independent;
  }
  return Listen() ? THandOverResult::Receiver : THandOverResult::Independent;
}

bool TOneInstance::Send(QLocalSocket& socket, const QByteArray& message) {
  if (socket.write(message) != message.size()) return false;
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(TimeoutMs)) return false;
  if (!socket.waitForReadyRead(TimeoutMs)) return false;
  char answer = 0;
  const bool taken = socket.read(&answer, 1) == 1 && answer == kAck;
  socket.disconnectFromServer();
  return taken;
}

bool TOneInstance::Listen() {
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(ServerPath())) {
    server_.reset();
    return false;
  }
  connect(server_.get(), &QLocalServer::newConnection, this, [this] { Accept(); });
  return true;
}

void TOneInstance::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // The bytes so far live on the socket until the message is whole.
    auto buffer = std::make_shared<QByteArray>();
    auto read = [this, socket, buffer] {
      buffer->append(socket->readAll());
      std::vector<std::string> files;
      const int state = DecodeFiles(*buffer, files);
      if (state == 0) return;
      if (state < 0) {
        socket->abort();
        return;
      }
      socket->write(&kAck, 1);
      socket->flush();
      // Opened after the sender has its answer, from the event loop: a message box
      // about one file never keeps the sender waiting.
      QMetaObject::invokeMethod(
          this, [this, files = std::move(files)] {
            if (OnFiles) OnFiles(files);
          },
          Qt::QueuedConnection);
    };
    connect(socket, &QLocalSocket::readyRead, this, read);
    if (socket->bytesAvailable() > 0) read();
  }
}

}  // namespace qm

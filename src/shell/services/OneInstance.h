#pragma once
// The single-instance hand-over: when the settings ask for one running editor, a later
// start gives its command line's files to the first one and ends.
//
// The channel is a local socket in the user's runtime folder ($XDG_RUNTIME_DIR, else
// Qt's runtime location). A lock file beside it serialises the starts: the one holding
// the lock either reaches a running receiver, or (none answering) becomes the receiver
// itself, so two starts never both listen nor both hand over. A socket left by a killed
// receiver refuses connections: it is removed and the start goes on as the receiver.
//
// The message, all integers little-endian: "QMHO", a 32-bit count, then each name as a
// 32-bit byte length and its UTF-8 bytes, absolute and uncut. The receiver answers one
// byte once it has read the whole message, before it opens anything, so a slow or
// failing open never makes a sender time out and open the files a second time.
//
// Nothing here writes outside the runtime folder; a start that cannot make the
// channel (no runtime folder, no lock, no socket) simply runs as an independent
// instance.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

namespace qm {

enum class THandOverResult {
  Receiver,     // this process listens: later starts hand their files to it
  HandedOver,   // a running instance took the files: this start ends
  Independent,  // no channel: this process runs on its own
};

class TOneInstance : public QObject {
 public:
  // folder: where the socket and its lock live (empty: the user's runtime folder).
  explicit TOneInstance(QString folder = {}, QString name = QStringLiteral("quillomatic-handover"));
  ~TOneInstance() override;
  TOneInstance(const TOneInstance&) = delete;
  TOneInstance& operator=(const TOneInstance&) = delete;

  // How long a sender waits to connect, for the answer, and for the lock (each);
  // QM_HANDOVER_TIMEOUT_MS overrides the default for tests.
  int TimeoutMs;

  // Called on the GUI thread with the names a later start handed over (possibly none:
  // the first instance is only brought forward). Names arrive as the sender made them
  // absolute; the receiver decides how many it opens.
  std::function<void(const std::vector<std::string>& files)> OnFiles;

  // Hands files (made absolute against the current folder) to a running instance, or
  // becomes the receiver, or neither. Called once.
  THandOverResult Start(const std::vector<std::string>& files);

  // The socket's path, for diagnostics and tests.
  QString ServerPath() const;
  // The user's runtime folder: $XDG_RUNTIME_DIR, else Qt's runtime location.
  static QString RuntimeFolder();

  // The message for these names, and its reading; false on anything malformed or
  // larger than the limits. Both sides trust no byte of the other.
  static QByteArray EncodeFiles(const std::vector<std::string>& files);
  // 1: complete and read; 0: more bytes needed; -1: malformed.
  static int DecodeFiles(const QByteArray& bytes, std::vector<std::string>& files);

 private:
  bool Send(QLocalSocket& socket, const QByteArray& message);
  bool Listen();
  void Accept();

  QString folder_, name_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace qm

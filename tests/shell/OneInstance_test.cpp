// The single-instance hand-over: the real program started twice, and the channel's
// failures (a socket left by a killed editor, an editor that never answers, messages
// that are not ours).
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "imagefiles/FileDispatch.h"
#include "shell/services/OneInstance.h"
#include "support/QtTestApp.h"
#include "support/TempFiles.h"

using namespace qm;
using namespace qm::test;

namespace {

// A unix socket bound and closed without being removed: what a killed receiver leaves.
void LeaveStaleSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof addr.sun_path);
  std::memcpy(addr.sun_path, path.c_str(), path.size());
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ::close(fd);
}

#ifdef QM_PROGRAM_PATH
// The program with settings, user folders and runtime folder of the test's own.
struct Program {
  TempFolder Root{"handover"};
  std::string Home = Root.File("home"), Run = Root.File("run");

  Program() {
    std::filesystem::create_directories(Home);
    std::filesystem::create_directories(Run);
    std::filesystem::permissions(Run, std::filesystem::perms::owner_all);
    Root.Write("home/Quillomatic.ini", "[Params]\nRunMulti=0\n");
  }
  std::unique_ptr<QProcess> Start(const QStringList& args, const std::string& workingFolder) {
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QM_HOME", QString::fromStdString(Home));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(Run));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(QString::fromStdString(workingFolder));
    p->start(QStringLiteral(QM_PROGRAM_PATH), args);
    EXPECT_TRUE(p->waitForStarted(10000));
    return p;
  }
  // Waits until the receiver printed its open documents after a hand-over.
  static std::vector<std::string> HandedOverDocuments(QProcess& receiver) {
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains("\n\n") && !(out.startsWith('\n')) && clock.elapsed() < 30000) {
      receiver.waitForReadyRead(500);
      out += receiver.readAllStandardOutput();
    }
    std::vector<std::string> names;
    for (const QByteArray& line : out.split('\n'))
      if (!line.isEmpty()) names.push_back(line.toStdString());
    std::sort(names.begin(), names.end());
    return names;
  }
  // A receiver accepts connections (a stale socket only refuses them).
  bool Listening() const {
    QLocalSocket probe;
    probe.connectToServer(QString::fromStdString(Run + "/quillomatic-handover"));
    return probe.waitForConnected(200);
  }
  bool WaitListening() const {
    QElapsedTimer clock;
    clock.start();
    while (!Listening() && clock.elapsed() < 30000) QThread::msleep(20);
    return Listening();
  }
};
#endif

}  // namespace

TEST(OneInstance, MessagesCarryEveryNameWholeAndRefuseWhatIsNotOurs) {
  // Relative names made absolute against the current folder, long ones never cut.
  const std::string longName = "/tmp/" + std::string(300, 'e') + "\xC3\xA9t\xC3\xA9.png";
  const QByteArray message = TOneInstance::EncodeFiles({"a b.png", longName, "../x/./y.jpg"});
  std::vector<std::string> files;
  ASSERT_EQ(TOneInstance::DecodeFiles(message, files), 1);
  const std::filesystem::path here = std::filesystem::current_path();
  EXPECT_EQ(files, (std::vector<std::string>{(here / "a b.png").string(), longName,
                                             (here.parent_path() / "x/y.jpg").string()}));
  // Any cut of a whole message asks for more; nothing after it, no other magic, no
  // absurd count or length is accepted.
  for (qsizetype n = 0; n < message.size(); ++n)
    EXPECT_EQ(TOneInstance::DecodeFiles(message.left(n), files), 0) << n;
  EXPECT_EQ(TOneInstance::DecodeFiles(message + "x", files), -1);
  EXPECT_EQ(TOneInstance::DecodeFiles("QMHX", files), -1);
  EXPECT_EQ(TOneInstance::DecodeFiles(QByteArray("QMHO\xFF\xFF\xFF\xFF", 8), files), -1);
  EXPECT_EQ(TOneInstance::DecodeFiles(QByteArray("QMHO\x01\0\0\0\xFF\xFF\xFF\x7F", 12), files), -1);
  EXPECT_EQ(TOneInstance::DecodeFiles(TOneInstance::EncodeFiles({}), files), 1);
  EXPECT_TRUE(files.empty());
}

TEST(OneInstance, AStaleSocketIsRemovedAndASilentReceiverIsNotWaitedForever) {
  App();
  TempFolder run("handover-run");
  {
    // A killed receiver's socket: this start becomes the receiver.
    LeaveStaleSocket(run.File("quillomatic-handover"));
    TOneInstance first(QString::fromStdString(run.Path.string()));
    first.TimeoutMs = 2000;
    EXPECT_EQ(first.Start({"a.png"}), THandOverResult::Receiver);
  }
  {
    // A receiver that takes the connection and never answers: after the timeout the
    // start runs on its own, and leaves the other's socket alone.
    QLocalServer silent;
    ASSERT_TRUE(silent.listen(QString::fromStdString(run.File("quillomatic-handover"))));
    TOneInstance second(QString::fromStdString(run.Path.string()));
    second.TimeoutMs = 300;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(second.Start({"a.png"}), THandOverResult::Independent);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(silent.isListening());
  }
  // No runtime folder at all: an independent start, never a failure.
  TOneInstance nowhere(QString::fromStdString(run.File("missing")));
  EXPECT_EQ(nowhere.Start({}), THandOverResult::Independent);
}

#ifdef QM_PROGRAM_PATH
TEST(OneInstance, ASecondStartHandsItsFilesToTheFirstAndEnds) {
  Program program;
  const std::string pictures = program.Root.File("pictures"), elsewhere = program.Root.File("elsewhere");
  std::filesystem::create_directories(pictures);
  std::filesystem::create_directories(elsewhere);
  QStringList relative;
  std::vector<std::string> expected;
  for (int i = 0; i < 25; ++i) {
    const std::string name = "p" + std::to_string(10 + i) + ".bmp";
    TBitmap b(8 + i, 6, pf24bit, RGB(i * 9, 40, 200));
    ASSERT_EQ(SavePicture(pictures + "/" + name, b, TSaveRequest{}).Result, frDone);
    relative << QString::fromStdString("../pictures/" + name);
    if (i < 20) expected.push_back(std::filesystem::path(pictures + "/" + name).lexically_normal().string());
  }
  std::sort(expected.begin(), expected.end());

  std::unique_ptr<QProcess> first = program.Start({"--print-handed-over"}, program.Root.Path.string());
  ASSERT_TRUE(program.WaitListening());
  const std::vector<uint8_t> settings = ReadFileBytes(program.Home + "/Quillomatic.ini");

  std::unique_ptr<QProcess> second = program.Start(relative, elsewhere);
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().toStdString();
  EXPECT_EQ(Program::HandedOverDocuments(*first), expected);
  EXPECT_EQ(ReadFileBytes(program.Home + "/Quillomatic.ini"), settings);

  // Killed, the first leaves its socket behind; the next start takes its place and
  // receives the one after it.
  first->kill();
  first->waitForFinished(10000);
  ASSERT_TRUE(std::filesystem::exists(program.Run + "/quillomatic-handover"));
  ASSERT_FALSE(program.Listening());
  std::unique_ptr<QProcess> third = program.Start({"--print-handed-over"}, elsewhere);
  ASSERT_TRUE(program.WaitListening());
  std::unique_ptr<QProcess> fourth = program.Start({"../pictures/p10.bmp"}, elsewhere);
  ASSERT_TRUE(fourth->waitForFinished(20000));
  EXPECT_EQ(fourth->exitCode(), 0);
  EXPECT_EQ(Program::HandedOverDocuments(*third), std::vector<std::string>{expected.front()});
  third->kill();
  third->waitForFinished(10000);
}
#endif

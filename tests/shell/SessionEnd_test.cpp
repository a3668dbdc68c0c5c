// How the editor starts and ends as the desktop sees it: a signal ends it at once with
// its settings written, even while its question about unsaved changes waits; the
// desktop's logout asks that question first; a first start places the window for the
// screen. The signals and the first start run the editor in a process of its own: this
// test program again, told by QM_SESSION_CHILD which part to play.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStyleOptionComboBox>
#include <QToolBar>
#include <QToolButton>
#include <csignal>
#include <cstdio>

#include "shell/main/Termination.h"
#include "shell/services/MsgDlg.h"
#include "support/MainFormFixture.h"

using namespace qm;
using namespace qm::test;

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// The child's part "signal": a new picture (never saved), the window closed, its
// question shown by the real message box and left waiting; then, once told to end, the
// settings it wrote.
void WaitForTheSignal() {
  Editor e;
  e.WriteSettings("[Params]\nHistory=7\n");
  TMainForm& form = e.Start();
  e.NewDocument(Picture(64, 48, 7));
  InstallMessageDialog();
  EndOnTerminationSignals(App());
  QTimer::singleShot(0, &form, [&form] { form.close(); });
  QTimer asking;
  QObject::connect(&asking, &QTimer::timeout, [&asking] {
    if (QApplication::activeModalWidget()) {
      asking.stop();
      Say("asking");
    }
  });
  asking.start(10);
  App().exec();
  e.Form.reset();
  const std::vector<uint8_t> bytes = ReadFileBytes(e.SettingsFile());
  Say("settings " + QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())))
                        .simplified()
                        .toStdString());
}

// The child's part "firststart": the window as a start without settings places it, and
// what does not show whole: a tool bar's buttons (its extension button shown), the zoom
// box's texts.
void FirstStart() {
  Editor e;
  e.Form = std::make_unique<TMainForm>(e.Options);
  e.Form->show();
  QTest::qWaitForWindowExposed(e.Form.get());
  QApplication::processEvents();
  const QRect g = e.Form->geometry(), s = e.Form->screen()->availableGeometry();
  Say(QStringLiteral("window %1 %2 %3 %4 screen %5 %6")
          .arg(g.x())
          .arg(g.y())
          .arg(g.width())
          .arg(g.height())
          .arg(s.width())
          .arg(s.height())
          .toStdString());
  for (QToolBar* bar : e.Form->findChildren<QToolBar*>())
    for (QToolButton* b : bar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
      if (bar->isVisible() && b->isVisible()) Say("cut " + bar->objectName().toStdString());
  // the zoom box's items where its style writes them ("Ajuster à la fenêtre" is shown
  // without a document), in its font
  auto* zoom = e.Form->findChild<QComboBox*>(QStringLiteral("EdiZoom"));
  if (!zoom) return Say("cut EdiZoom: none");
  QStyleOptionComboBox o;
  o.initFrom(zoom);
  o.frame = true;
  const QRect field = zoom->style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, zoom);
  for (int i = 0; i < zoom->count(); ++i)
    if (zoom->fontMetrics().horizontalAdvance(zoom->itemText(i)) > field.width() - 2)
      Say("cut EdiZoom: " + zoom->itemText(i).toStdString());
}

// This test program, playing the part; its output once it ends (or is ended).
struct Child {
  QProcess Process;
  explicit Child(const char* part, const QString& platform = QStringLiteral("offscreen")) {
    App();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QM_SESSION_CHILD", part);
    env.insert("QT_QPA_PLATFORM", platform);
    Process.setProcessEnvironment(env);
    Process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=SessionEnd.Part")});
  }
};

}  // namespace

// Not a test of its own: the part a child process plays (nothing without one).
TEST(SessionEnd, Part) {
  const QByteArray part = qgetenv("QM_SESSION_CHILD");
  if (part == "signal") WaitForTheSignal();
  else if (part == "firststart") FirstStart();
}

TEST(SessionEnd, ASignalEndsTheEditorAtOnceWhileItsQuestionWaits) {
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    Child child("signal");
    ASSERT_TRUE(child.Process.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("asking") && child.Process.waitForReadyRead(60000)) out += child.Process.readAllStandardOutput();
    ASSERT_TRUE(out.contains("asking")) << out.toStdString();
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(child.Process.processId()), signal);
    // the editor has ended once it has written its settings; what the test program does
    // after (its own teardown, the leak check of a sanitised build) is not the editor's
    while (!out.contains("settings ") && child.Process.waitForReadyRead(20000))
      out += child.Process.readAllStandardOutput();
    EXPECT_LT(clock.elapsed(), 1000);
    ASSERT_TRUE(child.Process.waitForFinished(20000));
    EXPECT_EQ(child.Process.exitStatus(), QProcess::NormalExit);
    out += child.Process.readAllStandardOutput();
    EXPECT_TRUE(out.contains("History=7")) << out.toStdString();
    EXPECT_TRUE(out.contains("[Position]")) << out.toStdString();
  }
}

TEST(SessionEnd, TheLogoutAsksAboutEachModifiedDocumentAndCancelRefusesIt) {
  Editor e;
  TMainForm& form = e.Start();
  e.NewDocument(Picture(32, 24, 3));
  // the session manager does not let the program ask: nothing is asked, nothing refused
  EXPECT_TRUE(form.CommitSession(false));
  EXPECT_TRUE(e.Messages.empty());
  e.Answer = [](const std::string&, int) { return int(mrCancel); };
  EXPECT_FALSE(form.CommitSession(true));
  EXPECT_TRUE(e.Said(TextId::GetTrDlgImage10));
  e.Answer = [](const std::string&, int) { return int(mrNo); };
  EXPECT_TRUE(form.CommitSession(true));
  EXPECT_EQ(e.Services().Windows().Count(), 1);  // the end closes it, not the question
}

TEST(SessionEnd, AFirstStartShowsEveryToolBarWholeCentredOnMostOfTheScreen) {
  TempFolder folder("firststart");
  const std::string config =
      folder.Write("screen.json", R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": 1600, "height": 1000,
                                      "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  Child child("firststart", QStringLiteral("offscreen:configfile=") + QString::fromStdString(config));
  ASSERT_TRUE(child.Process.waitForFinished(60000));
  const QString out = QString::fromLocal8Bit(child.Process.readAllStandardOutput());
  const QRegularExpressionMatch m =
      QRegularExpression(QStringLiteral("window (-?\\d+) (-?\\d+) (\\d+) (\\d+) screen (\\d+) (\\d+)")).match(out);
  ASSERT_TRUE(m.hasMatch()) << out.toStdString();
  const int x = m.captured(1).toInt(), y = m.captured(2).toInt(), w = m.captured(3).toInt(),
            h = m.captured(4).toInt();
  EXPECT_EQ(m.captured(5).toInt(), 1600);
  EXPECT_GE(w, 1600 * 85 / 100);
  EXPECT_GE(h, 1000 * 85 / 100);
  EXPECT_NEAR(x + w / 2, 800, 2);
  EXPECT_NEAR(y + h / 2, 500, 2);
  EXPECT_FALSE(out.contains("cut ")) << out.toStdString();
}

#include "shell/ShellOps.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#include "platform/core/Messages.h"
#include "platform/texts/UiTexts.h"

namespace qm {
namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

bool OpenWithAssociatedProgram(const std::string& pathOrUrl) {
  if (pathOrUrl.empty()) return false;
  const QString s = Q(pathOrUrl);
  const QUrl url = QFileInfo::exists(s) ? QUrl::fromLocalFile(QFileInfo(s).absoluteFilePath()) : QUrl(s);
  if (!url.isValid()) return false;
  return QDesktopServices::openUrl(url);
}

bool CopyFileTo(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty() || QFileInfo::exists(Q(target))) return false;
  return QFile::copy(Q(source), Q(target));
}

bool MoveFileTo(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty() || QFileInfo::exists(Q(target))) return false;
  return QFile::rename(Q(source), Q(target));
}

bool DeleteToRecycleBin(const std::string& name, bool confirm) {
  if (name.empty() || !QFileInfo::exists(Q(name))) return false;
  if (confirm && ShowMessageDialog(Tr(TextId::GetTrDlgExplore1), mtConfirmation, mbYes | mbNo) != mrYes) return false;
  return QFile::moveToTrash(Q(name));
}

std::string BrowseForFolder(const std::string& title, const std::string& initial) {
  return QFileDialog::getExistingDirectory(QApplication::activeWindow(), Q(title), Q(initial),
                                           QFileDialog::ShowDirsOnly)
      .toStdString();
}

}  // namespace qm

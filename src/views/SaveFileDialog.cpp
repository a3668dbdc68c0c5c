#include "views/SaveFileDialog.h"

#include <QFileDialog>
#include <QStringList>

namespace qm {

bool ShowSaveFileDialog(QWidget* parent, const TSavePictureRequest& request, std::string& fileName) {
  // "Icône (*.ico)|*.ico|..." names each entry by its description, which holds its masks.
  const QStringList parts = QString::fromStdString(request.Filter).split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString masks = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << (parts[i].contains(QLatin1Char('(')) ? parts[i] : parts[i] + QStringLiteral(" (") + masks + QLatin1Char(')'));
  }
  QFileDialog dialog(parent, QString::fromStdString(request.Title));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters);
  if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size())
    dialog.selectNameFilter(filters[request.FilterIndex - 1]);
  QString ext = QString::fromStdString(request.DefaultExt);
  if (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
  dialog.setDefaultSuffix(ext);
  if (!request.InitialDir.empty()) dialog.setDirectory(QString::fromStdString(request.InitialDir));
  if (!request.FileName.empty()) dialog.selectFile(QString::fromStdString(request.FileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  fileName = dialog.selectedFiles().first().toStdString();
  return true;
}

}  // namespace qm

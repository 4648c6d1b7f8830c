#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace torv {

namespace {
// Over the settings editor when it is open, else over the console.
QWidget* ownerFor(QWidget* fallback)
{
    QWidget* modal = QApplication::activeModalWidget();
    return modal ? modal : fallback;
}
} // namespace

Dialogs::Answer QtDialogs::messageBox(const std::string& text, bool withCancel)
{
    QMessageBox box(QMessageBox::NoIcon, "TORV", QString::fromLocal8Bit(text.c_str()),
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, ownerFor(parent));
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

void QtDialogs::showSettingsEditor()
{
    if (settingsEditor)
        settingsEditor();
}

std::string QtDialogs::openFile(const OpenFileRequest& request)
{
    QStringList filters;
    for (const std::string& f : request.filters)
        filters << QString::fromLocal8Bit(f.c_str());
    QFileDialog dialog(ownerFor(parent), QString::fromLocal8Bit(request.title.c_str()),
                       QString::fromLocal8Bit(request.initialDir.c_str()));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (request.selectedFilter < static_cast<size_t>(filters.size()))
        dialog.selectNameFilter(filters[static_cast<qsizetype>(request.selectedFilter)]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst().toLocal8Bit().toStdString();
}

} // namespace torv

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
    QMessageBox box(QMessageBox::NoIcon, "TORV", QString::fromUtf8(text.c_str()),
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
        filters << QString::fromUtf8(f.c_str());
    QFileDialog dialog(ownerFor(parent), QString::fromUtf8(request.title.c_str()),
                       QString::fromUtf8(request.initialDir.c_str()));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(filters);
    if (request.selectedFilter < static_cast<size_t>(filters.size()))
        dialog.selectNameFilter(filters[static_cast<qsizetype>(request.selectedFilter)]);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst().toUtf8().toStdString();
}

} // namespace torv

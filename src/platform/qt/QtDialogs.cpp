#include "platform/qt/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace torv {

Dialogs::Answer QtDialogs::messageBox(const std::string& text, bool withCancel)
{
    QMessageBox box(QMessageBox::NoIcon, "TORV", QString::fromLocal8Bit(text.c_str()),
                    withCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
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
    QString chosen =
        QFileDialog::getOpenFileName(parent, QString::fromLocal8Bit(request.title.c_str()),
                                     QString::fromLocal8Bit(request.initialDir.c_str()), filters.join(";;"));
    return chosen.toLocal8Bit().toStdString();
}

} // namespace torv

#include "editor/EditorStandIn.h"

#include "console/Form1.h"
#include "editor/EditorSave.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace torv {

EditorStandIn::EditorStandIn(Form1& form, QWidget* parent) : QDialog(parent), form_(form)
{
    setWindowTitle("Launcher Config");
    setObjectName("Config");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromLocal8Bit(("config.ini: " + form.configPath()).c_str()), this));
    auto* row = new QHBoxLayout;
    auto* restart = new QPushButton("Ok+&Restart", this);
    auto* ok = new QPushButton("&Ok", this);
    auto* cancel = new QPushButton("&Cancel", this);
    row->addWidget(restart);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    connect(restart, &QPushButton::clicked, this, [this] {
        if (saveAndRestart(form_, editorValuesFrom(form_)))
            accept();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (saveFromEditor(form_, editorValuesFrom(form_)))
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        cancelEditor(form_);
        reject();
    });
}

} // namespace torv

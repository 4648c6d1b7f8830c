#pragma once
#include <QDialog>

namespace torv {

class Form1;

// A plain settings window until the full editor exists: it saves the console's
// current settings and closes in the three ways the editor does.
class EditorStandIn : public QDialog {
    Q_OBJECT
public:
    EditorStandIn(Form1& form, QWidget* parent = nullptr);

private:
    Form1& form_;
};

} // namespace torv

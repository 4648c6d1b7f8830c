#pragma once
// Finding and working a dialog's controls by name, as the operator would.
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <QtTest>

namespace torv::sim {

// The child control `name`; the test program ends when there is none, since
// every later step would only fail for the same reason.
template <class W> W* child(QWidget& parent, const char* name)
{
    W* w = parent.findChild<W*>(name);
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// Types into a box with its whole text selected.
inline void typeOver(QWidget& parent, const char* name, const QString& text)
{
    auto* box = child<QLineEdit>(parent, name);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
}

inline void click(QWidget& parent, const char* name)
{
    child<QPushButton>(parent, name)->click();
}

} // namespace torv::sim

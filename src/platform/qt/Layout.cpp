#include "platform/qt/Layout.h"

#include <QPushButton>

namespace torv {

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height, bool bold)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    if (bold) {
        QFont font = button->font();
        font.setBold(true);
        button->setFont(font);
    }
    place(button, left, top, width, height);
    return button;
}

} // namespace torv

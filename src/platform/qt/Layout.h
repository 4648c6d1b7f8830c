#pragma once
// Layout helpers shared by the windows. Their layouts are written in twips
// (1/1440 inch), the unit the console's design gives every position and size in.
class QPushButton;
class QWidget;

namespace torv {

// One twip is 1/15 pixel at 96 dots per inch; rounded to the nearest pixel.
constexpr int px(int twips)
{
    return (twips + 7) / 15;
}

// Sets a control's position and size from twips.
void place(QWidget* widget, int left, int top, int width, int height);

// A push button placed in twips. Neither Enter nor Escape presses it: in
// these windows only a click or the button's own key does.
QPushButton* makeButton(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
                        int height, bool bold = false);

} // namespace torv

// The yardstick of the console's start-up: a bare Qt 6 window of the console's
// size holding a plain text box, with one sound effect, nothing else.
// bench/window_startup.sh runs it beside the console; with TEXT it also shows
// that one line in its box, to tell what showing any text at all costs.
// Usage: bare_window CUE.wav [TEXT]
#include <QApplication>
#include <QPlainTextEdit>
#include <QSoundEffect>
#include <QUrl>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QSoundEffect cue;
    if (argc > 1) {
        cue.setSource(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
        cue.play();
    }
    QPlainTextEdit window;
    window.setWindowTitle("bare window");
    if (argc > 2)
        window.setPlainText(QString::fromLocal8Bit(argv[2]));
    window.resize(440, 470);
    window.show();
    return app.exec();
}

// The yardstick of the console's start-up: a bare Qt 6 window with one sound
// effect, nothing else. bench/window_startup.sh runs it beside the console.
// Usage: bare_window CUE.wav
#include <QApplication>
#include <QSoundEffect>
#include <QUrl>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QSoundEffect cue;
    if (argc > 1) {
        cue.setSource(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[1])));
        cue.play();
    }
    QWidget window;
    window.setWindowTitle("bare window");
    window.resize(500, 400);
    window.show();
    return app.exec();
}

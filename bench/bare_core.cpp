// The yardstick of the headless start-up: a bare Qt Core program that prints
// one line and waits on its loop. bench/headless.sh runs it beside the console.
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}

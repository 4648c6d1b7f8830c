#include "platform/qt/QtClock.h"

#include <QDateTime>
#include <QLocale>

namespace torv {

DateTimeFields QtClock::now() const
{
    QDateTime t = QDateTime::currentDateTime();
    return {t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(), t.time().second()};
}

long long QtClock::utcMilliseconds() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

std::string QtClock::dateText() const
{
    return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
}

std::string QtClock::timeText() const
{
    // The long time format carries the seconds; drop its time-zone field ("t"),
    // which the log's time has no place for.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString cleaned;
    bool quoted = false;
    for (QChar c : format) {
        if (c == '\'')
            quoted = !quoted;
        if (!quoted && c == 't')
            continue;
        cleaned += c;
    }
    cleaned = cleaned.trimmed();
    if (!cleaned.contains('s'))
        cleaned = "HH:mm:ss";
    return QTime::currentTime().toString(cleaned).toStdString();
}

} // namespace torv

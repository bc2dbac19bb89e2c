#include "core/PortNames.h"

#include <QRegularExpression>

QStringList comPortNames()
{
    QStringList names;
    for (int n = 1; n <= 6; ++n)
        names << QStringLiteral("COM%1").arg(n);
    return names;
}

QString systemPortName(const QString& name)
{
#ifdef Q_OS_WIN
    return name;
#else
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]*)$"));
    const QRegularExpressionMatch match = com.match(name);
    if (match.hasMatch())
        return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
    return name;
#endif
}

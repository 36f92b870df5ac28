#include "engines/flash/FlashLoaderOptions.h"

#include <QSerialPortInfo>

#include <algorithm>

QString FlashLoaderOptions::deviceOf(int port) const
{
    if (portDevice)
        return portDevice(port);
    const QString &named = port == 1 ? com1 : com2;
    if (!named.isEmpty())
        return named;
    QStringList listed;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        listed << info.systemLocation();
    std::sort(listed.begin(), listed.end());
    return port >= 1 && port <= listed.size() ? listed[port - 1] : QString();
}

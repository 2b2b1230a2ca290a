#include "RealWorldLog.h"

#include <QFile>

namespace pelmor::test {

QList<RealWorldRecord> readRealWorldLog()
{
    QFile file(QStringLiteral(PELMOR_TEST_DATA "/realworld/romerstrasse-415t3024102016.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<RealWorldRecord> records;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(';');
        if (fields.size() != 5)
            continue;
        QDateTime when =
            QDateTime::fromString(QString::fromLatin1(fields[0]), QStringLiteral("dd.MM.yy HH:mm:ss"));
        when.setTimeSpec(Qt::UTC);
        when = when.addYears(100); // Qt reads the file's two-digit years as 19xx
        records.append({when, fields[2].toInt(), fields[4].toInt()});
    }
    return records;
}

} // namespace pelmor::test

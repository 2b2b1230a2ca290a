#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QtGlobal>

#include <vector>

namespace pelmor::db {

// What tells one download from another, in the file and on the server
// alike: its vehicles (offset, speed and direction, in the order the sign
// logged them) hashed, and nothing of its header, so a download keeps its
// identity whatever start, limit or batch number it is stored under, and a
// survey sent from a file to the server keeps the identity it had in the
// file. Each vehicle is hashed as the server's bulk copy encodes those
// fields (a 4-byte length before each, numbers as 8-byte big-endian
// integers), the form fingerprints on servers have always been made of.
class DownloadFingerprint {
public:
    DownloadFingerprint();
    // The next vehicle.
    void add(qint64 offset, QByteArrayView direction, qint64 speed);
    // The fingerprint of the vehicles added; adds nothing after.
    QByteArray result();

private:
    // Vehicles are hashed a block at a time, not one by one.
    static constexpr qsizetype kBlock = 64 * 1024;
    void flush();

    QCryptographicHash m_hash;
    std::vector<char> m_block;
    qsizetype m_used = 0;
};

} // namespace pelmor::db

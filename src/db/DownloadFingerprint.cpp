#include "db/DownloadFingerprint.h"

#include <QtEndian>

namespace pelmor::db {
namespace {

constexpr qsizetype kBlock = 64 * 1024;

template <typename Number> void appendBig(QByteArray& bytes, Number number)
{
    char big[sizeof(Number)];
    qToBigEndian(number, big);
    bytes.append(big, sizeof big);
}

} // namespace

DownloadFingerprint::DownloadFingerprint()
    : m_hash(QCryptographicHash::Blake2b_256)
{
    m_block.reserve(kBlock + 64);
}

void DownloadFingerprint::add(qint64 offset, QByteArrayView direction, qint64 speed)
{
    appendBig<qint32>(m_block, 8);
    appendBig<qint64>(m_block, offset);
    appendBig<qint32>(m_block, 8);
    appendBig<qint64>(m_block, speed);
    appendBig<qint32>(m_block, qint32(direction.size()));
    m_block.append(direction.data(), direction.size());
    if (m_block.size() >= kBlock) {
        m_hash.addData(m_block);
        m_block.resize(0);
    }
}

QByteArray DownloadFingerprint::result()
{
    m_hash.addData(m_block);
    m_block.resize(0);
    return m_hash.result();
}

} // namespace pelmor::db

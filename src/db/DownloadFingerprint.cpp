#include "db/DownloadFingerprint.h"

#include <QtEndian>

#include <cstring>

namespace pelmor::db {
namespace {

// The bytes of a vehicle before its direction: a length and a number for
// the offset and for the speed, and the direction's length.
constexpr qsizetype kHead = 4 + 8 + 4 + 8 + 4;

void encodeHead(char* at, qint64 offset, qint64 speed, qsizetype directionSize)
{
    qToBigEndian<qint32>(8, at);
    qToBigEndian<qint64>(offset, at + 4);
    qToBigEndian<qint32>(8, at + 12);
    qToBigEndian<qint64>(speed, at + 16);
    qToBigEndian<qint32>(qint32(directionSize), at + 24);
}

} // namespace

DownloadFingerprint::DownloadFingerprint()
    : m_hash(QCryptographicHash::Blake2b_256)
    , m_block(size_t(kBlock))
{
}

void DownloadFingerprint::add(qint64 offset, QByteArrayView direction, qint64 speed)
{
    const qsizetype size = kHead + direction.size();
    if (m_used + size > kBlock)
        flush();
    if (size > kBlock) {
        // A direction text longer than a block (no sign writes one) goes to
        // the hash as it is.
        char head[kHead];
        encodeHead(head, offset, speed, direction.size());
        m_hash.addData(QByteArrayView(head, kHead));
        m_hash.addData(direction);
        return;
    }
    char* at = m_block.data() + m_used;
    encodeHead(at, offset, speed, direction.size());
    std::memcpy(at + kHead, direction.data(), size_t(direction.size()));
    m_used += size;
}

QByteArray DownloadFingerprint::result()
{
    flush();
    return m_hash.result();
}

void DownloadFingerprint::flush()
{
    m_hash.addData(QByteArrayView(m_block.data(), m_used));
    m_used = 0;
}

} // namespace pelmor::db

#include "maintenance/DatabasePages.h"

#include "maintenance/WriteLock.h"

#include <cstring>

namespace pelmor::maintenance {
namespace {

constexpr char kMagic[] = "SQLite format 3";
constexpr int kFileHeaderSize = 100;
// A payload larger than this is taken for damage, not for a row.
constexpr qint64 kLargestPayload = qint64(1) << 30;
// The page that holds the file locks of a database larger than 1 GiB; it
// is never part of a tree.
constexpr qint64 kLockBytesOffset = qint64(1) << 30;

quint32 bigEndian16(const QByteArray& bytes, int at)
{
    return (quint32(quint8(bytes[at])) << 8) | quint8(bytes[at + 1]);
}

quint32 bigEndian32(const QByteArray& bytes, int at)
{
    return (quint32(quint8(bytes[at])) << 24) | (quint32(quint8(bytes[at + 1])) << 16) |
           (quint32(quint8(bytes[at + 2])) << 8) | quint8(bytes[at + 3]);
}

// A variable-length number of the file format (one to nine bytes) at `at`,
// within `end`; its length goes to `length`, 0 when it runs past the end.
quint64 varint(const QByteArray& bytes, int at, int end, int& length)
{
    quint64 value = 0;
    for (int i = 0; i < 9; ++i) {
        if (at + i >= end) {
            length = 0;
            return 0;
        }
        const quint8 byte = quint8(bytes[at + i]);
        if (i == 8) {
            length = 9;
            return (value << 8) | byte;
        }
        value = (value << 7) | (byte & 0x7f);
        if (!(byte & 0x80)) {
            length = i + 1;
            return value;
        }
    }
    length = 0;
    return 0;
}

// The bytes a value of a serial type takes in a record's body; -1 for the
// types the format reserves.
qint64 valueSize(quint64 serialType)
{
    static const int fixed[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, -1, -1};
    if (serialType < 12)
        return fixed[serialType];
    return qint64((serialType - (serialType % 2 == 0 ? 12 : 13)) / 2);
}

// A record (header of serial types, then the values) decoded whole; false
// when its parts do not fit together exactly.
bool decodeRecord(const QByteArray& payload, StoredRecord& record)
{
    record.clear();
    const int size = int(payload.size());
    int length = 0;
    const quint64 headerSize = varint(payload, 0, size, length);
    if (length == 0 || headerSize < quint64(length) || headerSize > quint64(size))
        return false;
    int at = length;
    qint64 body = qint64(headerSize);
    while (at < int(headerSize)) {
        const quint64 type = varint(payload, at, int(headerSize), length);
        if (length == 0)
            return false;
        at += length;
        const qint64 bytes = valueSize(type);
        if (bytes < 0 || bytes > size - body)
            return false;
        StoredValue value;
        if (type == 0) {
            value.kind = StoredValue::Kind::Null;
        } else if (type <= 6) {
            value.kind = StoredValue::Kind::Integer;
            qint64 number = qint8(payload[int(body)]); // the sign comes from the first byte
            for (qint64 i = 1; i < bytes; ++i)
                number = qint64(quint64(number) << 8 | quint8(payload[int(body + i)]));
            value.integer = number;
        } else if (type == 7) {
            value.kind = StoredValue::Kind::Real;
            quint64 bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = bits << 8 | quint8(payload[int(body + i)]);
            std::memcpy(&value.real, &bits, sizeof bits);
        } else if (type == 8 || type == 9) {
            value.kind = StoredValue::Kind::Integer;
            value.integer = type == 9 ? 1 : 0;
        } else {
            value.kind = type % 2 == 0 ? StoredValue::Kind::Blob : StoredValue::Kind::Text;
            value.bytes = payload.mid(int(body), int(bytes));
        }
        body += bytes;
        record.push_back(std::move(value));
    }
    return at == int(headerSize) && body == size;
}

} // namespace

DatabasePages::DatabasePages(const WriteLock& lock)
    : m_lock(lock)
{
    const qint64 size = lock.fileSize();
    if (size < kFileHeaderSize)
        return;
    QByteArray header(kFileHeaderSize, Qt::Uninitialized);
    if (!lock.readBytes(0, header.data(), kFileHeaderSize) ||
        std::memcmp(header.constData(), kMagic, sizeof kMagic) != 0)
        return;
    const quint32 stored = bigEndian16(header, 16);
    const int pageSize = stored == 1 ? 65536 : int(stored);
    const int reserved = quint8(header[20]);
    // Texts in another encoding than UTF-8 are no file this program wrote.
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0 || pageSize - reserved < 480 ||
        bigEndian32(header, 56) != 1)
        return;
    m_pageSize = pageSize;
    m_usableSize = pageSize - reserved;
    m_userVersion = bigEndian32(header, 60);
    // The page count of the header is not trusted: the file's size says it.
    m_pageCount = quint32(std::min<qint64>(size / pageSize, 0x7fffffff));
    m_reached.assign(size_t(m_pageCount) + 1, false);
    m_free.assign(size_t(m_pageCount) + 1, false);
    if (size > kLockBytesOffset)
        m_free[size_t(kLockBytesOffset / pageSize + 1)] = true;
    markFreePages(header);
}

QByteArray DatabasePages::readPage(quint32 number) const
{
    if (number < 1 || number > m_pageCount)
        return {};
    QByteArray page(m_pageSize, Qt::Uninitialized);
    if (!m_lock.readBytes(qint64(number - 1) * m_pageSize, page.data(), m_pageSize))
        return {};
    return page;
}

void DatabasePages::markFreePages(const QByteArray& header)
{
    // Trunk pages, each listing free leaf pages and the next trunk. A list
    // that does not hold together leaves its pages unreached: their rows, if
    // any, are old ones, and count as damage rather than being brought back.
    const quint32 total = bigEndian32(header, 36);
    quint32 trunk = bigEndian32(header, 32);
    std::vector<quint32> free;
    while (trunk != 0 && free.size() <= total) {
        const QByteArray page = readPage(trunk);
        if (page.isEmpty())
            return;
        const quint32 leaves = bigEndian32(page, 4);
        if (leaves > quint32(m_usableSize / 4 - 2))
            return;
        free.push_back(trunk);
        for (quint32 i = 0; i < leaves; ++i) {
            const quint32 leaf = bigEndian32(page, 8 + 4 * int(i));
            if (leaf < 1 || leaf > m_pageCount)
                return;
            free.push_back(leaf);
        }
        trunk = bigEndian32(page, 0);
    }
    if (trunk != 0 || free.size() != total)
        return;
    for (const quint32 page : free)
        m_free[page] = true;
}

bool DatabasePages::readPayload(const QByteArray& page, int offset, qint64 payloadSize, bool tableLeaf,
                                QByteArray& payload, std::vector<quint32>& overflowPages) const
{
    const qint64 usable = m_usableSize;
    if (payloadSize < 0 || payloadSize > kLargestPayload)
        return false;
    const qint64 largestLocal = tableLeaf ? usable - 35 : (usable - 12) * 64 / 255 - 23;
    const qint64 smallestLocal = (usable - 12) * 32 / 255 - 23;
    qint64 local = payloadSize;
    if (payloadSize > largestLocal) {
        const qint64 rest = smallestLocal + (payloadSize - smallestLocal) % (usable - 4);
        local = rest <= largestLocal ? rest : smallestLocal;
    }
    const bool overflows = local < payloadSize;
    if (offset + local + (overflows ? 4 : 0) > usable)
        return false;
    payload = page.mid(offset, int(local));
    if (!overflows)
        return true;
    payload.reserve(int(payloadSize));
    quint32 next = bigEndian32(page, offset + int(local));
    while (payload.size() < payloadSize) {
        if (overflowPages.size() >= m_pageCount)
            return false;
        const QByteArray overflow = readPage(next);
        if (overflow.isEmpty())
            return false;
        overflowPages.push_back(next);
        const qint64 take = std::min<qint64>(usable - 4, payloadSize - payload.size());
        payload.append(overflow.constData() + 4, int(take));
        next = bigEndian32(overflow, 0);
    }
    return true;
}

bool DatabasePages::parsePage(quint32 number, ParsedPage& parsed)
{
    const QByteArray page = readPage(number);
    if (page.isEmpty())
        return false;
    const int start = number == 1 ? kFileHeaderSize : 0;
    parsed = ParsedPage();
    parsed.type = quint8(page[start]);
    const bool interior = parsed.type == IndexInterior || parsed.type == TableInterior;
    if (!interior && parsed.type != IndexLeaf && parsed.type != TableLeaf)
        return false;
    const int cellCount = int(bigEndian16(page, start + 3));
    const int pointers = start + (interior ? 12 : 8);
    if (pointers + 2 * cellCount > m_usableSize)
        return false;
    if (interior) {
        parsed.rightChild = bigEndian32(page, start + 8);
        if (parsed.rightChild < 1 || parsed.rightChild > m_pageCount)
            return false;
    }
    for (int i = 0; i < cellCount; ++i) {
        const int at = int(bigEndian16(page, pointers + 2 * i));
        if (at < pointers + 2 * cellCount || at >= m_usableSize) {
            parsed.wholly = false;
            continue;
        }
        Cell cell;
        int offset = at;
        int length = 0;
        if (interior) {
            if (offset + 4 > m_usableSize) {
                parsed.wholly = false;
                continue;
            }
            cell.child = bigEndian32(page, offset);
            offset += 4;
            if (cell.child < 1 || cell.child > m_pageCount) {
                parsed.wholly = false;
                continue;
            }
        }
        qint64 payloadSize = 0;
        if (parsed.type != TableInterior) {
            payloadSize = qint64(varint(page, offset, m_usableSize, length));
            offset += length;
            if (length == 0) {
                parsed.wholly = false;
                continue;
            }
        }
        if (parsed.type == TableLeaf || parsed.type == TableInterior) {
            cell.rowid = qint64(varint(page, offset, m_usableSize, length));
            offset += length;
            if (length == 0) {
                parsed.wholly = false;
                continue;
            }
        }
        if (parsed.type != TableInterior) {
            QByteArray payload;
            std::vector<quint32> overflowPages;
            if (!readPayload(page, offset, payloadSize, parsed.type == TableLeaf, payload, overflowPages) ||
                !decodeRecord(payload, cell.record)) {
                parsed.wholly = false;
                continue;
            }
            cell.hasPayload = true;
            parsed.overflowPages.insert(parsed.overflowPages.end(), overflowPages.begin(),
                                        overflowPages.end());
        }
        parsed.cells.push_back(std::move(cell));
    }
    return true;
}

template <typename Visitor>
DatabasePages::Walk DatabasePages::walk(quint32 root, bool table, const Visitor& visit)
{
    Walk result;
    if (!hasHeader())
        return result;
    const auto damaged = [&](quint32 page) {
        ++result.damagedPages;
        m_damagedPages.push_back(page);
    };
    std::vector<quint32> pending{root};
    while (!pending.empty()) {
        const quint32 number = pending.back();
        pending.pop_back();
        if (number < 1 || number > m_pageCount || m_reached[number]) {
            // Past the file's end, or a page of two trees.
            damaged(number);
            continue;
        }
        m_reached[number] = true;
        ParsedPage page;
        const bool readable = parsePage(number, page);
        const bool interior = page.type == (table ? TableInterior : IndexInterior);
        if (!readable || (!interior && page.type != (table ? TableLeaf : IndexLeaf))) {
            damaged(number);
            continue;
        }
        for (const quint32 overflow : page.overflowPages)
            m_reached[overflow] = true;
        bool whole = page.wholly;
        // Children in order, the leftmost walked first.
        if (interior) {
            pending.push_back(page.rightChild);
            for (auto cell = page.cells.rbegin(); cell != page.cells.rend(); ++cell)
                pending.push_back(cell->child);
        }
        for (const Cell& cell : page.cells) {
            if (!cell.hasPayload)
                continue;
            if (visit(cell))
                ++result.entries;
            else
                whole = false;
        }
        if (!whole)
            damaged(number);
    }
    return result;
}

std::vector<DatabasePages::SchemaEntry> DatabasePages::schemaEntries()
{
    std::vector<SchemaEntry> entries;
    const size_t damagedBefore = m_damagedPages.size();
    // Rows of the schema table: type, name, table name, root page, SQL.
    walk(1, true, [&](const Cell& cell) {
        const StoredRecord& record = cell.record;
        if (record.size() != 5 || record[0].kind != StoredValue::Kind::Text ||
            record[1].kind != StoredValue::Kind::Text || record[2].kind != StoredValue::Kind::Text ||
            record[3].kind != StoredValue::Kind::Integer || record[3].integer < 1 ||
            record[3].integer > qint64(m_pageCount))
            return false;
        entries.push_back({QString::fromUtf8(record[0].bytes), QString::fromUtf8(record[1].bytes),
                           QString::fromUtf8(record[2].bytes), quint32(record[3].integer)});
        return true;
    });
    // A damaged schema row holds no survey row: the tables it names are
    // found through their pages.
    m_damagedPages.resize(damagedBefore);
    return entries;
}

DatabasePages::Walk DatabasePages::walkTable(quint32 root, const RowVisitor& row)
{
    return walk(root, true, [&row](const Cell& cell) { return row(cell.rowid, cell.record); });
}

DatabasePages::Walk DatabasePages::walkIndex(quint32 root, const EntryVisitor& entry)
{
    return walk(root, false, [&entry](const Cell& cell) { return entry(cell.record); });
}

DatabasePages::Walk DatabasePages::walkUnreachedPages(const std::function<bool(const LeafRows&)>& rows,
                                                      const std::function<bool(const IndexEntries&)>& entries)
{
    Walk result;
    const auto unreached = [this](quint32 number) {
        return !m_reached[number] && !m_free[number];
    };
    // The overflow pages of unreached cells first, so that none of them is
    // taken for a damaged page of a tree.
    for (quint32 number = 1; number <= m_pageCount; ++number) {
        ParsedPage page;
        if (unreached(number) && parsePage(number, page)) {
            for (const quint32 overflow : page.overflowPages)
                m_reached[overflow] = true;
        }
    }
    for (quint32 number = 1; number <= m_pageCount; ++number) {
        if (!unreached(number))
            continue;
        m_reached[number] = true;
        ParsedPage page;
        bool taken = parsePage(number, page) && page.wholly;
        if (taken && page.type == TableLeaf) {
            LeafRows leafRows;
            for (Cell& cell : page.cells)
                leafRows.emplace_back(cell.rowid, std::move(cell.record));
            taken = rows(leafRows);
            if (taken)
                result.entries += qint64(leafRows.size());
        } else if (taken && page.type != TableInterior) {
            IndexEntries indexEntries;
            for (Cell& cell : page.cells)
                indexEntries.push_back(std::move(cell.record));
            taken = entries(indexEntries);
            if (taken)
                result.entries += qint64(indexEntries.size());
        }
        // A table's interior page holds no rows: taken as it is.
        if (!taken) {
            ++result.damagedPages;
            m_damagedPages.push_back(number);
        }
    }
    m_unreachedChecked = true;
    return result;
}

} // namespace pelmor::maintenance

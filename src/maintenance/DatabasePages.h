#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace pelmor::maintenance {

class WriteLock;

// One value of a stored row, as the file holds it.
struct StoredValue {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes; // the text (UTF-8) or blob
};
using StoredRecord = std::vector<StoredValue>;

// A SQLite database file read straight from its pages, as the file format
// lays them out, without SQLite: for saving the rows of a damaged file
// wherever they still stand. A b-tree is walked as far as its pages can be
// read, every page that cannot is passed over and counted, and the pages
// that no walk reached can be read on their own. The file is read through
// the write lock's handle, which keeps the lock.
class DatabasePages {
public:
    explicit DatabasePages(const WriteLock& lock);

    // Whether the file begins with a database header this reader knows
    // (the magic text, a valid page size, UTF-8 texts). Nothing else can be
    // read without it.
    bool hasHeader() const { return m_pageSize > 0; }
    quint32 pageCount() const { return m_pageCount; }
    // The layout version the header carries (SQLite's user version).
    quint32 userVersion() const { return m_userVersion; }

    // A row of the schema table (page 1's tree).
    struct SchemaEntry {
        QString type;
        QString name;
        QString table; // the table of an index, or the table itself
        quint32 rootPage = 0;
    };
    std::vector<SchemaEntry> schemaEntries();

    struct Walk {
        qint64 entries = 0;   // rows (or index entries) read
        int damagedPages = 0; // pages of the tree that could not be read, or not all of whose cells could
    };
    using RowVisitor = std::function<bool(qint64 rowid, const StoredRecord& record)>;
    using EntryVisitor = std::function<bool(const StoredRecord& entry)>;

    // Every row of a table's tree, from its root page. The visitor says
    // whether the row has the table's shape; a row that does not counts
    // as damage of its page.
    Walk walkTable(quint32 root, const RowVisitor& row);
    // Every entry of an index's tree (its interior pages hold entries too).
    Walk walkIndex(quint32 root, const EntryVisitor& entry);

    // The pages that no walk has reached and that are not free: the rows of
    // each table leaf among them go to `rows`, the entries of each index
    // page to `entries`, a page at a time, and each says whether it took
    // them. A page that none takes, or that is no page of a tree, counts as
    // damaged. Pages that a damaged parent cut off from their tree are
    // found here.
    using LeafRows = std::vector<std::pair<qint64, StoredRecord>>;
    using IndexEntries = std::vector<StoredRecord>;
    Walk walkUnreachedPages(const std::function<bool(const LeafRows&)>& rows,
                            const std::function<bool(const IndexEntries&)>& entries);

    // Whether every page of the file was read whole: reached by a walk and
    // readable, free, or read on its own. No row of such a file was lost.
    bool everyPageRead() const { return m_damagedPages.empty() && m_unreachedChecked; }

private:
    enum PageType : quint8 { IndexInterior = 2, TableInterior = 5, IndexLeaf = 10, TableLeaf = 13 };
    struct Cell {
        quint32 child = 0;
        qint64 rowid = 0;
        bool hasPayload = false;
        StoredRecord record;
    };
    struct ParsedPage {
        quint8 type = 0;
        quint32 rightChild = 0;
        std::vector<Cell> cells;
        bool wholly = true; // every cell read
        std::vector<quint32> overflowPages;
    };

    QByteArray readPage(quint32 number) const;
    bool parsePage(quint32 number, ParsedPage& page);
    bool readPayload(const QByteArray& page, int offset, qint64 payloadSize, bool tableLeaf,
                     QByteArray& payload, std::vector<quint32>& overflowPages) const;
    void markFreePages(const QByteArray& header);
    template <typename Visitor> Walk walk(quint32 root, bool table, const Visitor& visit);

    const WriteLock& m_lock;
    int m_pageSize = 0;
    int m_usableSize = 0;
    quint32 m_pageCount = 0;
    quint32 m_userVersion = 0;
    std::vector<bool> m_reached; // by page number: pages a walk has reached
    std::vector<bool> m_free;    // by page number: the free pages
    std::vector<quint32> m_damagedPages;
    bool m_unreachedChecked = false;
};

} // namespace pelmor::maintenance

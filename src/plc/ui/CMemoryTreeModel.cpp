#include "plc/ui/CMemoryTreeModel.h"

CMemoryTreeModel::CMemoryTreeModel(const MemoryTable& memory, const QString& strRootLabel,
                                   QObject* parent)
    : QAbstractItemModel(parent), m_memory(memory), m_strRootLabel(strRootLabel) {}

void CMemoryTreeModel::Reset() {
    beginResetModel();
    m_shown.fill(0);
    m_nShownRadix = RADIX_DECIMAL;
    endResetModel();
}

void CMemoryTreeModel::Refresh(int nRadix) {
    const bool bAll = nRadix != m_nShownRadix;
    m_nShownRadix = nRadix;
    int first = -1;
    int last = -1;
    for (int i = 0; i < MemoryTable::kSize; ++i) {
        const std::uint16_t value = m_memory.Get(i);
        std::uint16_t& shown = m_shown[static_cast<std::size_t>(i)];
        if (!bAll && value == shown)
            continue;
        shown = value;
        if (first < 0)
            first = i;
        last = i;
    }
    // One range: the view repaints what it shows of it either way.
    if (first >= 0)
        emit dataChanged(WordIndex(first), WordIndex(last), {Qt::DisplayRole});
}

QString CMemoryTreeModel::ValueText(std::uint16_t value, int nRadix) {
    switch (nRadix) {
    case RADIX_BINARY: {
        QString text;
        text.reserve(20);
        for (int bit = 15; bit >= 0; --bit) {
            text += (value >> bit) & 1 ? QLatin1Char('1') : QLatin1Char('0');
            if (bit % 4 == 0)
                text += QLatin1Char(' ');
        }
        return text;
    }
    case RADIX_HEX:
        return QString::asprintf("%04X", static_cast<unsigned>(value));
    default:
        return QString::number(value);
    }
}

QString CMemoryTreeModel::WordLabel(int nWord) const {
    if (!MemoryTable::Contains(nWord))
        return {};
    return m_strRootLabel + QString::asprintf("_INDEX [%03d] : ", nWord) +
           ValueText(m_shown[static_cast<std::size_t>(nWord)], m_nShownRadix);
}

QModelIndex CMemoryTreeModel::RootIndex() const {
    return createIndex(0, 0, quintptr(0));
}

QModelIndex CMemoryTreeModel::WordIndex(int nWord) const {
    return MemoryTable::Contains(nWord) ? createIndex(nWord, 0, kChildId) : QModelIndex();
}

int CMemoryTreeModel::WordOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this || index.internalId() != kChildId)
        return -1;
    return index.row();
}

QModelIndex CMemoryTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? RootIndex() : QModelIndex();
    if (parent.internalId() == 0 && parent.row() == 0)
        return WordIndex(row);
    return {};
}

QModelIndex CMemoryTreeModel::parent(const QModelIndex& child) const {
    return child.isValid() && child.internalId() == kChildId ? RootIndex() : QModelIndex();
}

int CMemoryTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return 1;
    return parent.internalId() == 0 ? MemoryTable::kSize : 0;
}

int CMemoryTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant CMemoryTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    if (index.internalId() == 0)
        return m_strRootLabel;
    return WordLabel(index.row());
}

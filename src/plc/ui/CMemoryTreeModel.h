#pragma once

#include "plc/MemoryTable.h"

#include <QAbstractItemModel>
#include <QString>

#include <array>
#include <cstdint>

// The memory tree of a PLC screen: one root item and its 1000 children, one
// per word of the table, labelled root + "_INDEX [nnn] : value". The labels
// show the words as they were at the last Refresh, in the radix of that
// refresh; they are made when the view asks for them, so a refresh only
// tells the view which rows changed instead of rebuilding 1000 items.
class CMemoryTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Radix { RADIX_BINARY = 0, RADIX_DECIMAL = 1, RADIX_HEX = 2 };

    CMemoryTreeModel(const MemoryTable& memory, const QString& strRootLabel,
                     QObject* parent = nullptr);

    // Back to the set-up picture: every word shown as 0 in decimal.
    void Reset();
    // Takes the table's words in the given radix; the rows whose label
    // changes are reported with dataChanged.
    void Refresh(int nRadix);

    QString GetRootLabel() const { return m_strRootLabel; }
    QModelIndex RootIndex() const;
    QModelIndex WordIndex(int nWord) const;
    // The word an index stands for, or -1 for the root or an invalid index.
    int WordOf(const QModelIndex& index) const;
    QString WordLabel(int nWord) const;

    // A word's text in a radix: binary "0000 0000 0000 0001 ", decimal "%d",
    // hexadecimal "%04X".
    static QString ValueText(std::uint16_t value, int nRadix);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // The internal id of the children; the root's is 0.
    static constexpr quintptr kChildId = 1;

    const MemoryTable& m_memory;
    QString m_strRootLabel;
    std::array<std::uint16_t, MemoryTable::kSize> m_shown{};
    int m_nShownRadix = RADIX_DECIMAL;
};

#pragma once

#include <QStyledItemDelegate>

#include <functional>

// A cell that takes up to a given number of decimal digits and nothing else.
// A check, when given, narrows that further (a range, a rule that depends
// on the row): the editor shows what it refuses and will not commit it.
class CDigitsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Empty when the cell may hold the text, else what it may hold.
    using CheckFn = std::function<QString(const QModelIndex& index, const QString& text)>;

    CDigitsDelegate(int digits, QObject* parent = nullptr, CheckFn check = {});

    int Digits() const { return m_nDigits; }
    // Whether a cell of this kind can hold the text: empty, or only digits
    // and no more of them than the cell takes.
    static bool Accepts(const QString& text, int digits);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    int m_nDigits;
    CheckFn m_fnCheck;
};

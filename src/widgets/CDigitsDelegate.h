#pragma once

#include <QStyledItemDelegate>

// A cell that takes up to a given number of decimal digits and nothing else.
class CDigitsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CDigitsDelegate(int digits, QObject* parent = nullptr);

    int Digits() const { return m_nDigits; }
    // Whether a cell of this kind can hold the text: empty, or only digits
    // and no more of them than the cell takes.
    static bool Accepts(const QString& text, int digits);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;

private:
    int m_nDigits;
};

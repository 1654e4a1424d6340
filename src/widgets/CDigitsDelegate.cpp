#include "widgets/CDigitsDelegate.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

CDigitsDelegate::CDigitsDelegate(int digits, QObject* parent)
    : QStyledItemDelegate(parent), m_nDigits(digits) {}

bool CDigitsDelegate::Accepts(const QString& text, int digits) {
    if (text.size() > digits)
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QWidget* CDigitsDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                       const QModelIndex& index) const {
    auto* edit = new QLineEdit(parent);
    // A validator rather than an input mask: a mask pads with blanks and
    // types over, which is not how a number is entered in a cell.
    QString pattern = QStringLiteral("[0-9]{0,%1}").arg(m_nDigits);
    // No maximum length: a longer number already in the cell (a new row's
    // "1000" under a three-digit mask) is shown whole, not cut on opening,
    // and stays acceptable as it is, or Return and Tab could not close the
    // cell. It can be shortened but not changed into another long number.
    const QString current = index.data(Qt::EditRole).toString();
    if (!Accepts(current, m_nDigits) && Accepts(current, static_cast<int>(current.size())))
        pattern += QLatin1Char('|') + QRegularExpression::escape(current);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    edit->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    edit->setFrame(false);
    return edit;
}

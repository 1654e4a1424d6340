#include "widgets/CDigitsDelegate.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QToolTip>

namespace {

// Digits as the pattern allows them; what the check refuses stays
// Intermediate, so the view's Return and Tab do not commit it and the user
// can go on typing ("2", "24", "247").
class CCheckedValidator : public QRegularExpressionValidator {
public:
    CCheckedValidator(const QRegularExpression& pattern, CDigitsDelegate::CheckFn check,
                      QModelIndex index, QObject* parent)
        : QRegularExpressionValidator(pattern, parent), m_fnCheck(std::move(check)),
          m_index(index) {}

    State validate(QString& input, int& pos) const override {
        const State state = QRegularExpressionValidator::validate(input, pos);
        if (state == Acceptable && m_fnCheck && !m_fnCheck(m_index, input).isEmpty())
            return Intermediate;
        return state;
    }

private:
    CDigitsDelegate::CheckFn m_fnCheck;
    QPersistentModelIndex m_index;
};

} // namespace

CDigitsDelegate::CDigitsDelegate(int digits, QObject* parent, CheckFn check)
    : QStyledItemDelegate(parent), m_nDigits(digits), m_fnCheck(std::move(check)) {}

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
    const QRegularExpression expression(pattern);
    if (m_fnCheck) {
        edit->setValidator(new CCheckedValidator(expression, m_fnCheck, index, edit));
        // What is refused is shown at once: the editor turns red and says
        // what the cell takes.
        const CheckFn check = m_fnCheck;
        const QPersistentModelIndex cell(index);
        connect(edit, &QLineEdit::textChanged, edit, [edit, check, cell](const QString& text) {
            const QString problem = check(cell, text);
            edit->setStyleSheet(problem.isEmpty()
                                    ? QString()
                                    : QStringLiteral("QLineEdit { background: #ffb0b0; }"));
            edit->setToolTip(problem);
            if (problem.isEmpty())
                QToolTip::hideText();
            else if (edit->isVisible())
                QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())), problem, edit);
        });
    } else {
        edit->setValidator(new QRegularExpressionValidator(expression, edit));
    }
    edit->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    edit->setFrame(false);
    return edit;
}

void CDigitsDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const {
    // Whatever closes the editor (a click elsewhere, the grid disabled), a
    // refused value never reaches the cell: it keeps what it had.
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (edit && m_fnCheck && !m_fnCheck(index, edit->text()).isEmpty())
        return;
    QStyledItemDelegate::setModelData(editor, model, index);
}

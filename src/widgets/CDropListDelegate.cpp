#include "widgets/CDropListDelegate.h"

#include <QComboBox>

CDropListDelegate::CDropListDelegate(const QStringList& words, QObject* parent)
    : QStyledItemDelegate(parent), m_words(words) {}

QStringList CDropListDelegate::SplitList(const QString& list) {
    QStringList words = list.split(QLatin1Char('\n'));
    if (!words.isEmpty() && words.last().isEmpty())
        words.removeLast();
    return words;
}

QWidget* CDropListDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                         const QModelIndex&) const {
    auto* box = new QComboBox(parent);
    box->addItems(m_words);
    box->setFrame(false); // the cell is narrow; leave the room to the word
    // Keyboard focus stays with the grid, so arrow keys keep moving between
    // cells; a click opens the list.
    box->setFocusPolicy(Qt::ClickFocus);
    connect(box, &QComboBox::activated, this,
            [this, box](int) { emit const_cast<CDropListDelegate*>(this)->commitData(box); });
    return box;
}

void CDropListDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* box = static_cast<QComboBox*>(editor);
    box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
}

void CDropListDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                     const QModelIndex& index) const {
    auto* box = static_cast<QComboBox*>(editor);
    // No word chosen (the cell holds something else): leave the cell alone
    // rather than blank it when the box merely loses focus.
    if (box->currentIndex() < 0)
        return;
    model->setData(index, box->currentText(), Qt::EditRole);
}

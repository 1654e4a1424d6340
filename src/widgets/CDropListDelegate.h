#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

// A cell that offers a fixed list of words in a drop-down box. The box
// writes back only when the user picks a word, so a cell holding a word
// that is not in the list keeps it until the user chooses.
class CDropListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    CDropListDelegate(const QStringList& words, QObject* parent = nullptr);

    const QStringList& Words() const { return m_words; }
    // The list text "A\nB\n" as words, without the empty piece after the
    // last line break.
    static QStringList SplitList(const QString& list);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    QStringList m_words;
};

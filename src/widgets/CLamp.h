#pragma once

#include <QWidget>

// One status lamp: a bitmap (grey, green or red) with its caption beside it.
class CLamp : public QWidget {
    Q_OBJECT
public:
    CLamp(const QString& caption, int bitmap, QWidget* parent = nullptr);

    void SetBitmap(int bitmap);
    int GetBitmap() const { return m_nBitmap; }
    QString GetCaption() const { return m_strCaption; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_strCaption;
    int m_nBitmap;
};

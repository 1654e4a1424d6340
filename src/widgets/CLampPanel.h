#pragma once

#include <QWidget>

class CLamp;

// The four lamps every screen shows at its bottom right: "설정" (a link was
// chosen), "상태" (the link is up), "RX" and "TX" (a block went by).
class CLampPanel : public QWidget {
    Q_OBJECT
public:
    // The lamps by the ids of the screens' templates.
    static constexpr int LAMP_STATE = 1028;
    static constexpr int LAMP_RX = 1030;
    static constexpr int LAMP_TX = 1031;
    static constexpr int LAMP_CONFIG = 1032;

    explicit CLampPanel(QWidget* parent = nullptr);

    void SetBitmap(int lamp, int bitmap);
    // The bitmap id a lamp shows; 0 for an unknown lamp.
    int GetBitmap(int lamp) const;
    CLamp* Lamp(int lamp) const;
    // Lays the lamps out one under the other, for a screen whose side
    // column is too narrow for the single row.
    void StackVertically();

private:
    CLamp* m_pConfig;
    CLamp* m_pState;
    CLamp* m_pRx;
    CLamp* m_pTx;
};

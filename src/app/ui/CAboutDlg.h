#pragma once

#include "widgets/CBackgroundDialog.h"

#include <QUrl>

#include <functional>

class QPushButton;

// The "만든이 정보" box: the program's icon, name and version, what it is,
// who made it, and a button that opens the page of the newest version in
// the user's browser.
class CAboutDlg : public CBackgroundDialog {
    Q_OBJECT
public:
    static constexpr const char* kReleasesUrl = "https://quillet.example.org/releases";
    // Opens a web address; returns whether the shell took it.
    using UrlOpener = std::function<bool(const QUrl& url)>;

    explicit CAboutDlg(QWidget* parent = nullptr);

    // Replaces the browser; an empty opener restores it. Tests use it so
    // that no browser is ever started.
    static void SetUrlOpener(UrlOpener opener);

    QPushButton* UpdateButton() const { return m_pUpdate; }
    QPushButton* OkButton() const { return m_pOk; }

public slots:
    void OnCheckUpdate();

private:
    static UrlOpener& CurrentOpener();

    QPushButton* m_pUpdate = nullptr;
    QPushButton* m_pOk = nullptr;
};

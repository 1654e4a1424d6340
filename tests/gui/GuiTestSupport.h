#pragma once

#include "app/CLinkHub.h"
#include "app/CTessaryDoc.h"
#include "app/ui/IScreenHost.h"
#include "link/ILinkControl.h"
#include "link/LinkSettings.h"
#include "widgets/CMessageBox.h"

#include <QString>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A link that records what the hub asks of it.
class CFakeLinkControl : public ILinkControl {
public:
    void CreateEndpoint(int kind) override { m_created.push_back(kind); }
    bool OpenLink(LinkSettings* settings) override {
        m_opened.push_back(*settings);
        return m_bOpens;
    }
    void CloseLink() override { ++m_nClosed; }
    bool Send(const std::uint8_t* bytes, int count) override {
        m_sent.emplace_back(bytes, bytes + count);
        return m_bSends;
    }

    bool m_bOpens = true;
    bool m_bSends = true;
    int m_nClosed = 0;
    std::vector<int> m_created;
    std::vector<LinkSettings> m_opened;
    std::vector<std::vector<std::uint8_t>> m_sent;
};

// Records every message box instead of showing it, for the life of the
// object.
class CMessageRecorder {
public:
    struct Message {
        QString m_strTitle;
        QString m_strText;
    };
    CMessageRecorder() {
        CMessageBox::SetHook([this](const QString& title, const QString& text) {
            m_messages.push_back({title, text});
        });
    }
    ~CMessageRecorder() { CMessageBox::SetHook({}); }
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    std::vector<Message> m_messages;
};

// The main frame as a screen sees it, over a fake link.
class CTestScreenHost : public IScreenHost {
public:
    CTestScreenHost()
        : m_hub(m_doc, &m_control, [this](const std::string& text) {
              CMessageBox::Show(nullptr, QString::fromStdString(text));
          }) {}

    CLinkHub& Hub() override { return m_hub; }
    CTessaryDoc& Doc() override { return m_doc; }
    void SetWindowLayer(int layer) override { m_layers.push_back(layer); }
    void SaveCapture() override { ++m_nSaves; }
    void OpenCapture() override { ++m_nOpens; }
    void SetDocumentTitle(const QString& title) override { m_strTitle = title; }

    CTessaryDoc m_doc;
    CFakeLinkControl m_control;
    CLinkHub m_hub;
    std::vector<int> m_layers;
    int m_nSaves = 0;
    int m_nOpens = 0;
    QString m_strTitle;
};

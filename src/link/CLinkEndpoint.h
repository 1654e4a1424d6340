#pragma once

#include <QObject>

// The base of the endpoints: keeps an endpoint alive while one of its own
// notifications is on the stack. A screen may close the link from inside a
// delivery, even from a nested event loop (a message box); the endpoint is
// then deleted only once its outermost notification has returned.
class CLinkEndpoint : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Deletes the endpoint now, or as soon as none of its notifications is
    // running. The caller has closed it and forgets the pointer.
    void Dispose();

protected:
    // Held by every notification handler for its whole run.
    class CBusy {
    public:
        explicit CBusy(CLinkEndpoint* endpoint);
        ~CBusy();
        CBusy(const CBusy&) = delete;
        CBusy& operator=(const CBusy&) = delete;

    private:
        CLinkEndpoint* m_pEndpoint;
    };

private:
    int m_nBusy = 0;
    bool m_bDisposed = false;
};

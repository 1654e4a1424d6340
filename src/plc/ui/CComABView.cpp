#include "plc/ui/CComABView.h"

#include "plc/codecs/CAbEngine.h"

CComABView::CComABView(IScreenHost& host, QWidget* parent)
    : CPlcScreenView(
          host, Form(),
          [](ILinkHub& hub) -> std::unique_ptr<CPlcEngine> {
              return std::make_unique<CAbEngine>(hub);
          },
          parent) {}

CPlcScreenView::SForm CComABView::Form() {
    SForm form;
    form.m_nScreen = SCREEN;
    form.m_strCaption = tr("\n      현재         ABCOM버전\n\n    ABCOM\n    RS-232C");
    form.m_strRootLabel = QStringLiteral("AN_AB_PLC");
    form.m_strTitlePrefix = tr("AB PLC 통신");
    // No transfer mode and, alone of the PLC screens, no background picture.
    form.m_bBackground = false;
    return form;
}

#include "plc/ui/CComSimensView.h"

#include "plc/codecs/CSimensEngine.h"

CComSimensView::CComSimensView(IScreenHost& host, QWidget* parent)
    : CPlcScreenView(
          host, Form(),
          [](ILinkHub& hub) -> std::unique_ptr<CPlcEngine> {
              return std::make_unique<CSimensEngine>(hub);
          },
          parent) {}

CPlcScreenView::SForm CComSimensView::Form() {
    SForm form;
    form.m_nScreen = SCREEN;
    form.m_strCaption = tr("\n      현재 SIMENS버전\n\n   SIMENS\n   RS-232C");
    form.m_strRootLabel = QStringLiteral("AN_SIMENS_PLC");
    form.m_strTitlePrefix = tr("SIMENS PLC 통신");
    form.m_bBackground = true;
    return form;
}

#include "plc/ui/CComMelsecView.h"

#include "plc/codecs/CMelsecEngine.h"

CComMelsecView::CComMelsecView(IScreenHost& host, QWidget* parent)
    : CPlcScreenView(
          host, Form(),
          [](ILinkHub& hub) -> std::unique_ptr<CPlcEngine> {
              return std::make_unique<CMelsecEngine>(hub);
          },
          parent) {}

CPlcScreenView::SForm CComMelsecView::Form() {
    SForm form;
    form.m_nScreen = SCREEN;
    form.m_strCaption = tr("\n      현재        MELSEC버전\n\n     MCPU\n    RS-232C");
    form.m_strRootLabel = QStringLiteral("AN_MELSEC_PLC");
    form.m_strTitlePrefix = tr("MELSEC PLC 통신");
    form.m_bBackground = true;
    return form;
}

#include "plc/ui/CComMasterKView.h"

#include "plc/codecs/CMasterKEngine.h"

CComMasterKView::CComMasterKView(IScreenHost& host, QWidget* parent)
    : CPlcScreenView(
          host, Form(),
          [](ILinkHub& hub) -> std::unique_ptr<CPlcEngine> {
              return std::make_unique<CMasterKEngine>(hub);
          },
          parent) {}

CPlcScreenView::SForm CComMasterKView::Form() {
    SForm form;
    form.m_nScreen = SCREEN;
    form.m_strCaption = tr("\n      현재        MasterK버전\n\n   200 CNET\n    RS-232C");
    form.m_strRootLabel = QStringLiteral("AN_MASTERK_PLC");
    form.m_strTitlePrefix = tr("MASTER-K PLC 통신");
    form.m_bBackground = true;
    return form;
}

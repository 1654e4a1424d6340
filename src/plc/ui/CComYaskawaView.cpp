#include "plc/ui/CComYaskawaView.h"

#include "plc/codecs/CYaskawaEngine.h"

CComYaskawaView::CComYaskawaView(IScreenHost& host, QWidget* parent)
    : CPlcScreenView(
          host, Form(),
          [](ILinkHub& hub) -> std::unique_ptr<CPlcEngine> {
              return std::make_unique<CYaskawaEngine>(hub);
          },
          parent) {}

CPlcScreenView::SForm CComYaskawaView::Form() {
    SForm form;
    form.m_nScreen = SCREEN;
    form.m_strCaption = tr("\n      현재 Yaskawa버전\n\n MEMOBUS\n    RS-232C");
    form.m_strRootLabel = QStringLiteral("AN_YASKAWA_PLC");
    form.m_strTitlePrefix = tr("Yaskawa PLC 통신");
    form.m_strModeGroup = tr("TX");
    form.m_strMode0 = tr("ASCII");
    form.m_strMode1 = tr("RTU");
    form.m_nModeId0 = IDC_MODE_ASCII;
    form.m_nModeId1 = IDC_MODE_RTU;
    form.m_nDefaultMode = CYaskawaEngine::MEMOBUS_ASCII;
    form.m_nModeGroupTop = 140;
    form.m_bBackground = true;
    return form;
}

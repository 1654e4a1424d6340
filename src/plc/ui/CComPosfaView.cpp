#include "plc/ui/CComPosfaView.h"

#include "plc/codecs/CPosfaEngine.h"

CComPosfaView::CComPosfaView(IScreenHost& host, QWidget* parent)
    : CPlcScreenView(
          host, Form(),
          [](ILinkHub& hub) -> std::unique_ptr<CPlcEngine> {
              return std::make_unique<CPosfaEngine>(hub);
          },
          parent) {}

CPlcScreenView::SForm CComPosfaView::Form() {
    SForm form;
    form.m_nScreen = SCREEN;
    form.m_strCaption = tr("\n      현재         POSFA버전\n\n     MCPU");
    // The root's spelling is the program's own, not the PLC's name.
    form.m_strRootLabel = QStringLiteral("AN_POAFA_PLC");
    form.m_strTitlePrefix = tr("POSFA PLC 통신");
    form.m_strModeGroup = tr("TX");
    form.m_strMode0 = tr("LAN");
    form.m_strMode1 = tr("RS232C");
    form.m_nModeId0 = IDC_MODE_LAN;
    form.m_nModeId1 = IDC_MODE_RS232C;
    form.m_nDefaultMode = CPosfaEngine::POSFA_RS232C;
    form.m_nModeGroupTop = 139;
    form.m_bBackground = true;
    return form;
}

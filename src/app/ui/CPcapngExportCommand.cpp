#include "app/ui/CPcapngExportCommand.h"

#include "app/CPcapngWriter.h"
#include "app/CTessaryDoc.h"
#include "plc/codecs/CYaskawaEngine.h"
#include "plc/ui/CComYaskawaView.h"
#include "widgets/CMessageBox.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QFileInfo>

#include <filesystem>

namespace {

CPcapngExportCommand::PathFn& PathHook() {
    static CPcapngExportCommand::PathFn hook;
    return hook;
}

QString AskPath(QWidget* parent, const QString& docPath) {
    if (PathHook())
        return PathHook()();
    // Beside the capture file and named after it when there is one.
    QString suggested;
    if (!docPath.isEmpty()) {
        const QFileInfo info(docPath);
        suggested = info.dir().filePath(info.completeBaseName() + QStringLiteral(".pcapng"));
    }
    QFileDialog dialog(parent, QString::fromUtf8(CPcapngExportCommand::kMenuText), suggested,
                       QString::fromUtf8(CPcapngExportCommand::kFilter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pcapng"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

void CPcapngExportCommand::SetPathHook(PathFn fn) {
    PathHook() = std::move(fn);
}

bool CPcapngExportCommand::IsModbusRtu(const CScreenView* screen) {
    const auto* yaskawa = qobject_cast<const CComYaskawaView*>(screen);
    if (!yaskawa)
        return false;
    // The radio as the user sees it: the mode is taken from it only when
    // polling starts, and a capture may come before that.
    if (const auto* rtu = yaskawa->findChild<const QAbstractButton*>(
            QString::number(CComYaskawaView::IDC_MODE_RTU)))
        return rtu->isChecked();
    return yaskawa->GetMode() == CYaskawaEngine::MEMOBUS_RTU;
}

bool CPcapngExportCommand::Export(const CTessaryDoc& doc, const QString& path, bool modbusRtu,
                                  QString& message) {
    std::size_t untimed = 0;
    std::size_t packets = 0;
    std::string error;
    const CPcapngWriter writer = modbusRtu ? CPcapngWriter::ModbusRtu() : CPcapngWriter();
    if (!CPcapngWriter::Export(doc, std::filesystem::path(path.toStdU16String()), writer, untimed,
                               packets, error)) {
        message = QString::fromStdString(error);
        return false;
    }
    message = QStringLiteral("%1개 블록을 내보냈습니다%2: %3")
                  .arg(doc.GetCount())
                  .arg(modbusRtu ? QStringLiteral(" (Modbus RTU)") : QString())
                  .arg(path);
    const std::string note = CPcapngWriter::UntimedNote(untimed, doc.GetCount());
    if (!note.empty())
        message += QLatin1Char('\n') + QString::fromStdString(note);
    return true;
}

void CPcapngExportCommand::Run(QWidget* parent, const CTessaryDoc& doc, const CScreenView* screen,
                               const QString& docPath) {
    const QString path = AskPath(parent, docPath);
    if (path.isEmpty())
        return;
    QString message;
    Export(doc, path, IsModbusRtu(screen), message);
    CMessageBox::Show(parent, message);
}

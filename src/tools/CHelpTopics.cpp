#include "tools/CHelpTopics.h"

#include <initializer_list>
#include <string_view>
#include <vector>

namespace {

using Lines = std::vector<std::string_view>;

struct Section {
    std::string_view m_strHeading; // empty: plain lines under the topic's heading
    Lines m_lines;
};

constexpr std::string_view kEol = "\r\n";

void AppendLine(std::string& out, std::string_view line) {
    out.append(line);
    out.append(kEol);
}

std::string Build(std::string_view heading, const std::vector<Section>& sections) {
    std::string out;
    out.append(kEol);
    AppendLine(out, heading);
    out.append(kEol);
    bool bFirst = true;
    for (const Section& section : sections) {
        if (!bFirst)
            out.append(kEol);
        bFirst = false;
        if (!section.m_strHeading.empty()) {
            AppendLine(out, section.m_strHeading);
            out.append(kEol);
        }
        for (std::string_view line : section.m_lines)
            AppendLine(out, line);
    }
    return out;
}

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Sections that several topics share.

Section Description(Lines lines) {
    return {"<프로그램 설명>", std::move(lines)};
}

Section Usage(const Lines& lines) {
    return {"<프로그램 사용법>", Join({{"우선 메뉴의 통신 설정에서 통신을 설정해주세요."}, lines})};
}

Section GridEdit(std::string_view rowFor, const Lines& columns) {
    Lines lines{"화면 아래의 표에서 마우스 오른쪽 버튼을 누르면"};
    lines.push_back("메뉴가 나타나며, ROW추가를 누르면");
    lines.push_back(rowFor);
    lines.push_back("표는 엑셀처럼 복사와 붙여넣기를 할 수 있습니다.");
    lines.push_back("각 칸의 뜻은 다음과 같습니다.");
    lines.insert(lines.end(), columns.begin(), columns.end());
    return {"<보낼 데이터 편집 방법>", std::move(lines)};
}

Section TreeEdit() {
    return {"<트리 데이터 편집>",
            {"트리에 나타난 데이터의 인덱스를 두 번 클릭하거나",
             "선택한 뒤 Enter를 누르면 값을 바꿀 수 있는 창이",
             "열립니다. 바꾼 값은 PLC로 쓰는 행이 있으면 다음", "차례에 PLC로 보내집니다."}};
}

Section Led() {
    return {"<LED>",
            {"화면 오른쪽 아래의 램프로 통신 상태를 봅니다.",
             "설정과 상태 램프가 모두 초록색이어야 통신이",
             "됩니다. RX는 데이터를 받았을 때, TX는 데이터를",
             "보냈을 때 잠깐 초록색으로 켜집니다."}};
}

Section Remark() {
    return {"<부연>",
            {"이 프로그램은 PLC 하드웨어와 인터페이스하기",
             "위해 만들어졌으므로 PLC와 관련된 내용이 많이", "들어 있습니다."}};
}

const Lines kPlcUsage{
    "왼쪽 위의 트리는 PLC로 보내거나 PLC에서 받은",
    "데이터의 상태를 보여주며, DATA상태에서 2진수,",
    "10진수, 16진수 중 보기 방식을 고를 수 있습니다.",
    "아래 표에 보낼 데이터를 편집하고 보내기를 누르면",
    "표의 행을 차례로 돌며 통신하고, 정지를 누르면",
    "멈춥니다. 표의 내용은 보내기나 저장 버튼을 누를",
    "때 INI 파일에 저장되며 열기 버튼으로 다시 불러올",
    "수 있습니다.",
};

const Lines kRtuChoice{
    "보낼 때 RTU 방식과 ASCII 방식 중 하나를 고를 수",
    "있습니다.",
};

constexpr std::string_view kPlcRow = "PLC 데이터를 위한 행이 추가됩니다.";

constexpr std::string_view kCommType = "COMMTYPE = 읽기 용인지 쓰기용인지 선택";
constexpr std::string_view kDeviceType = "PLC DEVICE TYPE = WORD용인지 선택";
constexpr std::string_view kDeviceName = "PLC DEVICE NAME = PLC 주소 이름";
constexpr std::string_view kAddress = "PLC ADDRESS = PLC 시작 주소";
constexpr std::string_view kCount = "DATA COUNT = PLC로 보낼 DEVICE의 갯수";
constexpr std::string_view kIndex = "AN INDEX = 트리상에 나타난 인덱스";
constexpr std::string_view kStation = "국번 = PLC 국번 (보통 0이나 1)";
constexpr std::string_view kPlcNumber = "PLC 번호 = PLC 번호 (보통255)";

std::vector<Section> PlcTopic(Lines description, const Lines& usage, const Lines& columns) {
    return {Description(std::move(description)),
            Usage(usage),
            GridEdit(kPlcRow, columns),
            TreeEdit(),
            Led(),
            Remark()};
}

std::string Analyzer() {
    return Build(
        "<QUILLET>",
        {Description({"RS-232C 또는 TCP/IP 서버나 클라이언트 등 열린",
                      "통신으로 오가는 모든 데이터를 ASCII나 BINARY로",
                      "한 바이트씩 보여주는 화면입니다. 받은 데이터와",
                      "보낸 데이터는 바탕색으로 구별되며, 데이터를",
                      "파일로 저장하거나 복사할 수 있습니다."}),
         Usage({"통신이 열리면 오가는 데이터가 가운데 표에 페이지",
                "단위로 나타나며 ◀ ▶ 버튼으로 페이지를 넘깁니다.",
                "아래의 보내는 데이터 칸에 입력하고 Enter를", "누르면 데이터를 보냅니다.",
                "CRC, SUM, B→A, A→B 칸에 데이터를 입력하고",
                "Enter를 누르면 CRC-16, 8비트 합, BINARY를",
                "ASCII로, ASCII를 BINARY로 바꾼 값이 RESULT", "칸에 나타납니다.",
                "TX/RX 색의 RX, TX, TEXT 버튼으로 받은 데이터,",
                "보낸 데이터, 글자의 색을 바꿀 수 있습니다.",
                "RX와 TX의 ASCII/BINARY 라디오 버튼으로 보여줄", "방식과 보낼 방식을 고릅니다.",
                "Dlg 상태에서 창을 맨 위(Top), 보통(Middle),",
                "맨 아래(Bottom) 중 어디에 둘지 정합니다."}),
         Led(), Remark()});
}

std::string Yaskawa() {
    return Build("<YASKAWA PLC>",
                 PlcTopic({"YASKAWA PLC와 RS-232C로 통신하는 화면입니다.",
                           "MEMOBUS의 ASCII 방식과 RTU 방식을 모두", "지원합니다."},
                          Join({kPlcUsage, kRtuChoice}),
                          {kCommType, "SLAVE ADDRESS = PLC로더에서 읽어 들임", kDeviceType,
                           kAddress, kCount, kIndex}));
}

std::string Siemens() {
    return Build("<SIMENS PLC>",
                 PlcTopic({"SIEMENS PLC와 RS-232C로 통신하는 화면입니다.",
                           "3964R 방식으로 DB의 데이터를 읽고 씁니다."},
                          kPlcUsage,
                          {kCommType, kDeviceType, "DB = PLC의 DB의 값(PLC ADDRESS NAME과 비슷)",
                           "DW = PLC의 DW의 값(PLC ADDRESS INDEX와 비슷)", kCount, kIndex}));
}

std::string Ab() {
    return Build("<AB PLC>",
                 PlcTopic({"Allen-Bradley(AB) PLC와 RS-232C로 통신하는",
                           "화면입니다. DF1 방식으로 데이터를 읽고 씁니다."},
                          kPlcUsage,
                          {kCommType, kDeviceType, kDeviceName, "SRC = PLC SRC(보통은 0)",
                           "DST = PLC DST(보통은 0)", kAddress, kCount, kIndex}));
}

std::string MasterK() {
    return Build("<MASTER-K PLC>", PlcTopic({"MASTER-K PLC와 RS-232C로 통신하는 화면입니다.",
                                             "Cnet 방식으로 데이터를 읽고 씁니다."},
                                            kPlcUsage,
                                            {kCommType, kStation, kDeviceType, kDeviceName,
                                             kAddress, kCount, kIndex}));
}

std::string Posfa() {
    return Build("<POSFA PLC>",
                 PlcTopic({"POSFA PLC와 RS-232C 또는 LAN으로 통신하는", "화면입니다."},
                          Join({kPlcUsage, {"또한 LAN용 RS232C용 선택할 수 있습니다."}}),
                          {kCommType, kStation, kPlcNumber, kDeviceType, kDeviceName, kAddress,
                           kCount, kIndex}));
}

std::string Melsec() {
    return Build("<MELSEC PLC>", PlcTopic({"MELSEC PLC와 RS-232C로 통신하는 화면입니다.",
                                           "컴퓨터 링크 방식으로 데이터를 읽고 씁니다."},
                                          kPlcUsage,
                                          {kCommType, kStation, kPlcNumber, kDeviceType,
                                           kDeviceName, kAddress, kCount, kIndex}));
}

std::string User() {
    return Build(
        "<USER 통신기>",
        {Description({"사용자가 원하는 프로토콜을 직접 만들어 통신하는",
                      "화면입니다. 보내고 받은 데이터는 크기와 패킷",
                      "상태와 함께 ASCII나 BINARY로 목록에", "나타납니다."}),
         Usage({"아래 표에 보낼 데이터, 받을 바이트 수와 기다릴",
                "시간을 적고 보내기를 누르면 표의 행을 차례로",
                "끝없이 돌며 주고받습니다. 정지를 누르면 멈추고,",
                "CLEAR를 누르면 목록을 지웁니다.", "View(화면)의 ASCII/Binary로 목록에 보여줄",
                "방식을 고릅니다. 표의 내용은 저장 버튼으로 INI",
                "파일에 저장하고 열기 버튼으로 불러옵니다."}),
         GridEdit("보낼 데이터를 위한 행이 추가됩니다.",
                  {"SEND DATA TYPE = 보내는 데이터(ASCII/BINARY)선택",
                   "SEND CHOOSE = 데이터를 먼저 보내고 데이터 받을",
                   "              지 먼저 받고 데이터 받을지 결정",
                   "SEND DATA = 보내는 데이터의 값", "REV BYTE = 받을 데이터의 바이트 사이즈",
                   "WAIT TIME = 기다리는 시간( 1초 = 1000 ms )"}),
         Led(), Remark()});
}

std::string FileSend() {
    return Build(
        "<파일전송>",
        {Description({"사용자가 고른 파일을 상대방에게 보내는",
                      "화면입니다. 전송이 끊겨도 이어받기가 되므로",
                      "파일이 안전하게 전달됩니다."}),
         Usage({"보내는 쪽은 파일 목록 추가 버튼으로 보낼 파일을", "목록에 넣고 보내기를 누릅니다.",
                "받는 쪽은 통신을 연결해 두기만 하면 되며, 받은",
                "파일은 폴더 지정으로 정한 폴더에 저장됩니다.",
                "세팅 INI파일의 저장, 열기 버튼으로 파일 목록을",
                "저장하고 다시 불러올 수 있습니다.", "나의 IP 버튼을 누르면 자신의 IP 주소를 볼 수",
                "있습니다."}),
         Led(), Remark()});
}

std::string Chat() {
    return Build("<채팅 방법>",
                 {Description({"통신으로 연결된 상대방과 채팅을 하는", "화면입니다."}),
                  Usage({"아래의 보내는 데이터 칸에 글을 쓰고 Enter를",
                         "누르면 상대방에게 보내집니다. 주고받은 글은",
                         "채팅 내용에 차례로 나타나며, CLEAR 버튼으로", "지울 수 있습니다."}),
                  Led(), Remark()});
}

std::string Author() {
    return Build(
        "<만든이>",
        {{"", {"QUILLET", "PLC와 여러 장치의 통신을 시험하고 분석하는", "도구입니다."}},
         {"",
          {"기획 : Quillet 개발팀", "프로그램 : Quillet 개발팀", "화면 디자인 : Quillet 개발팀"}},
         {"", {"고칠 점이나 궁금한 점은 Quillet 개발팀에", "알려주세요."}}});
}

std::string Other() {
    return Build("<기타>",
                 {{"<메뉴 - 파일>",
                   {"분석기 화면의 데이터를 파일에서 열거나 파일로",
                    "저장하고, 다른 이름으로 저장할 수 있습니다."}},
                  {"<메뉴 - 통신설정>",
                   {"COM(RS232C) - RS232C 통신 설정", "TCP/IP SERVER - TCP/IP SERVER 통신 설정",
                    "TCP/IP CLIENT - TCP/IP CLIENT 통신 설정", "UDP/IP - UDP로 통신 설정",
                    "IPX/SPX SERVER - IPX/SPX SERVER 통신 설정",
                    "IPX/SPX CLIENT - IPX/SPX CLIENT 통신 설정"}},
                  {"<메뉴 - 화면설정>", {"화면 이동을 위해 사용되는 메뉴입니다."}},
                  {"<메뉴 - 화면상태>", {"화면을 REFRESH/CLEAR 할 수 있습니다."}},
                  {"<메뉴 - 프로토콜>",
                   {"지금 오가는 데이터를 저장하여 분석기 화면에서", "볼 수 있게 합니다.",
                    "(주의)FILESEND화면에서는 작동을 안합니다."}},
                  {"<메뉴 - HELP>", {"도움말 관련된 메뉴입니다."}}});
}

} // namespace

std::string CHelpTopics::Text(int topic) {
    switch (topic) {
    case TOPIC_ANALYZER:
        return Analyzer();
    case TOPIC_YASKAWA:
        return Yaskawa();
    case TOPIC_SIEMENS:
        return Siemens();
    case TOPIC_AB:
        return Ab();
    case TOPIC_MASTERK:
        return MasterK();
    case TOPIC_POSFA:
        return Posfa();
    case TOPIC_MELSEC:
        return Melsec();
    case TOPIC_USER:
        return User();
    case TOPIC_FILESEND:
        return FileSend();
    case TOPIC_CHAT:
        return Chat();
    case TOPIC_AUTHOR:
        return Author();
    case TOPIC_OTHER:
        return Other();
    default:
        return {};
    }
}

std::string CHelpTopics::Heading(int topic) {
    // The line after the leading empty one.
    const std::string text = Text(topic);
    const std::size_t start = kEol.size();
    const std::size_t end = text.find(kEol, start);
    if (end == std::string::npos)
        return {};
    return text.substr(start, end - start);
}

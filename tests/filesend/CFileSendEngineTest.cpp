#include "filesend/CFileSendEngine.h"
#include "filesend/CFileFrame.h"
#include "filesend/FileSendPair.h"
#include "link/CCp949.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::string Pattern(std::size_t size, unsigned seed = 1) {
    std::mt19937 gen(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(gen());
    return s;
}

Bytes Frame(std::uint8_t kind, std::uint32_t index, std::uint32_t size, const std::string& name,
            const std::string& data = {}) {
    return CFileFrame::Build(kind, index, size, name,
                             reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

// Kind and index of a frame the engine sent.
std::pair<int, std::uint32_t> KindIndex(const Bytes& frame) {
    CFileFrame f;
    EXPECT_EQ(CFileFrame::Decode(frame.data(), frame.size(), f), CFileFrame::FRAME_GOOD);
    return {f.m_nKind, f.m_nIndex};
}

// Descriptors of this process open on the file: the engines hold their
// files open only while a transfer of them runs. -1 where the system does
// not list them (no /proc on Windows).
constexpr int kCountUnknown = -1;
int OpenCount(const fs::path& file) {
#ifdef _WIN32
    (void)file;
    return kCountUnknown;
#endif
    int count = 0;
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(file, ec);
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec))
        if (fs::read_symlink(fd.path(), ec) == target)
            ++count;
    return count;
}

bool OpenCountIs(const fs::path& file, int nCount) {
    const int nOpen = OpenCount(file);
    return nOpen == kCountUnknown || nOpen == nCount;
}

class FileSendTest : public ::testing::Test {
protected:
    FileSendTest() : pair(dir / "a", dir / "b") {
        fs::create_directories(dir / "a");
        fs::create_directories(dir / "b");
        fs::create_directories(dir / "out");
    }
    fs::path Source(const std::string& name, const std::string& bytes) {
        WriteFile(dir / "out" / Utf8Path(name), bytes);
        return dir / "out" / Utf8Path(name);
    }
    // Gives the receiver a frame straight from the test and returns its
    // answers.
    std::vector<Bytes> Deliver(const Bytes& frame) {
        pair.b.m_sent.clear();
        pair.b.m_out.clear();
        pair.b.m_pEngine->OnReceive(frame.data(), static_cast<int>(frame.size()));
        return pair.b.m_sent;
    }

    TempDir dir;
    FileSendPair pair;
};

} // namespace

TEST(FileFrame, LayoutIsLittleEndianWithTheModbusCrc) {
    const Bytes f = Frame(CFileFrame::FRAME_DATA, 0x01020304, 0x0A0B0C0D, "ab", "xyz");
    const Bytes head = {0x02, 26, 0, 0,   0,   4, 3, 2, 1,   0x0D, 0x0C, 0x0B,
                        0x0A, 3,  0, 'a', 'b', 0, 3, 0, 'x', 'y',  'z',  0};
    ASSERT_EQ(f.size(), 26u);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 24), head);
    const std::uint16_t crc = CFileFrame::Crc(f.data(), 24);
    EXPECT_EQ(f[24], crc & 0xFF);
    EXPECT_EQ(f[25], crc >> 8);
    // The check value of CRC-16/MODBUS.
    const std::string check = "123456789";
    EXPECT_EQ(CFileFrame::Crc(reinterpret_cast<const std::uint8_t*>(check.data()), 9), 0x4B37);
    // The fast paths against the bit-by-bit rule, over every length to 300
    // (each way of ending a block of 8, 16 and 64) and the largest frames.
    const std::string bytes = Pattern(16384);
    std::vector<std::size_t> lengths = {16383, 16384};
    for (std::size_t n = 0; n <= 300; ++n)
        lengths.push_back(n);
    for (const std::size_t n : lengths) {
        std::uint16_t slow = 0xFFFF;
        for (std::size_t i = 0; i < n; ++i) {
            slow ^= static_cast<std::uint8_t>(bytes[i]);
            for (int bit = 0; bit < 8; ++bit)
                slow = (slow & 1) ? static_cast<std::uint16_t>((slow >> 1) ^ 0xA001)
                                  : static_cast<std::uint16_t>(slow >> 1);
        }
        EXPECT_EQ(CFileFrame::Crc(reinterpret_cast<const std::uint8_t*>(bytes.data()), n), slow)
            << n;
    }
    // The largest frame: a 252-byte name field (251 bytes and the NUL)
    // beside a full network chunk.
    EXPECT_EQ(Frame(2, 0, 0, std::string(251, 'n'), std::string(16112, 'd')).size(), 16384u);
    EXPECT_TRUE(Frame(2, 0, 0, std::string(252, 'n'), std::string(16112, 'd')).empty());
}

TEST(FileFrame, DecodeWaitsRefusesAndAccepts) {
    const Bytes good = Frame(CFileFrame::FRAME_ACK, 7, 99, "f");
    CFileFrame f;
    EXPECT_EQ(CFileFrame::Decode(good.data(), good.size() - 1, f), CFileFrame::FRAME_WAIT);
    ASSERT_EQ(CFileFrame::Decode(good.data(), good.size(), f), CFileFrame::FRAME_GOOD);
    EXPECT_EQ(f.m_nIndex, 7u);
    EXPECT_EQ(f.m_strName, "f");
    struct Case {
        const char* what;
        std::size_t at;
        std::uint8_t value;
    } cases[] = {{"unknown kind", 0, 0x03},      {"total below any frame", 1, 5},
                 {"total above 16384", 4, 0x01}, {"name past the total", 13, 200},
                 {"data count off", 17, 1},      {"reserved byte (under the CRC)", 19, 1}};
    for (const Case& c : cases) {
        Bytes bad = good;
        bad[c.at] = c.value;
        EXPECT_EQ(CFileFrame::Decode(bad.data(), bad.size(), f), CFileFrame::FRAME_BAD) << c.what;
    }
}

// Files of every awkward size go whole over both chunk sizes, one after the
// other, and the list empties.
TEST_F(FileSendTest, FilesArriveIdenticalOverEachChunkSize) {
    for (int kind : {LINK_SERIAL, LINK_TCP_SERVER}) {
        pair.SetKind(kind);
        pair.b.m_received.clear();
        const std::size_t sizes[] = {0, 1, 911, 912, 3 * 912, 16112, 2 * 16112, 2 * 16112 + 100};
        std::vector<fs::path> files;
        for (std::size_t size : sizes)
            files.push_back(Source("k" + std::to_string(kind) + "_" + std::to_string(size) + ".bin",
                                   Pattern(size, static_cast<unsigned>(size))));
        files.push_back(Source("한글 이름.txt", "가나다"));
        // The longest name beside a full chunk: a frame of exactly 16384.
        files.push_back(Source(std::string(249, 'n') + "_" + std::to_string(kind), Pattern(16112)));
        ASSERT_EQ(pair.a.Send(files), 1);
        ASSERT_TRUE(pair.Pump());
        for (const fs::path& f : files)
            EXPECT_EQ(ReadFile(dir / "b" / f.filename()), ReadFile(f)) << f;
        EXPECT_TRUE(pair.a.m_rows.empty());
        EXPECT_FALSE(pair.a.m_pEngine->IsActive());
        EXPECT_EQ(pair.b.m_received.size(), files.size());
        EXPECT_TRUE(pair.a.m_messages.empty());
        EXPECT_TRUE(pair.b.m_messages.empty());
    }
}

TEST_F(FileSendTest, NetworkChunksOfAFileAndItsName) {
    const fs::path src = Source("파일.bin", Pattern(2 * 16112 + 100));
    pair.a.Send({src});
    ASSERT_TRUE(pair.Pump());
    std::vector<std::uint16_t> lengths;
    for (const Bytes& sent : pair.a.m_sent) {
        CFileFrame f;
        ASSERT_EQ(CFileFrame::Decode(sent.data(), sent.size(), f), CFileFrame::FRAME_GOOD);
        EXPECT_EQ(f.m_strName, CCp949::FromUtf8("파일.bin")); // CP949 on the wire
        lengths.push_back(f.m_nDataLength);
    }
    EXPECT_EQ(lengths, (std::vector<std::uint16_t>{16112, 16112, 100}));
}

// The receiver's rules for what it already holds of a file (serial chunks).
TEST_F(FileSendTest, ReceiverRulesForWhatItHolds) {
    pair.SetKind(LINK_SERIAL);
    const std::string whole = Pattern(5000);
    struct Case {
        const char* what;
        std::size_t held; // bytes of `whole` on disk before (npos: no file)
        std::uint32_t size;
        std::uint32_t index;
        int kind;
        std::uint32_t answer;
        std::size_t after;
    } cases[] = {
        {"no copy: chunk 0 is written", std::string::npos, 5000, 0, 0x06, 0, 912},
        {"3 x 912 held: resume at 3", 3 * 912, 5000, 0, 0x15, 3, 3 * 912},
        {"another file's partial copy: emptied, restart", 1000, 5000, 0, 0x15, 0, 0},
        {"complete, odd length: last index acknowledged", 1000, 1000, 0, 0x06, 1, 1000},
        {"repeated chunk: resume where it stands", 2 * 912, 5000, 1, 0x15, 2, 2 * 912},
        {"last chunk again after a lost ack", 5000, 5000, 5, 0x06, 5, 5000},
        {"empty last chunk of an exact multiple", 2 * 912, 2 * 912, 2, 0x06, 2, 2 * 912},
        {"complete exact multiple meets chunk 0", 2 * 912, 2 * 912, 0, 0x06, 2, 2 * 912},
        {"size 0", std::string::npos, 0, 0, 0x06, 0, 0},
        {"longer than announced", 3000, 1000, 0, 0x15, 0, 0},
    };
    for (const Case& c : cases) {
        const fs::path target = dir / "b" / "f.bin";
        fs::remove(target);
        if (c.held != std::string::npos)
            WriteFile(target, whole.substr(0, c.held));
        const std::size_t offset = std::size_t{c.index} * 912;
        const std::string data =
            offset < c.size ? whole.substr(offset, std::min<std::size_t>(912, c.size - offset))
                            : std::string();
        const std::vector<Bytes> answers = Deliver(Frame(2, c.index, c.size, "f.bin", data));
        ASSERT_EQ(answers.size(), 1u) << c.what;
        EXPECT_EQ(KindIndex(answers[0]), std::make_pair(c.kind, c.answer)) << c.what;
        EXPECT_EQ(fs::file_size(target), c.after) << c.what;
    }
}

// Each of these used to answer with a resume for the very index the sender
// was at, for ever; now the file completes.
TEST_F(FileSendTest, CompleteCopiesEndTheFileAtTheSender) {
    for (int kind : {LINK_SERIAL, LINK_TCP_CLIENT}) {
        pair.SetKind(kind);
        const std::uint32_t chunk = pair.a.m_pEngine->ChunkSize();
        for (std::size_t size :
             {std::size_t{0}, std::size_t{chunk}, std::size_t{3} * chunk, std::size_t{chunk} + 7}) {
            const std::string name = "c" + std::to_string(size);
            const std::string bytes = Pattern(size);
            WriteFile(dir / "b" / name, bytes);
            ASSERT_EQ(pair.a.Send({Source(name, bytes)}), 1);
            ASSERT_TRUE(pair.Pump(10)) << name;
            EXPECT_TRUE(pair.a.m_rows.empty()) << name;
            EXPECT_EQ(ReadFile(dir / "b" / name), bytes);
        }
    }
}

TEST_F(FileSendTest, LostLastAcknowledgementEndsByTheRepeat) {
    pair.SetKind(LINK_SERIAL);
    const fs::path src = Source("l.bin", Pattern(2000));
    bool dropped = false;
    pair.m_filter = [&](bool fromA, Bytes& frame) {
        if (!fromA && !dropped && KindIndex(frame) == std::make_pair(0x06, 2u))
            return !(dropped = true);
        return true;
    };
    pair.a.Send({src});
    ASSERT_TRUE(pair.Pump());
    ASSERT_TRUE(dropped);
    EXPECT_EQ(pair.a.m_rows.size(), 1u);
    pair.a.Tick(CFileSendEngine::ID_TIMER_TIMEOUT, 71);
    EXPECT_TRUE(pair.a.m_out.empty());
    pair.a.Tick(CFileSendEngine::ID_TIMER_TIMEOUT, 1); // the 72nd tick repeats the chunk
    ASSERT_EQ(pair.a.m_out.size(), 1u);
    ASSERT_TRUE(pair.Pump(10));
    EXPECT_TRUE(pair.a.m_rows.empty());
    EXPECT_EQ(ReadFile(dir / "b" / "l.bin"), ReadFile(src));
}

// An acknowledgement that comes late (the chunk was repeated after the
// time-out, so the receiver answers it twice) belongs to a chunk already
// done: it must neither end the next file nor move its index back.
TEST_F(FileSendTest, LateDuplicateAcknowledgementsChangeNothing) {
    pair.SetKind(LINK_SERIAL);
    const fs::path first = Source("first.bin", Pattern(2000, 3));
    const fs::path second = Source("second.bin", Pattern(3000, 4));
    std::set<Bytes> seen;
    pair.m_filter = [&](bool fromA, Bytes& frame) {
        if (!fromA && KindIndex(frame).first == 0x06 && seen.insert(frame).second)
            pair.b.m_out.push_back(frame); // every acknowledgement arrives twice
        return true;
    };
    pair.a.Send({first, second});
    ASSERT_TRUE(pair.Pump(1000));
    EXPECT_EQ(ReadFile(dir / "b" / "first.bin"), ReadFile(first));
    EXPECT_EQ(ReadFile(dir / "b" / "second.bin"), ReadFile(second));
    EXPECT_EQ(pair.b.m_received.size(), 2u);
    // Each chunk went once.
    EXPECT_EQ(pair.a.m_sent.size(), 3u + 4u);
}

TEST_F(FileSendTest, FrameWithThePartOfAnotherIsHandledAndTheRestDropped) {
    const std::string data = Pattern(100);
    Bytes bytes = Frame(2, 0, 100, "p.bin", data);
    const Bytes next = Frame(2, 0, 100, "q.bin", data);
    bytes.insert(bytes.end(), next.begin(), next.begin() + 10);
    const auto answers = Deliver(bytes);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(KindIndex(answers[0]), std::make_pair(0x06, 0u));
    EXPECT_FALSE(fs::exists(dir / "b" / "q.bin"));
    // Nothing of it stays to spoil the next frame.
    EXPECT_EQ(KindIndex(Deliver(next).at(0)), std::make_pair(0x06, 0u));
    EXPECT_EQ(ReadFile(dir / "b" / "q.bin"), data);
}

TEST_F(FileSendTest, FrameSplitAtAnyPointIsAnsweredOnce) {
    const Bytes frame = Frame(2, 0, 300, "s.bin", Pattern(300));
    for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{17}, frame.size() - 1}) {
        fs::remove(dir / "b" / "s.bin");
        pair.b.m_sent.clear();
        for (std::size_t at = 0; at < frame.size(); at += piece) {
            const std::size_t n = std::min(piece, frame.size() - at);
            pair.b.m_pEngine->OnReceive(frame.data() + at, static_cast<int>(n));
        }
        ASSERT_EQ(pair.b.m_sent.size(), 1u) << piece;
        EXPECT_EQ(KindIndex(pair.b.m_sent[0]), std::make_pair(0x06, 0u)) << piece;
        EXPECT_EQ(fs::file_size(dir / "b" / "s.bin"), 300u) << piece;
    }
}

TEST_F(FileSendTest, FlippedDataByteAsksForTheReceiversPosition) {
    pair.SetKind(LINK_SERIAL);
    const std::string whole = Pattern(3000);
    Deliver(Frame(2, 0, 3000, "x.bin", whole.substr(0, 912)));
    Bytes bad = Frame(2, 1, 3000, "x.bin", whole.substr(912, 912));
    bad[40] ^= 0x01;
    const auto answers = Deliver(bad);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(KindIndex(answers[0]), std::make_pair(0x15, 1u));
    EXPECT_EQ(fs::file_size(dir / "b" / "x.bin"), 912u);
}

TEST_F(FileSendTest, GarbageNeverGrowsTheBufferAndTheNextFrameIsRead) {
    Deliver(Frame(2, 0, 10, "g.bin", "0123456789"));
    // A total field corrupted to something huge: refused at once.
    Bytes garbage = {0x02, 0xFF, 0xFF, 0xFF, 0x7F};
    auto answers = Deliver(garbage);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(KindIndex(answers[0]).first, 0x15);
    // A plausible total whose bytes never make a frame: dropped by 16384.
    Bytes slow = {0x02, 0x00, 0x40, 0x00, 0x00};
    slow.resize(16384, 0x55);
    for (std::size_t at = 0; at < slow.size(); at += 1000)
        Deliver(Bytes(slow.begin() + static_cast<long>(at),
                      slow.begin() + static_cast<long>(std::min(slow.size(), at + 1000))));
    EXPECT_EQ(KindIndex(pair.b.m_sent.at(0)).first, 0x15);
    EXPECT_EQ(KindIndex(Deliver(Frame(2, 0, 3, "h.bin", "abc")).at(0)).first, 0x06);
}

// The same files over a link whose kind changes from network to serial
// after two chunks: the receiver's rules resume at another point and the
// file still arrives exact.
TEST_F(FileSendTest, LinkKindChangeMidTransferKeepsTheFileExact) {
    const fs::path src = Source("k.bin", Pattern(5 * 16112 + 5));
    int acks = 0;
    pair.m_filter = [&](bool fromA, Bytes& frame) {
        if (!fromA && KindIndex(frame).first == 0x06 && ++acks == 2)
            pair.SetKind(LINK_SERIAL);
        return true;
    };
    pair.a.Send({src});
    ASSERT_TRUE(pair.Pump());
    EXPECT_EQ(ReadFile(dir / "b" / "k.bin"), ReadFile(src));
    EXPECT_TRUE(pair.a.m_rows.empty());
}

// Both ends keep their file open between chunks; each acknowledgement
// still finds its chunk in the file on disk, and both ends follow what the
// path names when the file there is deleted or replaced mid-transfer.
TEST_F(FileSendTest, EachAcknowledgedChunkIsOnDiskAndPathsAreFollowed) {
    pair.SetKind(LINK_SERIAL);
    const std::string first = Pattern(6 * 912 + 5, 7);
    const std::string second = Pattern(6 * 912 + 5, 8);
    const fs::path src = Source("held.bin", first);
    const fs::path got = dir / "b" / "held.bin";
    int checked = 0;
    bool deleted = false;
    bool replaced = false;
    pair.m_filter = [&](bool fromA, Bytes& frame) {
        const auto [kind, index] = KindIndex(frame);
        if (fromA || kind != 0x06)
            return true;
        // What a reader of the path sees as this acknowledgement leaves.
        const std::size_t end = std::min<std::size_t>((index + 1) * 912u, first.size());
        const std::string& source = replaced && index >= 3 ? second : first;
        EXPECT_EQ(ReadFile(got),
                  first.substr(0, std::min<std::size_t>(end, 3 * 912)) +
                      (end > 3 * 912 ? source.substr(3 * 912, end - 3 * 912) : std::string()))
            << "acknowledgement " << index;
        ++checked;
        if (index == 1 && !deleted) {
            // Written into a deleted file, the rest would be lost.
            deleted = true;
            fs::remove(got);
        } else if (index == 2 && deleted && !replaced) {
            // The sender reads the new file at the path from here on.
            replaced = true;
            WriteFile(dir / "out" / "new.bin", second);
            fs::rename(dir / "out" / "new.bin", src);
        }
        return true;
    };
    pair.a.Send({src});
    ASSERT_TRUE(pair.Pump());
    EXPECT_TRUE(deleted && replaced);
    EXPECT_GE(checked, 9); // 2 before the delete, 7 after
    EXPECT_EQ(ReadFile(got), first.substr(0, 3 * 912) + second.substr(3 * 912));
    EXPECT_EQ(pair.b.m_received.size(), 1u);
    EXPECT_TRUE(OpenCountIs(got, 0));
    EXPECT_TRUE(OpenCountIs(src, 0));
}

// A link that goes mid-file leaves the partial file closed for a resume once
// deliveries stop for a time-out; Stop lets go of the file being sent.
TEST_F(FileSendTest, ACutMidFileLeavesAResumablePartialFile) {
    pair.SetKind(LINK_SERIAL);
    const fs::path src = Source("cut.bin", Pattern(8 * 912 + 3));
    const fs::path got = dir / "b" / "cut.bin";
    bool cut = false;
    pair.m_filter = [&](bool fromA, Bytes& frame) {
        if (!fromA && KindIndex(frame) == std::make_pair(0x06, 3u))
            cut = true;
        return !cut;
    };
    pair.a.Send({src});
    ASSERT_TRUE(pair.Pump());
    ASSERT_TRUE(cut);
    EXPECT_EQ(ReadFile(got), ReadFile(src).substr(0, 4 * 912));
    EXPECT_TRUE(OpenCountIs(got, 1)) << "held while the transfer runs";
    pair.b.Tick(CFileSendEngine::ID_TIMER_TIMEOUT, 72);
    EXPECT_TRUE(OpenCountIs(got, 0));
    pair.a.m_pEngine->Stop();
    EXPECT_TRUE(OpenCountIs(src, 0));

    pair.m_filter = nullptr;
    ASSERT_EQ(pair.a.m_pEngine->StartSend(), 1);
    ASSERT_TRUE(pair.Pump());
    EXPECT_EQ(ReadFile(got), ReadFile(src));
    const std::size_t resumes =
        std::count_if(pair.b.m_sent.begin(), pair.b.m_sent.end(),
                      [](const Bytes& f) { return KindIndex(f) == std::make_pair(0x15, 4u); });
    EXPECT_EQ(resumes, 1u) << "chunk 0 again is answered with the first missing chunk";
}

TEST(FileSendName, ReceivedNamesStayInsideTheFolder) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain.txt", "plain.txt"},
        {"../../etc/passwd", "passwd"},
        {"/abs/path.bin", "path.bin"},
        {"C:\\Dovrin\\x.txt", "x.txt"},
        {"C:x.txt", "x.txt"},
        {"..", ""},
        {"a/..", ""},
        {"dir/", ""},
        {"", ""},
        {std::string("ok\0/../x", 8), "ok"},
        {CCp949::FromUtf8("폴더\\한글.txt"), "한글.txt"}};
    for (const auto& [wire, expected] : cases)
        EXPECT_EQ(CFileSendEngine::SafeName(wire), expected) << wire;
}

TEST_F(FileSendTest, NothingIsWrittenOutsideTheReceiveFolder) {
    Deliver(Frame(2, 0, 4, "../escape.bin", "evil"));
    EXPECT_FALSE(fs::exists(dir / "escape.bin"));
    EXPECT_EQ(ReadFile(dir / "b" / "escape.bin"), "evil");
    // A link planted under the name is not followed.
    WriteFile(dir / "victim", "keep");
    std::size_t nRefused = 0;
    if (MakeSymlink(dir / "victim", dir / "b" / "link.bin")) {
        EXPECT_TRUE(Deliver(Frame(2, 0, 4, "link.bin", "evil")).empty());
        EXPECT_EQ(ReadFile(dir / "victim"), "keep");
        EXPECT_EQ(pair.b.m_messages.size(), ++nRefused);
    }
    // So is a hard link to a file outside.
    WriteFile(dir / "victim2", "kee");
    fs::create_hard_link(dir / "victim2", dir / "b" / "hard.bin");
    EXPECT_TRUE(Deliver(Frame(2, 0, 4, "hard.bin", "evil")).empty());
    EXPECT_EQ(ReadFile(dir / "victim2"), "kee");
    EXPECT_EQ(pair.b.m_messages.size(), ++nRefused);
    // A name with nothing left is refused, said once however often it comes.
    EXPECT_TRUE(Deliver(Frame(2, 0, 1, "..", "x")).empty());
    EXPECT_TRUE(Deliver(Frame(2, 0, 1, "..", "x")).empty());
    EXPECT_EQ(pair.b.m_messages.size(), ++nRefused);
}

TEST_F(FileSendTest, SenderRefusesWhatItCannotSendWithAMessage) {
    const fs::path longName = Source(std::string(252, 'n'), "x"); // its field: 253
    struct Case {
        const char* what;
        fs::path path;
        std::string name;
    } cases[] = {{"missing file", dir / "out" / "none.bin", "none.bin"},
                 {"a folder", dir / "out", "out"},
                 {"name field over 252 bytes", longName, longName.filename().string()},
                 {"Korean name field over 252 bytes", longName, std::string(127 * 3, '\0')}};
    cases[3].name.clear();
    for (int i = 0; i < 127; ++i)
        cases[3].name += "한"; // 254 bytes in CP949
    for (const Case& c : cases) {
        pair.a.m_messages.clear();
        pair.a.m_sent.clear();
        pair.a.m_rows = {{c.name, c.path.string()}};
        pair.a.LoadFirstRow();
        EXPECT_EQ(pair.a.m_pEngine->StartSend(), 0) << c.what;
        EXPECT_TRUE(pair.a.m_sent.empty()) << c.what;
        ASSERT_EQ(pair.a.m_messages.size(), 1u) << c.what;
        EXPECT_FALSE(pair.a.m_pEngine->IsActive()) << c.what;
    }
    // The next file of the list after one that cannot go also stops.
    pair.a.m_rows.clear();
    pair.a.m_messages.clear();
    pair.a.Send({Source("ok.bin", "1"), dir / "out" / "none.bin"});
    ASSERT_TRUE(pair.Pump());
    EXPECT_EQ(pair.a.m_messages.size(), 1u);
    EXPECT_EQ(pair.a.m_rows.size(), 1u);
    EXPECT_FALSE(pair.a.m_pEngine->IsActive());
    // The two messages of the screen.
    pair.a.m_record.m_strTxName.clear();
    EXPECT_EQ(pair.a.m_pEngine->StartSend(), 0);
    EXPECT_EQ(pair.a.m_messages.back(), "선택된 파일이 없습니다.");
    pair.a.m_bUp = false;
    EXPECT_EQ(pair.a.m_pEngine->StartSend(), 0);
    EXPECT_EQ(pair.a.m_messages.back(), "통신이 연결되지 않았습니다.");
}

// An unwritable receive folder and a full disk stop the receiver with a
// message; what it holds stays, and the file completes by resume later.
TEST_F(FileSendTest, WriteFailuresKeepWhatCameAndResumeLater) {
    pair.SetKind(LINK_SERIAL);
    const fs::path src = Source("d.bin", Pattern(5 * 912 + 10));
    if (FileSizeLimit::kWorks) {
        {
            FileSizeLimit limit(2 * 912 + 100);
            pair.a.Send({src});
            ASSERT_TRUE(pair.Pump());
        }
        EXPECT_EQ(fs::file_size(dir / "b" / "d.bin"), 2u * 912);
        ASSERT_EQ(pair.b.m_messages.size(), 1u);
        EXPECT_NE(pair.b.m_messages[0].find("d.bin"), std::string::npos);
        pair.a.Tick(CFileSendEngine::ID_TIMER_TIMEOUT, 72);
        ASSERT_TRUE(pair.Pump());
        EXPECT_EQ(ReadFile(dir / "b" / "d.bin"), ReadFile(src));
    }

    // A receive folder that cannot be made: a file stands in its way.
    WriteFile(dir / "blocked", "x");
    pair.b.m_record.m_strRxFolder = (dir / "blocked").string() + "/";
    pair.b.m_messages.clear();
    pair.a.Send({src});
    ASSERT_TRUE(pair.Pump());
    EXPECT_EQ(pair.b.m_messages.size(), 1u);
    pair.b.m_record.m_strRxFolder = (dir / "b2").string() + "/";
    pair.a.Tick(CFileSendEngine::ID_TIMER_TIMEOUT, 72);
    ASSERT_TRUE(pair.Pump());
    EXPECT_EQ(ReadFile(dir / "b2" / "d.bin"), ReadFile(src));
}

TEST(FileSendRates, RateTexts) {
    EXPECT_EQ(CFileSendEngine::RateText(0, 0, 1), "속도: 0K CPS ,남은시간: 0분0초");
    EXPECT_EQ(CFileSendEngine::RateText(1500, 0, 1), "속도: 2K CPS ,남은시간: 0분0초");
    EXPECT_EQ(CFileSendEngine::RateText(30000, 100000, 3), "속도: 10K CPS ,남은시간: 0분9초");
    EXPECT_EQ(CFileSendEngine::RateText(3000, 1000000, 3), "속도: 1K CPS ,남은시간: 8분20초");
}

TEST_F(FileSendTest, RatePeriodsEveryThirtyTwoTicks) {
    EXPECT_EQ(pair.a.m_pEngine->SendRateText(), "0K");
    pair.a.Tick(CFileSendEngine::ID_TIMER_RATES, 31);
    EXPECT_EQ(pair.a.m_pEngine->SendRateText(), "0K");
    pair.a.m_nSeconds = 3;
    pair.a.m_record.m_nRxCount = 6000;
    pair.a.m_record.m_nRxRemaining = 14000;
    pair.a.Tick(CFileSendEngine::ID_TIMER_RATES, 1);
    EXPECT_EQ(pair.a.m_pEngine->SendRateText(), "속도: 0K CPS ,남은시간: 0분0초, 완료");
    EXPECT_EQ(pair.a.m_pEngine->ReceiveRateText(), "속도: 2K CPS ,남은시간: 0분4초");
    EXPECT_EQ(pair.a.m_record.m_nRxCount, 0u);
}

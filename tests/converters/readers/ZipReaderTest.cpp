// The zip reader over archives written record by record, sound and broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "converters/readers/ZipReader.h"
#include "tests/TestFiles.h"
#include "tests/ZipWriter.h"

namespace {

class ZipReaderTest : public testing::Test {
protected:
    std::wstring Write(const std::string& bytes) {
        const std::wstring name = L"a" + std::to_wstring(++count) + L".zip";
        dir.WriteFile(name, bytes);
        return dir / name;
    }

    bool OpenArchive(const ZipLayout& layout) { return reader.Open(Write(BuildZip(layout)).c_str()); }

    // The entry's bytes, or "<fail>".
    std::string Read(int index) {
        ZipEntryData data;
        if (!reader.ReadEntry(index, &data))
            return "<fail>";
        std::string bytes(data.Size(), '\0');
        uint32_t copied = 0;
        if (data.Size())
            data.ReadBytes(data.Size(), bytes.data(), &copied);
        EXPECT_EQ(copied, data.Size());
        return bytes;
    }

    TempDir dir;
    ZipReader reader;
    int count = 0;
};

std::string Repeat(const std::string& piece, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += piece;
    return s;
}

const std::string kText = "The quick brown fox jumps over the lazy dog. The quick brown fox again.";

TEST_F(ZipReaderTest, StoredDeflatedAndDescriptorEntries) {
    ZipLayout layout;
    layout.entries = {
        {"stored.txt", "plain bytes", 0},
        {"deflated.txt", kText, 8},
        {"desc/with-signature.xlf", kText, 8, 8, true},
        {"desc/no-signature.xlf", "short", 8, 8, false},
        {"desc/stored.bin", "stored with descriptor", 0, 8, true},
    };
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(reader.EntryCount(), 5);
    EXPECT_EQ(Read(0), "plain bytes");
    EXPECT_EQ(Read(1), kText);
    EXPECT_EQ(Read(2), kText);
    EXPECT_EQ(Read(3), "short");
    EXPECT_EQ(Read(4), "stored with descriptor");
    EXPECT_EQ(reader.EntryName(2), "desc\\with-signature.xlf");
    EXPECT_EQ(Read(-1), "<fail>");
    EXPECT_EQ(Read(5), "<fail>");
}

TEST_F(ZipReaderTest, DescriptorSizesFoundWhateverTheDirectoryOrder) {
    // Sizes only in the descriptors, as office suites write them; the same
    // archive with its directory in file order and in another order.
    ZipLayout layout;
    layout.entries = {
        {"[Content_Types].xml", kText, 8, 8, true},
        {"word/document.xml", Repeat("body ", 300), 8, 8, true},
        {"word/styles.xml", "styles", 8, 8, false},
        {"docProps/app.xml", "stored", 0, 8, true},
    };
    for (const std::vector<int>& order : {std::vector<int>{}, std::vector<int>{3, 1, 0, 2}}) {
        layout.directoryOrder = order;
        ASSERT_TRUE(OpenArchive(layout));
        std::vector<std::string> read;
        for (int i = 0; i < reader.EntryCount(); ++i)
            read.push_back(reader.EntryName(i) + "=" + Read(i));
        const auto at = [&](int file) { return order.empty() ? file : static_cast<int>(std::find(order.begin(), order.end(), file) - order.begin()); };
        EXPECT_EQ(read[static_cast<size_t>(at(0))], "[Content_Types].xml=" + kText);
        EXPECT_EQ(read[static_cast<size_t>(at(1))], "word\\document.xml=" + Repeat("body ", 300));
        EXPECT_EQ(read[static_cast<size_t>(at(2))], "word\\styles.xml=styles");
        EXPECT_EQ(read[static_cast<size_t>(at(3))], "docProps\\app.xml=stored");
    }
}

TEST_F(ZipReaderTest, FindEntryMatchesWildcardsAcrossFolders) {
    ZipLayout layout;
    layout.entries = {{"readme.txt", "r"}, {"sub/dir/Doc.XLF", "x"}, {"other.xliff", "y"},
                    {"second.xlf", "z"}};
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(reader.FindEntry(L"*.xlf", 0), 1);
    EXPECT_EQ(reader.FindEntry(L"*.xlf", 2), 3);
    EXPECT_EQ(reader.FindEntry(L"sub\\*", 0), 1);
    EXPECT_EQ(reader.FindEntry(L"*.doc", 0), ZipReader::kNone);
    EXPECT_EQ(reader.FindEntry(L"*.xlf", 4), ZipReader::kNone);
}

TEST_F(ZipReaderTest, EndRecordFoundBehindAnyComment) {
    ZipLayout layout;
    layout.entries = {{"a.txt", "data"}};
    layout.comment = std::string(65535, 'c');
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(Read(0), "data");
    // Bytes beyond the comment, across several read chunks.
    layout.comment = "short";
    layout.trailing = std::string(300000, '\x50');
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(Read(0), "data");
}

TEST_F(ZipReaderTest, RefusedArchives) {
    EXPECT_FALSE(reader.Open(Write(std::string(200000, 'x')).c_str())) << "no end record";
    EXPECT_FALSE(reader.Open(Write("PK").c_str()));
    EXPECT_FALSE(reader.Open(Write("").c_str()));
    EXPECT_FALSE(reader.Open((dir / L"missing.zip").c_str()));
    EXPECT_FALSE(reader.IsOpen());

    ZipLayout layout;
    layout.entries = {{"a.txt", "data"}};
    layout.startDisk = 1;
    EXPECT_FALSE(OpenArchive(layout)) << "non-zero start disk";
    layout.startDisk = 0;
    layout.directorySize = 0x7FFFFFFF;
    EXPECT_FALSE(OpenArchive(layout)) << "directory reaching outside the file";
    layout.directorySize = 10;
    EXPECT_FALSE(OpenArchive(layout)) << "entry reaching outside the directory";
}

TEST_F(ZipReaderTest, UnreadableEntriesBesideReadableOnes) {
    ZipLayout layout;
    layout.entries = {
        {"bzip2.bin", "not really", 12},
        {"secret.txt", "encrypted", 0, 1},
        {"corrupt.txt", kText, 8, 0, true, {}, {}, std::string("\xFF\xFF\xFF\xFF\xFF\xFF", 6)},
        {"fine.txt", "fine"},
    };
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(Read(0), "<fail>");
    EXPECT_EQ(Read(1), "<fail>");
    EXPECT_EQ(Read(2), "<fail>");
    EXPECT_EQ(Read(3), "fine");

    // A failed read leaves what the entry data held before.
    ZipEntryData data;
    ASSERT_TRUE(reader.ReadEntry(3, &data));
    EXPECT_FALSE(reader.ReadEntry(2, &data));
    char buffer[8] = {};
    uint32_t copied = 0;
    EXPECT_TRUE(data.ReadBytes(2, buffer, &copied));
    EXPECT_EQ(copied, 2u);
    EXPECT_TRUE(data.ReadBytes(10, buffer + 2, &copied));
    EXPECT_EQ(copied, 2u);
    EXPECT_EQ(std::string(buffer), "fine");
    EXPECT_FALSE(data.ReadBytes(1, buffer, &copied)) << "at the end";
    EXPECT_EQ(copied, 0u);
    ZipEntryData empty;
    EXPECT_FALSE(empty.ReadBytes(1, buffer, &copied));

    // The directory points at something that is not a local header.
    ZipLayout two;
    two.entries = {{"first.txt", "first"}, {"second.txt", "second"}};
    std::string bytes = BuildZip(two);
    const size_t second = bytes.find("PK\x03\x04", 1);
    ASSERT_NE(second, std::string::npos);
    bytes[second + 3] = '\x05';
    ASSERT_TRUE(reader.Open(Write(bytes).c_str()));
    EXPECT_EQ(Read(0), "first");
    EXPECT_EQ(Read(1), "<fail>");
}

TEST_F(ZipReaderTest, LyingSizesAreCorruptionNotAllocations) {
    const std::string deflated = Deflate(kText);
    ZipLayout layout;
    layout.entries = {
        // Claims more compressed bytes than the file holds.
        {"toolong.txt", kText, 8, 0, true, 0x7FFFFFF0},
        // Claims 4 GB from a few dozen compressed bytes.
        {"bomb.txt", kText, 8, 0, true, {}, 0xFFFFFFF0},
        // A deflate stream cut short: the data are the bytes it produced.
        {"cut.txt", kText, 8, 0, true, static_cast<uint32_t>(deflated.size() / 2),
         static_cast<uint32_t>(kText.size())},
        // Stored with two different sizes: the bytes held count.
        {"stored.txt", "0123456789", 0, 0, true, 4, 1000},
        // The last entry's descriptor stands just before the directory.
        {"desc.txt", "abc", 8, 8, false, {}, {}, std::string(Deflate("abc"))},
    };
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(Read(0), "<fail>");
    EXPECT_EQ(Read(1), "<fail>");
    const std::string cut = Read(2);
    EXPECT_LT(cut.size(), kText.size());
    EXPECT_EQ(cut, kText.substr(0, cut.size()));
    EXPECT_EQ(Read(3), "0123");
    EXPECT_EQ(Read(4), "abc");
}

TEST_F(ZipReaderTest, MemoryFollowsTheDataNotTheClaim) {
    // Four MiB of incompressible data whose header claims 4 GiB: within the
    // ratio a deflate stream allows, so it is inflated, into memory that
    // grows with what arrives.
    std::string noise(4u << 20, '\0');
    uint32_t state = 12345;
    for (auto& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    ZipLayout layout;
    layout.entries = {{"claims.bin", noise, 8, 0, true, {}, 0xFFFFFFF0u},
                      {"honest.txt", Repeat(kText, 20000), 8, 0, true}};
    ASSERT_TRUE(OpenArchive(layout));
    {
        ZipEntryData data;
        ASSERT_TRUE(reader.ReadEntry(0, &data));
        EXPECT_EQ(data.Size(), noise.size());
        EXPECT_LT(data.Capacity(), size_t{256} << 20);
    }
    // An honest entry that grows past the first guess comes out whole.
    EXPECT_EQ(Read(1), Repeat(kText, 20000));
}

TEST_F(ZipReaderTest, TheRatioLimitAdmitsWhatDeflateCanReallyDo) {
    // Zeros deflate at about 1,030 to 1: a real entry near the limit reads
    // whole, and a claim just past what its compressed size allows fails.
    const std::string zeros(8u << 20, '\0');
    const std::string deflated = Deflate(zeros);
    ASSERT_GT(zeros.size() / deflated.size(), 1000u);
    const uint32_t most = static_cast<uint32_t>(deflated.size() * ZipReader::kMaxDeflateRatio + 64);
    ZipLayout layout;
    layout.entries = {{"zeros.bin", zeros, 8, 0, true},
                      {"claims-most.bin", zeros, 8, 0, true, {}, most},
                      {"claims-more.bin", zeros, 8, 0, true, {}, most + 1}};
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(Read(0), zeros);
    EXPECT_EQ(Read(1), zeros);
    EXPECT_EQ(Read(2), "<fail>");
}

TEST_F(ZipReaderTest, OverlongNamesNeverMatchOrOverflow) {
    ZipLayout layout;
    layout.entries = {{std::string(300, 'n') + ".xlf", "long"}, {std::string(260, 'm'), "over"},
                    {std::string(259, 'k'), "edge"}, {"ok.xlf", "short"}};
    ASSERT_TRUE(OpenArchive(layout));
    EXPECT_EQ(reader.FindEntry(L"*.xlf", 0), 3);
    EXPECT_EQ(reader.FindEntry(L"m*", 0), ZipReader::kNone);
    EXPECT_EQ(reader.FindEntry(L"k*", 0), 2) << "259 characters and the NUL fit";
}

TEST_F(ZipReaderTest, ArchivesCutAtEveryLengthNeverCrash) {
    ZipLayout layout;
    layout.entries = {{"a/one.xlf", kText, 8}, {"two.txt", "stored", 0}, {"three", kText, 8, 8}};
    layout.comment = "comment";
    const std::string whole = BuildZip(layout);
    for (size_t cut = 0; cut < whole.size(); cut += 3) {
        const std::wstring path = Write(whole.substr(0, cut));
        if (!reader.Open(path.c_str()))
            continue;
        for (int i = 0; i < reader.EntryCount(); ++i) {
            const std::string got = Read(i);
            if (got != "<fail>") {
                EXPECT_TRUE(got == kText || got == "stored") << "cut " << cut << " entry " << i;
            }
        }
    }
    // Every byte damaged in turn: whatever is read, nothing crashes.
    for (size_t at = 0; at < whole.size(); ++at) {
        std::string damaged = whole;
        damaged[at] = static_cast<char>(damaged[at] ^ 0xA5);
        if (!reader.Open(Write(damaged).c_str()))
            continue;
        for (int i = 0; i < reader.EntryCount(); ++i)
            Read(i);
    }
}

// The thread keeps one inflater for all its entries: whatever the entry before
// left in it (an error, a stream cut short, a full window, a grown buffer),
// each entry reads as it does on a thread that reads nothing else.
TEST_F(ZipReaderTest, EachEntryInflatesAsIfItWereTheThreadsFirst) {
    std::string big;
    for (int i = 0; big.size() < 600 * 1024; ++i) big += kText + " " + std::to_string(i * 7919 % 1000) + "\n";
    const std::string deflated = Deflate(big);
    ZipLayout layout;
    layout.entries = {
        {"big.txt", big},
        {"cut.txt", big, 8, 0, true, {}, {}, deflated.substr(0, deflated.size() / 2)},
        {"corrupt.txt", kText, 8, 0, true, {}, {}, std::string("\x04\xFF\xFF\x00\x01", 5)},
        {"small.txt", "small"},
        {"tail.txt", big.substr(big.size() - 5000)},
        {"empty.txt", ""},
    };
    ASSERT_TRUE(OpenArchive(layout));
    const int n = reader.EntryCount();
    std::vector<std::string> alone(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) std::thread([&] { alone[static_cast<size_t>(i)] = Read(i); }).join();
    EXPECT_EQ(alone[0], big);
    EXPECT_EQ(alone[2], "<fail>");
    EXPECT_EQ(alone[3], "small");
    EXPECT_EQ(alone[4], big.substr(big.size() - 5000));
    EXPECT_EQ(alone[5], "");
    // Every order of two, on this thread.
    for (int first = 0; first < n; ++first) {
        for (int second = 0; second < n; ++second) {
            Read(first);
            EXPECT_EQ(Read(second), alone[static_cast<size_t>(second)]) << first << " then " << second;
        }
    }
}

}  // namespace

#include "io/textfile.h"

#include <string>

#include "io_test_util.h"
#include "model/errors.h"

using namespace orvane;
using namespace orvane::testing;

namespace {
using TextFile = TFileTest;
}

TEST_F(TextFile, LineEndsOfEveryKind) {
    WriteAll(dir / "l.txt", "one\r\ntwo\nthree\rfour\r\n\r\nlast");
    TTextReader r;
    r.Open(PathOf("l.txt"));
    for (const char* want : {"one", "two", "three", "four", "", "last"}) EXPECT_EQ(r.ReadLine(), want);
    EXPECT_TRUE(r.Eof());
    EXPECT_EQ(r.ReadLine(), "");
    EXPECT_EQ(r.ReadToken(), "");
    EXPECT_EQ(r.ReadNumber(), 0);  // the end of the file reads as 0
}

TEST_F(TextFile, TokensAndLinesAcrossBlockBoundaries) {
    // Numbers placed so that some straddle every internal block boundary,
    // and one line longer than a block.
    std::string text;
    double sum = 0;
    int count = 0;
    while (text.size() < 1200000) {
        const int v = count % 1000;
        text += std::to_string(v) + ".25";
        text += (count % 7 == 0) ? "\r\n" : (count % 5 == 0 ? "\t" : " ");
        sum += v + 0.25;
        ++count;
    }
    const std::string longLine(400000, 'x');
    WriteAll(dir / "big.txt", longLine + "\r\n" + text);
    TTextReader r;
    r.Open(PathOf("big.txt"));
    EXPECT_EQ(r.ReadLine(), longLine);
    double got = 0;
    int n = 0;
    while (!r.SeekEof()) {
        got += r.ReadNumber();
        ++n;
    }
    EXPECT_EQ(n, count);
    EXPECT_DOUBLE_EQ(got, sum);
}

TEST_F(TextFile, DelimitersAreCodes32AndBelow) {
    // NUL and control characters separate tokens; bytes above 127 belong to them.
    WriteAll(dir / "d.txt", std::string("1\0" "2\x1f" "3\x7f" "4 \xe9" "5", 10));
    TTextReader r;
    r.Open(PathOf("d.txt"));
    EXPECT_EQ(r.ReadNumber(), 1);
    EXPECT_EQ(r.ReadNumber(), 2);
    EXPECT_EQ(r.ReadToken(), "3\x7f" "4");
    EXPECT_THROW(r.ReadNumber(), EInputError);
}

TEST_F(TextFile, SkipCharsStopsAtLineEnd) {
    WriteAll(dir / "s.txt", "abc\r\n12345 7\r\n");
    TTextReader r;
    r.Open(PathOf("s.txt"));
    r.SkipChars(20);
    EXPECT_EQ(r.ReadNumber(), 12345);  // the number search crosses the line end
    r.SkipChars(1);
    EXPECT_EQ(r.ReadToken(), "7");
}

TEST_F(TextFile, WriterChecksAndReplaces) {
    TTextWriter w;
    EXPECT_THROW(w.Write("x"), EInOutError);
    const std::string path = PathOf("w.txt");
    w.Create(path);
    const std::string big(3 * TTextWriter::BufferLimit + 17, 'a');
    w.Write("head ");
    w.Write(big);
    w.WriteBlanks(3);
    w.Write('!');
    w.Close();
    EXPECT_EQ(ReadAll(path), "head " + big + "   !");

    // An abandoned replacement leaves the old file and no trace of itself.
    w.CreateReplacing(path);
    w.Write("new");
    w.CloseQuietly();
    EXPECT_EQ(ReadAll(path), "head " + big + "   !");
    w.CreateReplacing(path);
    w.Write("new");
    w.Close();
    EXPECT_EQ(ReadAll(path), "new");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

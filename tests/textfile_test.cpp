// The text reader's line semantics, push-back, and the crash-safe record writer.
#include <gtest/gtest.h>

#include "text/textfile.h"
#include "support/temp_tree.h"

namespace {

std::vector<std::wstring> ReadAll(CStdioFile& file) {
  std::vector<std::wstring> lines;
  std::wstring line;
  while (file.ReadString(line)) lines.push_back(line);
  return lines;
}

std::vector<std::wstring> LinesOf(const std::string& bytes) {
  TempTree tree;
  tree.Write("f.txt", bytes);
  CStdioFile file(tree.Path("f.txt"));
  return ReadAll(file);
}

using Lines = std::vector<std::wstring>;

}  // namespace

TEST(TextReader, LineSemantics) {
  EXPECT_EQ(LinesOf(""), Lines{});
  EXPECT_EQ(LinesOf("a\r\nb"), (Lines{L"a", L"b"}));
  EXPECT_EQ(LinesOf("\n\n"), (Lines{L"", L""}));
  EXPECT_EQ(LinesOf("a\rb\n"), (Lines{L"a\rb"}));
  EXPECT_EQ(LinesOf("a\r"), (Lines{L"a\r"}));
  EXPECT_EQ(LinesOf("a\r\r\nb\n"), (Lines{L"a\r", L"b"}));
  EXPECT_EQ(LinesOf("a\nb\x1A" "c\nd\n"), (Lines{L"a", L"b"}));
  EXPECT_EQ(LinesOf("\x1A" "a\n"), Lines{});
}

TEST(TextReader, LongLinesAndLinesAcrossChunksComeWhole) {
  const std::string long_line(300, 'x');
  EXPECT_EQ(LinesOf(long_line + "\n"), Lines{std::wstring(300, L'x')});
  // A CR LF pair split by the reader's chunk boundary still reads as one LF.
  const std::string big(64 * 1024 - 1, 'y');
  EXPECT_EQ(LinesOf(big + "\r\nz"), (Lines{std::wstring(big.size(), L'y'), L"z"}));
}

TEST(TextReader, EveryByteIsOneCharacter) {
  const Lines lines = LinesOf("caf\xE9\n\x80\xFF\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], L"caf\u00e9");
  EXPECT_EQ(lines[1], std::wstring({wchar_t{0x80}, wchar_t{0xFF}}));
  EXPECT_EQ(BytesFromWide(lines[0]), "caf\xE9");
  EXPECT_EQ(WideFromBytes(BytesFromWide(L"\u00e9\u00ff\u0001")), L"\u00e9\u00ff\u0001");
}

TEST(TextReader, MissingFileThrows) {
  TempTree tree;
  EXPECT_THROW(CStdioFile file(tree.Path("missing.txt")), CFileException);
  tree.MakeDir("folder.txt");
  EXPECT_THROW(CStdioFile file(tree.Path("folder.txt")), CFileException);
}

TEST(TextReader, RawRestIsTheExactUnreadBytes) {
  TempTree tree;
  tree.Write("f.txt", "one\r\ntwo\r\nthree\x1Atail");
  CStdioFile file(tree.Path("f.txt"));
  std::wstring line;
  ASSERT_TRUE(file.ReadString(line));
  file.BeginCapture();
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"two");
  EXPECT_EQ(file.TakeRawRest(), "two\r\nthree\x1Atail");
}

TEST(TextInMemory, LinesAndTheirEndsAreThoseTheFileReaderReads) {
  const std::string cases[] = {"",         "a\r\nb",         "\n\n",           "a\rb\n",
                               "a\r",      "a\r\r\nb\n",      "a\nb\x1A" "c\nd\n", "\x1A" "a\n",
                               "a\r\x1A\n", "caf\xE9\n\x80\xFF", std::string(70000, 'y') + "\r\nz"};
  TempTree tree;
  for (const std::string& bytes : cases) {
    for (const bool ctrl_z_ends_text : {true, false}) {
      SCOPED_TRACE(testing::Message() << bytes.substr(0, 20) << " " << ctrl_z_ends_text);
      tree.Write("f.txt", bytes);
      CStdioFile file(tree.Path("f.txt"), kMaxRecordFileBytes, TextFileMode{ctrl_z_ends_text});
      CTextLines lines(bytes, ctrl_z_ends_text);
      std::wstring expected;
      std::string_view line;
      for (bool more = true; more;) {
        more = file.ReadString(expected);
        ASSERT_EQ(lines.Next(&line), more);
        if (more) {
          EXPECT_EQ(WideFromBytes(line), expected);
        }
        EXPECT_EQ(lines.Offset(), file.Offset());
      }
    }
  }
}

TEST(PushBack, PushedLinesComeFirstLastInFirstOut) {
  TempTree tree;
  tree.Write("f.txt", "file1\nfile2\n");
  CStdioFileEx file(tree.Path("f.txt"));
  std::wstring line;
  ASSERT_TRUE(file.ReadString(line));
  file.UnreadString(L"x");
  file.UnreadString(L"y");
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"y");
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"x");
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"file2");
  EXPECT_FALSE(file.ReadString(line));
  file.UnreadString(L"again");
  ASSERT_TRUE(file.ReadString(line));
  EXPECT_EQ(line, L"again");
  EXPECT_FALSE(file.ReadString(line));
}

TEST(RecordWriter, CommitReplacesTheTarget) {
  TempTree tree;
  tree.Write("f.txt", "old\r\n");
  {
    CFile out(tree.Path("f.txt"));
    out.Write("new\n");
    out.Write(BytesFromWide(L"\u00e9\n"));
    out.Commit();
  }
  EXPECT_EQ(tree.Read("f.txt"), "new\n\xE9\n");
  EXPECT_FALSE(tree.Exists("f.txt.tsnew.tmp"));
}

TEST(RecordWriter, WithoutCommitTheOriginalStaysAndTheNewFileGoes) {
  TempTree tree;
  tree.Write("f.txt", "old\r\n");
  {
    CFile out(tree.Path("f.txt"));
    out.Write("partial");
  }
  EXPECT_EQ(tree.Read("f.txt"), "old\r\n");
  EXPECT_FALSE(tree.Exists("f.txt.tsnew.tmp"));
}

TEST(RecordWriter, NewFileThatCannotBeCreatedThrows) {
  TempTree tree;
  tree.Write("f.txt", "old");
  for (int i = 0; i < CFile::kNewFileNames; ++i) {  // something in the way of each new file
    tree.MakeDir("f.txt" + CFile::NewFileSuffix(i));
  }
  EXPECT_THROW(CFile out(tree.Path("f.txt")), CFileException);
  EXPECT_EQ(tree.Read("f.txt"), "old");
}

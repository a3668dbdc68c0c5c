#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/core/Stream.h"
#include "support/TempFiles.h"

using namespace qm;

namespace {

std::string TempDir() { return test::TestTmpDir("stream"); }

std::string ReadAll(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

void WriteAll(const std::string& name, const std::string& bytes) {
  std::ofstream f(name, std::ios::binary | std::ios::trunc);
  f << bytes;
}

// Files of the folder other than the ones named.
int StrayFiles(const std::string& dir, const std::vector<std::string>& known) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) ++n;
  }
  return n;
}

}  // namespace

TEST(Stream, LittleEndianNumbersAndStrictReads) {
  TMemoryStream m;
  m.WriteUInt8(0xAB);
  m.WriteUInt16(0x1234);
  m.WriteInt32(-2);
  m.WriteUInt32(0xDEADBEEF);
  m.WriteDouble(1.5);
  const std::vector<uint8_t> expect = {0xAB, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0xEF, 0xBE, 0xAD, 0xDE,
                                       0,    0,    0,    0,    0,    0,    0xF8, 0x3F};
  EXPECT_EQ(m.Data(), expect);
  m.Seek(0);
  EXPECT_EQ(m.ReadUInt8(), 0xAB);
  EXPECT_EQ(m.ReadUInt16(), 0x1234);
  EXPECT_EQ(m.ReadInt32(), -2);
  EXPECT_EQ(m.ReadUInt32(), 0xDEADBEEFu);
  EXPECT_EQ(m.ReadDouble(), 1.5);
  EXPECT_EQ(m.Remaining(), 0);
  EXPECT_THROW(m.ReadUInt8(), EReadError);
  EXPECT_THROW(m.Seek(-1), EStreamError);
  EXPECT_THROW(m.Seek(m.Size() + 1), EStreamError);

  TBytesStream b(expect.data(), 3);
  EXPECT_THROW(b.Require(4), EReadError);
  EXPECT_THROW(b.Require(-1), EReadError);
  EXPECT_THROW(b.Skip(4), EReadError);
  EXPECT_THROW(b.ReadInt32(), EReadError);
  EXPECT_THROW(b.WriteUInt8(1), EWriteError);
  // a read error is a stream error
  TBytesStream empty(nullptr, 10);
  EXPECT_EQ(empty.Size(), 0);
  try {
    empty.ReadUInt8();
    FAIL();
  } catch (const EStreamError&) {
  }
}

TEST(Stream, StoredStrings) {
  TMemoryStream m;
  WriteStoredString(m, "Calque élevé", 255);
  WriteStoredString(m, std::string(300, 'x'), 255);
  // cut on a character boundary: "é" is two bytes
  WriteStoredString(m, "aé", 2);
  m.Seek(0);
  EXPECT_EQ(ReadStoredString(m), "Calque élevé");
  EXPECT_EQ(ReadStoredString(m), std::string(255, 'x'));
  EXPECT_EQ(ReadStoredString(m), "a");

  // Windows-1252 text of the first platform
  const std::vector<uint8_t> legacy = {5, 0, 0, 0, 'C', 'r', 0xE8, 'm', 0x80};
  TBytesStream l(legacy.data(), legacy.size());
  EXPECT_EQ(ReadStoredString(l), "Crèm€");
  // lengths that the bytes left cannot hold
  const std::vector<uint8_t> lying = {9, 0, 0, 0, 'a'}, negative = {0xFF, 0xFF, 0xFF, 0xFF};
  TBytesStream a(lying.data(), lying.size()), n(negative.data(), negative.size());
  EXPECT_THROW(ReadStoredString(a), EReadError);
  EXPECT_THROW(ReadStoredString(n), EReadError);
}

TEST(Stream, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("Fond é € 𝄞"));
  EXPECT_FALSE(IsValidUtf8("\xC3"));          // cut
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));
  EXPECT_EQ(Windows1252ToUtf8("\x81\x9F\xFF"), "\xC2\x81\xC5\xB8\xC3\xBF");
  EXPECT_EQ(Utf8Prefix("aé€", 4), "aé");
  EXPECT_EQ(Utf8Prefix("aé€", 3), "aé");
  EXPECT_EQ(Utf8Prefix("aé€", 2), "a");
  // every byte of a character that is not one becomes U+FFFD; what is one stays
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(ReplaceInvalidUtf8("Fond é € 𝄞"), "Fond é € 𝄞");
  EXPECT_EQ(ReplaceInvalidUtf8("caf\xE9!"), "caf" + r + "!");  // Latin-1
  EXPECT_EQ(ReplaceInvalidUtf8("a\xC3"), "a" + r);                // cut at the end
  EXPECT_EQ(ReplaceInvalidUtf8("\xC0\xAFz"), r + r + "z");        // overlong
  EXPECT_EQ(ReplaceInvalidUtf8("\xED\xA0\x80"), r + r + r);      // surrogate
  EXPECT_EQ(ReplaceInvalidUtf8("\x80é"), r + "é");                // a stray continuation
}

TEST(FileStream, BufferedReadsWritesAndSeeks) {
  const std::string name = TempDir() + "/buffered.bin";
  std::vector<uint8_t> big(700000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 31 + (i >> 9));
  {
    TFileStream f(name, fmCreate);
    f.WriteUInt32(0);
    // small writes, a write larger than the buffer, then a patch at the start
    for (int i = 0; i < 1000; ++i) f.WriteUInt8(uint8_t(i));
    f.Write(big.data(), big.size());
    const int64_t end = f.Position();
    f.Seek(0);
    f.WriteUInt32(0x01020304);
    f.Seek(end);
    f.WriteUInt8(0x77);
    // read back through the same stream
    f.Seek(4 + 999);
    EXPECT_EQ(f.ReadUInt8(), uint8_t(999));
    f.Close();
  }
  TFileStream r(name, fmOpenRead);
  ASSERT_EQ(r.Size(), int64_t(4 + 1000 + big.size() + 1));
  EXPECT_EQ(r.ReadUInt32(), 0x01020304u);
  std::vector<uint8_t> head(1000);
  r.ReadBuffer(head.data(), head.size());
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(head[size_t(i)], uint8_t(i));
  std::vector<uint8_t> back(big.size());
  r.ReadBuffer(back.data(), back.size());
  EXPECT_EQ(back, big);
  EXPECT_EQ(r.ReadUInt8(), 0x77);
  EXPECT_THROW(r.ReadUInt8(), EReadError);
  EXPECT_THROW(r.WriteUInt8(1), EWriteError);
  EXPECT_THROW(TFileStream(TempDir() + "/missing.bin", fmOpenRead), EFileStreamError);
  EXPECT_THROW(TFileStream(TempDir(), fmOpenRead), EFileStreamError);  // a folder
}

TEST(AtomicFileStream, ReplacesOnlyOnCommit) {
  const std::string dir = TempDir() + "/atomic";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string name = dir + "/picture.qxi";
  WriteAll(name, "old contents");
  ::chmod(name.c_str(), 0640);

  {  // abandoned: the old file stays, the temporary one goes
    TAtomicFileStream f(name);
    EXPECT_NE(f.TemporaryName(), name);
    EXPECT_EQ(std::filesystem::path(f.TemporaryName()).parent_path(), std::filesystem::path(dir));
    f.Write("new", 3);
  }
  EXPECT_EQ(ReadAll(name), "old contents");
  EXPECT_EQ(StrayFiles(dir, {"picture.qxi"}), 0);

  {  // a failure midway (an exception) is the same
    try {
      TAtomicFileStream f(name);
      f.Write("half", 4);
      throw EWriteError("disk full");
    } catch (const EWriteError&) {
    }
  }
  EXPECT_EQ(ReadAll(name), "old contents");
  EXPECT_EQ(StrayFiles(dir, {"picture.qxi"}), 0);

  {  // two writers at once get distinct temporary files
    TAtomicFileStream a(name), b(name);
    EXPECT_NE(a.TemporaryName(), b.TemporaryName());
    a.Write("first", 5);
    b.Write("second", 6);
    a.Commit();
    b.Commit();
  }
  EXPECT_EQ(ReadAll(name), "second");
  struct stat st {};
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the replaced file's permissions
  EXPECT_EQ(StrayFiles(dir, {"picture.qxi"}), 0);

  // through a symbolic link: the link stays, the file it names changes
  const std::string link = dir + "/link.qxi";
  std::filesystem::create_symlink(name, link);
  {
    TAtomicFileStream f(link);
    f.Write("via link", 8);
    f.Commit();
  }
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(name), "via link");

  // a name as long as the system allows still gets its temporary companion
  const std::string longName = dir + "/" + std::string(250, 'n') + ".qxi";
  {
    TAtomicFileStream f(longName);
    f.Write("long", 4);
    f.Commit();
  }
  EXPECT_EQ(ReadAll(longName), "long");
  std::filesystem::remove(longName);

  EXPECT_THROW(TAtomicFileStream(dir + "/no/such/folder/x.bin"), EFileStreamError);
}

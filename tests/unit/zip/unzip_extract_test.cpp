// Extraction: what lands in the destination folder, what is counted, what is refused, and which
// failures leave UnZip.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

#include "package/zip/zip_errors.h"
#include "tests/unit/zip/unzip_fixture.h"

namespace flashsaver::testing {
namespace {

using Files = std::map<std::string, std::string>;

std::string Sample(size_t size, unsigned seed) {
  std::string s(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = (seed % 2) ? static_cast<char>(x >> 24) : "abcdefgh \n"[(x >> 24) % 10];
  }
  return s;
}

class InfoZipArchives : public UnzipTest {
 protected:
  // Runs Debian's zip in the source folder; false when it is not installed.
  bool Zip(const std::string& options, const stdfs::path& source) {
    const std::string command = "cd '" + source.string() + "' && zip -q " + options + " '" +
                                archive_ + "' -r . >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
  }
};

TEST_F(InfoZipArchives, StoredDeflatedWithCommentsAndFoldersAllExtractFlat) {
  const stdfs::path source = root_ / "source";
  stdfs::create_directories(source / "sub" / "deeper");
  stdfs::create_directories(source / "empty");
  Files expected;
  const std::pair<std::string, size_t> files[] = {{"small.txt", 10},
                                                  {"sub/text.txt", 70000},
                                                  {"sub/deeper/binary.bin", 100001},
                                                  {"empty.dat", 0},
                                                  {"sub/big.txt", 300000}};
  unsigned seed = 1;
  for (const auto& [name, size] : files) {
    const std::string data = Sample(size, seed++);
    std::ofstream(source / name, std::ios::binary) << data;
    expected[stdfs::path(name).filename().string()] = data;
  }
  struct Case {
    const char* label;
    std::string options;
  };
  const Case cases[] = {
      {"stored", "-0"},
      {"deflated", "-9"},
      {"fast deflate", "-1"},
      {"with file comments", "-c"},
      {"with archive comment", "-z"},
  };
  for (const Case& c : cases) {
    stdfs::remove(archive_);
    stdfs::remove_all(dest_);
    const std::string feed =
        c.options == "-c"   ? "printf 'one\\ntwo\\nthree\\nfour\\nfive\\nsix\\nseven\\neight\\n' | "
        : c.options == "-z" ? "printf 'archive comment PK\\005\\006\\n' | "
                            : "";
    const std::string command = "cd '" + source.string() + "' && " + feed + "zip -q " + c.options +
                                " '" + archive_ + "' -r . >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "Debian's zip is not installed";
    unzipper_.SetZipName(archive_ + "x");
    unzipper_.SetZipName(archive_);
    // Five files and the folder entries sub/, sub/deeper/ and empty/.
    EXPECT_EQ(unzipper_.UnZip(), 8) << c.label;
    EXPECT_EQ(Output(), expected) << c.label;
  }
}

TEST_F(InfoZipArchives, ModificationTimeComesFromTheEntry) {
  const stdfs::path source = root_ / "source";
  stdfs::create_directories(source);
  std::ofstream(source / "old.txt") << "old";
  if (std::system(("touch -t 200403051530.42 '" + (source / "old.txt").string() + "'").c_str()))
    GTEST_SKIP();
  if (!Zip("-X", source)) GTEST_SKIP() << "Debian's zip is not installed";
  EXPECT_EQ(unzipper_.UnZip(), 1);
  struct stat st;
  ASSERT_EQ(::stat((dest_ / "old.txt").c_str(), &st), 0);
  std::tm t{};
  localtime_r(&st.st_mtime, &t);
  EXPECT_EQ(t.tm_year + 1900, 2004);
  EXPECT_EQ(t.tm_mon + 1, 3);
  EXPECT_EQ(t.tm_mday, 5);
  EXPECT_EQ(t.tm_hour, 15);
  EXPECT_EQ(t.tm_min, 30);
  EXPECT_EQ(t.tm_sec, 42);
}

class EntryRules : public UnzipTest {};

TEST_F(EntryRules, EachKindOfEntryIsWrittenCountedOrSkippedAsItShould) {
  TestEntry encrypted = Stored("secret.txt", "xxxxxxxxxxxxxxxx");
  encrypted.flags = 0x0001;
  TestEntry bad_crc = Stored("badcrc.txt", "data");
  bad_crc.crc ^= 1;
  TestEntry method9 = Stored("method9.txt", "whatever");
  method9.method = 9;
  TestEntry method9_empty = Stored("empty9.txt", "");
  method9_empty.method = 9;
  TestEntry too_big = Stored("toobig.txt", "0123456789");
  too_big.uncompressed_size = 5;
  TestEntry too_small = Deflated("short.txt", "0123456789");
  too_small.uncompressed_size = 20;  // CRC matches the ten bytes, the size does not
  TestEntry bad_deflate = Deflated("baddeflate.txt", "payload payload payload");
  bad_deflate.data[0] = static_cast<char>(0xFF);  // reserved block type
  Write(ZipBuilder()
            .Add(Stored("folder/", ""))
            .Add(encrypted)
            .Add(Stored("good.txt", "good"))
            .Add(bad_crc)
            .Add(method9)
            .Add(method9_empty)
            .Add(too_big)
            .Add(too_small)
            .Add(bad_deflate)
            .Add(Deflated("last.txt", std::string(100000, 'L'))));
  EXPECT_EQ(unzipper_.UnZip(), 4);  // folder, good, empty9, last
  EXPECT_EQ(
      Output(),
      (Files{{"good.txt", "good"}, {"empty9.txt", ""}, {"last.txt", std::string(100000, 'L')}}));
  EXPECT_EQ(host_.boxes, (std::vector<std::string>{"Zip Error|Unknown Compression Method",
                                                   "Zip Error|Unknown Compression Method"}));
}

// Entries of a megabyte and more are written by a thread of their own; the rules stay the same.
TEST_F(EntryRules, LargeEntriesAreWrittenWholeAndJudgedLikeSmallOnes) {
  const std::string stored = Sample(2500001, 7);
  const std::string deflated = Sample(3 * 1048576 + 1, 8);
  TestEntry bad_crc = Stored("badcrc.bin", Sample(1048576, 9));
  bad_crc.crc ^= 1;
  TestEntry too_big = Stored("toobig.bin", Sample(2 * 1048576, 11));
  too_big.uncompressed_size = 1048576 + 5;
  Write(ZipBuilder()
            .Add(Stored("stored.bin", stored))
            .Add(Stored("small.txt", "small"))
            .Add(bad_crc)
            .Add(Deflated("deflated.txt", deflated))
            .Add(too_big)
            .Add(Stored("last.txt", "last")));
  EXPECT_EQ(unzipper_.UnZip(), 4);
  EXPECT_EQ(Output(), (Files{{"stored.bin", stored},
                             {"small.txt", "small"},
                             {"deflated.txt", deflated},
                             {"last.txt", "last"}}));
}

TEST_F(EntryRules, ExistingFilesAreReplacedButReadOnlyOnesStay) {
  stdfs::create_directories(dest_);
  std::ofstream(dest_ / "plain.txt") << "old plain";
  std::ofstream(dest_ / "locked.txt") << "old locked";
  stdfs::permissions(dest_ / "locked.txt", stdfs::perms::owner_read | stdfs::perms::group_read);
  Write(ZipBuilder().Add(Stored("plain.txt", "new plain")).Add(Stored("locked.txt", "new")));
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_EQ(Output(), (Files{{"plain.txt", "new plain"}, {"locked.txt", "old locked"}}));
}

TEST_F(EntryRules, ReadOnlyAttributeIsKeptOnlyWhenAsked) {
  TestEntry ro = Stored("ro.txt", "R");
  ro.version_made_by = 0x0014;
  ro.external_attributes = 0x21;  // read-only, archive
  TestEntry rw = Stored("rw.txt", "W");
  rw.external_attributes = 0x20;
  Write(ZipBuilder().Add(ro).Add(rw));
  unzipper_.SetOEMConvert(false);
  EXPECT_EQ(unzipper_.UnZip(), 2);
  auto writable = [&](const char* name) {
    return (stdfs::status(dest_ / name).permissions() & stdfs::perms::owner_write) !=
           stdfs::perms::none;
  };
  EXPECT_FALSE(writable("ro.txt"));
  EXPECT_TRUE(writable("rw.txt"));

  Unprotect(dest_);
  stdfs::remove_all(dest_);
  unzipper_.SetRetainAttributes(false);
  EXPECT_EQ(unzipper_.UnZip(), 2);
  EXPECT_TRUE(writable("ro.txt"));
}

TEST_F(EntryRules, FailedEntryWithReadOnlyAttributeLeavesNothingBehind) {
  TestEntry ro = Stored("ro.txt", "R");
  ro.external_attributes = 0x01;
  ro.crc ^= 1;
  Write(ZipBuilder().Add(ro));
  EXPECT_EQ(unzipper_.UnZip(), 0);
  EXPECT_TRUE(Output().empty());
}

TEST_F(EntryRules, DestinationIsCreatedWithItsParentsAndOneTrailingBackslashDropped) {
  dest_ = root_ / "a" / "b" / "c";
  unzipper_.SetDestDir(dest_.string() + "\\");
  EXPECT_EQ(unzipper_.DestDir(), dest_.string());
  Write(ZipBuilder().Add(Stored("x.txt", "X")));
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_EQ(Output(), (Files{{"x.txt", "X"}}));
}

TEST_F(EntryRules, DefaultsAreTheSystemsOwn) {
  TUnZipper fresh(SystemArchiveFiles(), host_);
  EXPECT_FALSE(fresh.RecreateDirs());
  EXPECT_TRUE(fresh.RetainAttributes());
  EXPECT_FALSE(fresh.ReplaceReadOnly());
  EXPECT_FALSE(fresh.KeepZipOpen());
  EXPECT_TRUE(fresh.DoProcessMessages());
  EXPECT_TRUE(fresh.OEMConvert());
  EXPECT_EQ(fresh.SortMode(), TSortMode::SortNone);
  EXPECT_EQ(fresh.IncompleteZipMode(), TIncompleteZipMode::AssumeMulti);
  EXPECT_EQ(fresh.Password(), "");
}

TEST_F(EntryRules, MessagesAreServicedBeforeEachChunkOnlyWhenAsked) {
  const std::string big = Sample(200000, 3);
  Write(ZipBuilder().Add(Stored("big.bin", big)).Add(Deflated("big2.bin", big)));
  EXPECT_EQ(unzipper_.UnZip(), 2);
  // 200000 stored bytes are 7 chunks; the deflated entry needs at least one more.
  EXPECT_GE(host_.message_rounds, 8);
  host_.message_rounds = 0;
  unzipper_.SetDoProcessMessages(false);
  EXPECT_EQ(unzipper_.UnZip(), 2);
  EXPECT_EQ(host_.message_rounds, 0);
}

class EscapingErrors : public UnzipTest {};

TEST_F(EscapingErrors, ArchiveEndingInsideDataRemovesThePartialFile) {
  for (const size_t size : {size_t{100000}, size_t{3 * 1048576}}) {
    // The cut entry claims more data than the file holds.
    TestEntry cut = Stored("cut.bin", Sample(size, 5));
    cut.compressed_size = 0x7FFFFFF0;
    Write(ZipBuilder().Add(Stored("first.txt", "first")).Add(cut));
    EXPECT_THROW(unzipper_.UnZip(), EFatalUnzipError) << size;
    EXPECT_EQ(Output(), (Files{{"first.txt", "first"}})) << size;
    EXPECT_EQ(host_.depth, 0);
    stdfs::remove_all(dest_);
  }
}

TEST_F(EscapingErrors, LocalHeaderPastTheEndIsPrematureEnd) {
  TestEntry far = Stored("far.txt", "F");
  far.central_offset = 0x70000000;
  Write(ZipBuilder().Add(far));
  EXPECT_THROW(unzipper_.UnZip(), EFatalUnzipError);
  EXPECT_TRUE(Output().empty());
}

// Takes at most `limit` bytes per file, like a full disk.
class ShortWriteFiles final : public ArchiveFiles {
 public:
  explicit ShortWriteFiles(size_t limit) : limit_(limit) {}
  std::unique_ptr<ArchiveInput> OpenArchive(const std::string& p) override {
    return system_.OpenArchive(p);
  }
  std::unique_ptr<ArchiveOutput> CreateOutput(const std::string& p) override {
    class Short final : public ArchiveOutput {
     public:
      Short(std::unique_ptr<ArchiveOutput> inner, size_t room)
          : inner_(std::move(inner)), room_(room) {}
      size_t Write(const uint8_t* data, size_t size) override {
        const size_t n = std::min(size, room_);
        room_ -= n;
        return inner_->Write(data, n);
      }
      void Close(const FileStamp* stamp) override { inner_->Close(stamp); }

     private:
      std::unique_ptr<ArchiveOutput> inner_;
      size_t room_;
    };
    auto inner = system_.CreateOutput(p);
    return inner ? std::make_unique<Short>(std::move(inner), limit_) : nullptr;
  }
  bool RemoveFile(const std::string& p) override { return system_.RemoveFile(p); }
  bool FileExists(const std::string& p) override { return system_.FileExists(p); }
  bool FolderExists(const std::string& p) override { return system_.FolderExists(p); }
  bool CreateFolders(const std::string& p) override { return system_.CreateFolders(p); }

 private:
  ArchiveFiles& system_ = SystemArchiveFiles();
  size_t limit_;
};

TEST_F(EscapingErrors, FullDiskIsCantWriteAndLeavesNoPartialFile) {
  struct Case {
    const char* label;
    TestEntry entry;
    size_t room;
  };
  const std::string large = Sample(3 * 1048576 + 100, 2);
  const Case cases[] = {
      {"small stored", Stored("a.txt", "0123456789"), 4},
      {"deflated", Deflated("b.txt", Sample(300000, 2)), 4},
      {"large, first block", Deflated("c.txt", large), 4},
      {"large, a later block", Stored("d.txt", large), 1048576 + 1000},
      {"large, the last bytes", Stored("e.txt", large), large.size() - 1},
  };
  for (const Case& c : cases) {
    ShortWriteFiles files(c.room);
    TUnZipper unzipper(files, host_);
    unzipper.SetZipName(archive_);
    unzipper.SetDestDir(dest_.string());
    unzipper.SetDoAll(true);
    unzipper.SetOverwriteMode(TOverwriteMode::Always);
    Write(ZipBuilder().Add(c.entry));
    EXPECT_THROW(unzipper.UnZip(), ECantWriteUCF) << c.label;
    EXPECT_TRUE(Output().empty()) << c.label;
  }
}

class BadInput : public UnzipTest {};

TEST_F(BadInput, UnsafeNamesAreSkippedWithoutError) {
  const std::string names[] = {"",
                               ".",
                               "..",
                               "sub/..",
                               "CON",
                               "con.txt",
                               "dir/Nul.tar.gz",
                               "AUX.",
                               "COM1",
                               "lpt9 .x",
                               "prn  ",
                               "a<b",
                               "a>b",
                               "a\"b",
                               "a|b",
                               "a?b",
                               "a*b",
                               std::string("evil\0.txt", 9),
                               std::string("tab\t"),
                               "...",
                               "  ",
                               "c:"};
  ZipBuilder builder;
  for (const std::string& name : names) builder.Add(Stored(name, "bad:" + name));
  builder.Add(Stored("fine.txt", "fine"));
  Write(builder);
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_EQ(Output(), (Files{{"fine.txt", "fine"}}));
}

TEST_F(BadInput, NothingIsWrittenOutsideTheDestination) {
  const std::string outside = (root_ / "escaped.txt").string();
  Write(ZipBuilder()
            .Add(Stored("../escaped.txt", "1"))
            .Add(Stored("..\\..\\escaped2.txt", "2"))
            .Add(Stored(outside, "3"))
            .Add(Stored("C:\\Windows\\escaped4.txt", "4"))
            .Add(Stored("c:escaped5.txt", "5")));
  EXPECT_EQ(unzipper_.UnZip(), 5);
  EXPECT_EQ(Output(), (Files{{"escaped.txt", "3"},
                             {"escaped2.txt", "2"},
                             {"escaped4.txt", "4"},
                             {"escaped5.txt", "5"}}));
  size_t outside_files = 0;
  for (const auto& e : stdfs::directory_iterator(root_)) {
    if (e.path() != dest_ && e.path().string() != archive_) ++outside_files;
  }
  EXPECT_EQ(outside_files, 0u);
}

TEST_F(BadInput, ALinkInTheDestinationIsNotFollowed) {
  const stdfs::path victim = root_ / "victim.txt";
  std::ofstream(victim) << "precious";
  stdfs::create_directories(dest_);
  stdfs::create_symlink(victim, dest_ / "link.txt");
  Write(ZipBuilder().Add(Stored("link.txt", "overwritten")).Add(Stored("ok.txt", "ok")));
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_EQ(Read(victim), "precious");
}

TEST_F(BadInput, HugeOrImpossibleNumbersEndAsErrorsOrFailedEntries) {
  struct Case {
    const char* label;
    std::function<TestEntry()> entry;
    int count;  // -1: EFatalUnzipError
  };
  const Case cases[] = {
      {"compressed size 4 GB",
       [] {
         TestEntry e = Stored("a", "A");
         e.compressed_size = 0xFFFFFFFF;
         return e;
       },
       -1},
      {"uncompressed size 4 GB, data small",
       [] {
         TestEntry e = Stored("a", "A");
         e.uncompressed_size = 0xFFFFFFFF;
         return e;
       },
       0},
      {"offset 4 GB",
       [] {
         TestEntry e = Stored("a", "A");
         e.central_offset = 0xFFFFFFFF;
         return e;
       },
       -1},
      {"local extra pointing past the end",
       [] {
         TestEntry e = Stored("a", "A");
         e.local_extra = "xx";
         e.compressed_size = 1;
         return e;
       },
       1},
  };
  for (const Case& c : cases) {
    ArchiveLayout layout = ZipBuilder().Add(c.entry()).Build();
    Write(layout.bytes);
    unzipper_.SetZipName(archive_ + "x");
    unzipper_.SetZipName(archive_);
    stdfs::remove_all(dest_);
    if (c.count < 0) {
      EXPECT_THROW(unzipper_.UnZip(), EFatalUnzipError) << c.label;
    } else {
      EXPECT_EQ(unzipper_.UnZip(), c.count) << c.label;
    }
  }
}

TEST_F(BadInput, LocalExtraLengthBeyondTheFileIsPrematureEnd) {
  ArchiveLayout layout = ZipBuilder().Add(Stored("a.txt", "AAAA")).Build();
  layout.bytes[28] = 0xFF;  // local extra length 0xFFFF: the data now start past the end
  layout.bytes[29] = 0xFF;
  Write(layout.bytes);
  EXPECT_THROW(unzipper_.UnZip(), EFatalUnzipError);
  EXPECT_TRUE(Output().empty());
}

TEST_F(BadInput, ZipBombStopsAtTheDeclaredSize) {
  const std::string zeros(50 * 1000 * 1000, '\0');
  TestEntry bomb = Deflated("bomb.bin", zeros);
  bomb.uncompressed_size = 1000;
  bomb.crc = Crc32(zeros.substr(0, 1000));
  Write(ZipBuilder().Add(bomb).Add(Stored("after.txt", "after")));
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_EQ(Output(), (Files{{"after.txt", "after"}}));
}

TEST_F(BadInput, MoreEntriesDeclaredThanTheDirectoryHolds) {
  Write(ZipBuilder().Add(Stored("a.txt", "A")).EndFields(0, 0, 65535, -1));
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_EQ(Output(), (Files{{"a.txt", "A"}}));
}

}  // namespace
}  // namespace flashsaver::testing

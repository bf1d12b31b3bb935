// Finding the directory: the end record, the central directory with its lenient reading, the
// recovery scan over the local headers, the order of the entries and the reuse of a directory.
#include <gtest/gtest.h>

#include "package/zip/zip_errors.h"
#include "tests/unit/zip/unzip_fixture.h"

namespace flashsaver::testing {
namespace {

using Files = std::map<std::string, std::string>;

class EndRecordSearch : public UnzipTest {};

TEST_F(EndRecordSearch, EmptyFileIsAnEmptyArchiveAndShortFilesAreIncomplete) {
  Write(Bytes{});
  EXPECT_EQ(unzipper_.UnZip(), 0);
  for (size_t size : {1u, 5u, 21u}) {
    Write(Bytes(size, 0x50));
    unzipper_.SetZipName(archive_ + ".other");  // forget the directory held
    unzipper_.SetZipName(archive_);
    EXPECT_THROW(unzipper_.UnZip(), EIncompleteZip) << size << " bytes";
  }
}

TEST_F(EndRecordSearch, FindsTheRecordBehindTheLongestCommentButNotFurther) {
  Write(ZipBuilder().Add(Stored("a.txt", "A")).Comment(std::string(65535, 'c')));
  EXPECT_EQ(unzipper_.UnZip(), 1);

  // One byte more behind the record: it now starts 65558 bytes from the end.
  Bytes bytes =
      ZipBuilder().Add(Stored("a.txt", "A")).Comment(std::string(65535, 'c')).Build().bytes;
  bytes.push_back('x');
  Write(bytes);
  unzipper_.SetZipName(archive_ + "x");
  unzipper_.SetZipName(archive_);
  EXPECT_THROW(unzipper_.UnZip(), EIncompleteZip);
}

TEST_F(EndRecordSearch, SignatureInTheCommentWinsBeingNearerTheEnd) {
  // The comment holds a complete end record that lists no entries.
  Bytes fake;
  Put32(fake, 0x06054B50);
  for (int i = 0; i < 9; ++i) Put16(fake, 0);
  Write(ZipBuilder().Add(Stored("a.txt", "A")).Comment(std::string(fake.begin(), fake.end())));
  EXPECT_EQ(unzipper_.UnZip(), 0);
  EXPECT_TRUE(Output().empty());
  EXPECT_EQ(unzipper_.EndRecord().total_entries, 0);
}

TEST_F(EndRecordSearch, RejectedRecordsAreIncomplete) {
  struct Case {
    const char* label;
    int this_disk, directory_disk;
    int64_t offset;
  };
  const Case cases[] = {
      {"this disk above 999", 1000, 0, -1},
      {"directory disk above 999", 1000, 1000, -1},
      {"this disk before the directory's", 0, 1, -1},
      {"negative offset", 0, 0, 0x80000000},
  };
  for (const Case& c : cases) {
    Write(ZipBuilder()
              .Add(Stored("a.txt", "A"))
              .EndFields(c.this_disk, c.directory_disk, -1, c.offset));
    unzipper_.SetZipName(archive_ + "x");
    unzipper_.SetZipName(archive_);
    EXPECT_THROW(unzipper_.UnZip(), EIncompleteZip) << c.label;
    EXPECT_EQ(unzipper_.Directory(), nullptr) << c.label;
  }
  EXPECT_TRUE(Output().empty());
}

class CentralDirectory : public UnzipTest {};

TEST_F(CentralDirectory, CommentsAndExtraFieldsOfEntriesAreSkipped) {
  TestEntry a = Stored("a.txt", "A");
  a.comment = "a comment that is long enough to hide a record PK\x01\x02";
  a.central_extra = std::string(30, 'e');
  a.local_extra = std::string(7, 'l');
  Write(ZipBuilder().Add(a).Add(Deflated("b.txt", "BBBB")).Add(Stored("c.txt", "C")));
  EXPECT_EQ(unzipper_.UnZip(), 3);
  EXPECT_EQ(Output(), (Files{{"a.txt", "A"}, {"b.txt", "BBBB"}, {"c.txt", "C"}}));
}

TEST_F(CentralDirectory, ExtraFieldDeclaredButNotWrittenIsTakenAsAbsent) {
  TestEntry a = Stored("a.txt", "A");
  a.central_extra_length_declared = 12;  // no bytes follow
  Write(ZipBuilder().Add(a).Add(Stored("b.txt", "B")).Add(Stored("c.txt", "C")));
  EXPECT_EQ(unzipper_.UnZip(), 3);
  EXPECT_EQ(Output(), (Files{{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}}));
  int seen = 0;
  unzipper_.Directory()->ForEach([&](const TZipEntryInfo& e) {
    if (e.file_name == "a.txt") {
      EXPECT_EQ(e.extra_length, 0);
    }
    ++seen;
  });
  EXPECT_EQ(seen, 3);
}

TEST_F(CentralDirectory, EntriesAreOrderedByWhereTheirDataLie) {
  // Same file name in two folders: flat extraction writes both to one file; the later data win.
  Write(ZipBuilder()
            .Add(Stored("a/x.txt", "first"))
            .Add(Stored("b/x.txt", "second"))
            .Add(Stored("y.txt", "Y"))
            .CentralOrder({2, 1, 0}));
  EXPECT_EQ(unzipper_.UnZip(), 3);
  EXPECT_EQ(Output(), (Files{{"x.txt", "second"}, {"y.txt", "Y"}}));
  std::vector<std::string> order;
  unzipper_.Directory()->ForEach(
      [&](const TZipEntryInfo& e) { order.push_back(e.folder + e.file_name); });
  EXPECT_EQ(order, (std::vector<std::string>{"a\\x.txt", "b\\x.txt", "y.txt"}));
}

TEST_F(CentralDirectory, NamesFromDosHostsAreConvertedWhenAsked) {
  TestEntry dos = Stored("dos.txt", "D");
  dos.version_made_by = 0x0014;
  TestEntry unix_ = Stored("unix.txt", "U");
  Write(ZipBuilder().Add(dos).Add(unix_));
  EXPECT_EQ(unzipper_.UnZip(), 2);
  EXPECT_EQ(Output(), (Files{{"oem-dos.txt", "D"}, {"unix.txt", "U"}}));

  unzipper_.SetOEMConvert(false);
  unzipper_.SetZipName(archive_ + "x");
  unzipper_.SetZipName(archive_);
  stdfs::remove_all(dest_);
  EXPECT_EQ(unzipper_.UnZip(), 2);
  EXPECT_EQ(Output(), (Files{{"dos.txt", "D"}, {"unix.txt", "U"}}));
}

class RecoveryScan : public UnzipTest {};

TEST_F(RecoveryScan, RebuildsTheDirectoryWhenTheCentralOneIsBroken) {
  struct Case {
    const char* label;
    std::function<void(ArchiveLayout&)> damage;
  };
  const Case cases[] = {
      {"directory offset past the end",
       [](ArchiveLayout& a) { Poke32(a.bytes, a.end_offset + 16, 0x10000000); }},
      {"signature of the second entry broken",
       [](ArchiveLayout& a) {
         // The first central entry: 46 bytes + "a.txt".
         a.bytes[a.directory_offset + 46 + 5] = 'X';
       }},
      {"more entries declared than present",
       [](ArchiveLayout& a) {
         a.bytes[a.end_offset + 10] = 0xFF;
         a.bytes[a.end_offset + 11] = 0xFF;
       }},
  };
  unzipper_.SetOEMConvert(false);
  for (const Case& c : cases) {
    ArchiveLayout layout = ZipBuilder()
                               .Prefix("junk before the archive PK\x03\x04\x14\x0A")
                               .Add(Stored("a.txt", "A"))
                               .Add(Deflated("b.txt", std::string(500, 'b')))
                               .Build();
    c.damage(layout);
    Write(layout.bytes);
    unzipper_.SetZipName(archive_ + "x");
    unzipper_.SetZipName(archive_);
    stdfs::remove_all(dest_);
    EXPECT_EQ(unzipper_.UnZip(), 2) << c.label;
    EXPECT_EQ(Output(), (Files{{"a.txt", "A"}, {"b.txt", std::string(500, 'b')}})) << c.label;
  }
}

TEST_F(RecoveryScan, DuplicateKeysStartTheScanAndTheCentralValuesAreMergedIn) {
  TestEntry a = Stored("central-a.txt", "S");
  a.local_name = "local-a.txt";
  TestEntry b = Stored("central-b.txt", "S");
  b.local_name = "local-b.txt";
  b.central_offset = 0;  // the same key as a
  TestEntry c = Stored("c.txt", "C");
  c.local_name = "only-local.txt";
  Write(ZipBuilder().Add(a).Add(b).Add(c));
  // The scan lists the three local headers; the merge gives the first one a's and then b's
  // central values, the third one c's; b's own header has no central entry and keeps its
  // local name, converted as every name the scan reads.
  EXPECT_EQ(unzipper_.UnZip(), 3);
  EXPECT_EQ(Output(), (Files{{"central-b.txt", "S"}, {"oem-local-b.txt", "S"}, {"c.txt", "C"}}));
  EXPECT_EQ(unzipper_.EndRecord().total_entries, 3);
  EXPECT_EQ(unzipper_.EndRecord().directory_offset, 3 * 30 + 11 + 11 + 14 + 3u);
}

TEST_F(RecoveryScan, FollowsDataDescriptorsAndSkipsImplausibleVersions) {
  TestEntry a = Stored("a.txt", "AAAA");
  a.flags = 0x0008;
  Bytes descriptor;
  Put32(descriptor, 0x08074B50);
  Put32(descriptor, a.crc);
  Put32(descriptor, 4);
  Put32(descriptor, 4);
  a.data += std::string(descriptor.begin(), descriptor.end());
  a.compressed_size = 4;
  ArchiveLayout layout = ZipBuilder()
                             .Prefix(std::string("PK\x03\x04\x00\x0A", 6))
                             .Add(a)
                             .Add(Stored("b.txt", "B"))
                             .Build();
  Poke32(layout.bytes, layout.end_offset + 16, 0x7FFFFFFF);
  Write(layout.bytes);
  EXPECT_EQ(unzipper_.UnZip(), 2);
  EXPECT_EQ(Output(), (Files{{"a.txt", "AAAA"}, {"b.txt", "B"}}));
}

TEST_F(RecoveryScan, FailsWithoutAnyLocalHeader) {
  Bytes bytes;
  PutText(bytes, "no archive here, only an end record");
  Put32(bytes, 0x06054B50);
  Put16(bytes, 0), Put16(bytes, 0), Put16(bytes, 1), Put16(bytes, 1);
  Put32(bytes, 46), Put32(bytes, 3), Put16(bytes, 0);
  Write(bytes);
  EXPECT_THROW(unzipper_.UnZip(), EBadZipFile);
  EXPECT_EQ(unzipper_.Directory(), nullptr);
  EXPECT_EQ(host_.depth, 0) << "hourglass left on";
}

TEST_F(RecoveryScan, ServicesMessagesWhileScanningLongStretches) {
  ArchiveLayout layout =
      ZipBuilder().Prefix(std::string(50000, 'z')).Add(Stored("a.txt", "A")).Build();
  Poke32(layout.bytes, layout.end_offset + 16, 0x7FFFFFFF);
  Write(layout.bytes);
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_GE(host_.message_rounds, 4);  // 50000 / 10240
}

class DirectoryReuse : public UnzipTest {};

TEST_F(DirectoryReuse, UnchangedArchiveIsNotReadAgain) {
  ArchiveLayout layout = ZipBuilder().Add(Stored("a.txt", "A")).Add(Stored("b.txt", "B")).Build();
  Write(layout.bytes);
  EXPECT_EQ(unzipper_.UnZip(), 2);
  const auto time = stdfs::last_write_time(archive_);

  // Break the end record in place and put the old time back: a reader that reads the directory
  // again fails, one that reuses it extracts as before.
  layout.bytes[layout.end_offset] = 'X';
  Write(layout.bytes);
  stdfs::last_write_time(archive_, time);
  unzipper_.SetZipName(archive_);  // the same name changes nothing
  EXPECT_EQ(unzipper_.UnZip(), 2);

  // Another name (case aside) drops the directory.
  std::string upper = archive_;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  unzipper_.SetZipName(upper);
  unzipper_.SetZipName(archive_);
  EXPECT_NE(unzipper_.Directory(), nullptr) << "a name that differs only in case is the same";

  stdfs::last_write_time(archive_, time + std::chrono::seconds(10));
  EXPECT_THROW(unzipper_.UnZip(), EIncompleteZip);
  EXPECT_EQ(unzipper_.Directory(), nullptr);
}

TEST_F(DirectoryReuse, HourglassShowsWhileOpeningAndIsRestored) {
  Write(ZipBuilder().Add(Stored("a.txt", "A")));
  EXPECT_EQ(unzipper_.UnZip(), 1);
  EXPECT_EQ(host_.waits, 1);
  EXPECT_EQ(host_.depth, 0);
  unzipper_.SetZipName((root_ / "missing.zip").string());
  EXPECT_THROW(unzipper_.UnZip(), EFOpenError);
  EXPECT_EQ(host_.depth, 0);
}

}  // namespace
}  // namespace flashsaver::testing

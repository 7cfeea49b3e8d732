#include "rescue/setting_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "base/exception.h"
#include "rescue/executable_folder.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class SettingFileTest : public testing::Test {
 protected:
  std::string Name() const { return dir_.Path() + "/setting.dat"; }
  // Writes `value`, then reads the file back into a fresh value, as a close and a start do.
  std::string RoundTrip(const TShortString& value) {
    WriteSettingFile(Name(), value);
    EXPECT_EQ(fs::file_size(Name()), 255u);
    TShortString read;
    ReadSettingFile(Name(), read);
    return read.Text();
  }
  TempDir dir_;
};

TEST_F(SettingFileTest, ValuesSurviveACloseAndAStart) {
  struct Case {
    std::string chosen;
    std::string remembered;
  } const cases[] = {
      {"/home/user/RodidOzur", "/home/user/RodidOzur"},
      {"/" + std::string(253, 'd'), "/" + std::string(253, 'd')},
      {"/" + std::string(300, 'e'), "/" + std::string(253, 'e')},
      {"/\xD6\xD0\xCE\xC4/\xC4\xBF\xC2\xBC", "/\xD6\xD0\xCE\xC4/\xC4\xBF\xC2\xBC"},
      {"/", "/"},
  };
  for (const Case& c : cases) {
    TShortString value;
    value.Assign(c.chosen);
    EXPECT_EQ(RoundTrip(value), c.remembered) << c.chosen.size();
  }
}

TEST_F(SettingFileTest, TheFileIsTheRawImageWithThePaddingOfALongerValue) {
  TShortString value;
  value.Assign("/srv/a-much-longer-folder");
  value.Assign("/srv/b");
  WriteSettingFile(Name(), value);
  const std::string bytes = ReadFileBytes(Name());
  ASSERT_EQ(bytes.size(), 255u);
  EXPECT_EQ(bytes[0], 6);
  EXPECT_EQ(bytes.substr(1, 25), "/srv/b-much-longer-folder");
  EXPECT_EQ(bytes.substr(26), std::string(255 - 26, '\0'));
  TShortString read;
  ReadSettingFile(Name(), read);
  EXPECT_EQ(read.Text(), "/srv/b");
}

TEST_F(SettingFileTest, FilesOfEveryLengthAreReadAndSeeded) {
  struct Case {
    const char* name;
    std::string content;
    std::string field;  // what the output folder field shows after seeding
  };
  const Case cases[] = {
      {"empty", "", "/default"},
      {"one zero byte", std::string(1, '\0'), "/default"},
      {"one byte counting five", "\x05", "/default"},
      {"short", "\x04/abc", "/abc"},
      {"short of its count", "\x09/abc", "/abc"},
      {"zero bytes inside", std::string("\x08/ab\0/cde", 9), "/ab"},
      {"only zero bytes counted", std::string("\x03\0\0\0", 4), "/default"},
      {"first byte 255", "\xFF" + std::string(254, 'q'), std::string(254, 'q')},
      {"longer than 255", "\x04/xyz" + std::string(400, 'p'), "/xyz"},
  };
  for (const Case& c : cases) {
    dir_.WriteFile("setting.dat", c.content);
    TShortString outPath;
    ReadSettingFile(Name(), outPath);
    EXPECT_EQ(SeedOutPath(outPath, "/default"), c.field) << c.name;
    EXPECT_EQ(outPath.Text(), c.field) << c.name;
    // The next close leaves a valid image, whatever was read.
    WriteSettingFile(Name(), outPath);
    const std::string written = ReadFileBytes(Name());
    ASSERT_EQ(written.size(), 255u) << c.name;
    EXPECT_EQ(static_cast<unsigned char>(written[0]), c.field.size()) << c.name;
    EXPECT_EQ(written.substr(1, c.field.size()), c.field) << c.name;
  }
}

TEST_F(SettingFileTest, AMissingFileLeavesTheValueAlone) {
  TShortString outPath;
  outPath.Assign("/kept");
  ReadSettingFile(Name(), outPath);
  EXPECT_EQ(outPath.Text(), "/kept");
  EXPECT_FALSE(fs::exists(Name()));
}

TEST_F(SettingFileTest, SeedingKeepsAtMost254BytesOfTheDefault) {
  TShortString outPath;
  const std::string longDefault = "/" + std::string(299, 'z');
  EXPECT_EQ(SeedOutPath(outPath, longDefault), longDefault);
  EXPECT_EQ(outPath.Text(), longDefault.substr(0, 254));
}

TEST_F(SettingFileTest, AFileThatCannotBeOpenedRaisesTheOpenError) {
  fs::create_directory(Name());
  TShortString outPath;
  try {
    ReadSettingFile(Name(), outPath);
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + Name() + "\". Is a directory");
  }
  EXPECT_TRUE(outPath.Empty());
}

TEST_F(SettingFileTest, AFileThatCannotBeWrittenRaisesTheCreateErrorAndLeavesNoTemporary) {
  fs::create_directory(Name());
  TShortString value;
  value.Assign("/x");
  try {
    WriteSettingFile(Name(), value);
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + Name() + "\". Is a directory");
  }
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_.Path()))
    ++entries;
  EXPECT_EQ(entries, 1);
}

TEST_F(SettingFileTest, AFolderThatCannotBeCreatedRaisesTheCreateError) {
  const std::string blocker = dir_.WriteFile("plain-file", "x");
  const std::string name = blocker + "/sub/setting.dat";
  TShortString value;
  try {
    WriteSettingFile(name, value);
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + name + "\". Not a directory");
  }
}

TEST_F(SettingFileTest, WritingCreatesMissingFoldersAndReplacesTheFileWhole) {
  const std::string name = dir_.Path() + "/config/flashgrab/setting.dat";
  TShortString value;
  value.Assign("/first-folder-name");
  WriteSettingFile(name, value);
  value.Assign("/second");
  WriteSettingFile(name, value);
  TShortString read;
  ReadSettingFile(name, read);
  EXPECT_EQ(read.Text(), "/second");
  EXPECT_EQ(ReadFileBytes(name).size(), 255u);
}

TEST_F(SettingFileTest, AReplacedFileKeepsItsPermissions) {
  dir_.WriteFile("setting.dat", "\x02/a");
  fs::permissions(Name(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  TShortString value;
  value.Assign("/b");
  WriteSettingFile(Name(), value);
  EXPECT_EQ(fs::status(Name()).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SettingFileTest, TheFileLivesBesideTheProgramWhenThatFolderIsWritable) {
  EXPECT_EQ(SettingFilePath(dir_.Path() + "/", "/cfg"), dir_.Path() + "/setting.dat");
  EXPECT_EQ(SettingFilePath(dir_.Path(), "/cfg"), dir_.Path() + "/setting.dat");
  EXPECT_EQ(SettingFilePath(dir_.Path() + "/missing/", "/cfg/flashgrab"),
            "/cfg/flashgrab/setting.dat");
  EXPECT_EQ(SettingFilePath("", "/cfg/"), "/cfg/setting.dat");
}

TEST(ExecutableFolderTest, IsTheFolderOfThisTestProgram) {
  const std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::exists(folder + "rescue_tests"));
}

TEST(DefaultOutPathTest, IsRodidOzurInTheHomeFolder) {
  const std::string saved = ::getenv("HOME") ? ::getenv("HOME") : "";
  struct Case {
    const char* home;
    const char* folder;
  } const cases[] = {{"/home/tester", "/home/tester/RodidOzur"},
                     {"/home/tester/", "/home/tester/RodidOzur"},
                     {"/", "/RodidOzur"},
                     {"/root", "/root/RodidOzur"}};
  for (const Case& c : cases) {
    ::setenv("HOME", c.home, 1);
    EXPECT_EQ(DefaultOutPath(), c.folder) << c.home;
  }
  ::setenv("HOME", saved.c_str(), 1);
}

}  // namespace

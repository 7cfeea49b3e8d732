#include "base/safe_file_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/exception.h"
#include "base/stream.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// How a row's writer ends.
enum class TEnding {
  Commit,
  Abandon,           // destroyed uncommitted
  WriteTooLarge,     // Write runs into the file size limit
  StreamTooLarge,    // the stream's WriteBuffer runs into it
  DestinationIsDir,  // a folder stands under the destination's name
  NoFolder,          // the destination's folder does not exist
};

// Writes beyond `limit` bytes fail with EFBIG (the signal that comes with it is ignored) while
// this object lives.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t limit) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    saved_signal_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = saved_;
    lower.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lower);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, saved_signal_);
  }

 private:
  rlimit saved_{};
  sighandler_t saved_signal_ = SIG_DFL;
};

class TUmask {
 public:
  explicit TUmask(mode_t mask) : saved_(::umask(mask)) {}
  ~TUmask() { ::umask(saved_); }

 private:
  mode_t saved_;
};

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(SafeFileWriterTest, TheDestinationIsReplacedWholeOrLeftAsItWas) {
  const TSafeFileOptions careful{.Sync = true, .KeepMode = true};
  const struct Case {
    const char* name;
    std::string fileName;
    std::optional<std::string> existing;  // what the destination held before
    mode_t existingMode;
    TSafeFileOptions options;
    TEnding ending;
    mode_t mode;        // of the destination afterwards
    std::string error;  // "CLASS: MESSAGE" without "Cannot create file "DEST". "; empty: none
  } cases[] = {
      {"new file", "a.swf", std::nullopt, 0, {}, TEnding::Commit, 0644, ""},
      {"replaced, mode of a new file", "a.swf", "old", 0600, {}, TEnding::Commit, 0644, ""},
      {"replaced, mode kept", "setting.dat", "old", 0640, careful, TEnding::Commit, 0640, ""},
      {"new file, mode to keep", "setting.dat", std::nullopt, 0, careful, TEnding::Commit, 0644,
       ""},
      {"longest name", std::string(255, 'n'), std::nullopt, 0, {}, TEnding::Commit, 0644, ""},
      {"abandoned", "a.swf", "old", 0600, {}, TEnding::Abandon, 0600, ""},
      {"full", "a.swf", "old", 0600, careful, TEnding::WriteTooLarge, 0600,
       "EFCreateError: File too large"},
      {"full through the stream",
       "a.swf",
       "old",
       0600,
       {},
       TEnding::StreamTooLarge,
       0600,
       "EWriteError: Stream write error"},
      {"a folder in the way",
       "a.swf",
       std::nullopt,
       0,
       {},
       TEnding::DestinationIsDir,
       0,
       "EFCreateError: Is a directory"},
      {"no folder",
       "missing/a.swf",
       std::nullopt,
       0,
       {},
       TEnding::NoFolder,
       0,
       "EFCreateError: No such file or directory"},
  };
  // More than the file size limit of the failing rows.
  const std::string written(8192, 'w');
  const TUmask mask(022);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir.Path() + "/" + c.fileName;
    std::vector<std::string> before;
    if (c.existing) {
      dir.WriteFile(c.fileName, *c.existing);
      ::chmod(path.c_str(), c.existingMode);
      before.push_back(c.fileName);
    }
    if (c.ending == TEnding::DestinationIsDir) {
      fs::create_directory(path);
      fs::create_directory(path + "/inside");
      before.push_back(c.fileName);
    }

    std::string error;
    try {
      TSafeFileWriter writer(path, c.options);
      // The bytes go to one hidden file beside the destination.
      const std::vector<std::string> during = FileNamesIn(dir.Path());
      ASSERT_EQ(during.size(), before.size() + 1);
      const std::string prefix = "." + c.fileName.substr(0, 200) + ".part-";
      EXPECT_EQ(std::count_if(during.begin(), during.end(),
                              [&](const std::string& n) { return n.starts_with(prefix); }),
                1);
      if (c.ending == TEnding::WriteTooLarge) {
        const TFileSizeLimit limit(4096);
        writer.Write(written.data(), written.size());
      } else if (c.ending == TEnding::StreamTooLarge) {
        const TFileSizeLimit limit(4096);
        writer.Stream().WriteBuffer(written.data(), static_cast<int64_t>(written.size()));
      } else {
        writer.Write(written.data(), written.size());
      }
      if (c.ending != TEnding::Abandon) writer.Commit();
    } catch (const Exception& e) {
      const std::string refusal = "Cannot create file \"" + path + "\". ";
      const std::string message = e.Message();
      error = std::string(e.ClassName()) + ": " +
              (message.starts_with(refusal) ? message.substr(refusal.size()) : message);
    }
    EXPECT_EQ(error, c.error);

    // Nothing is left beside the destination, whatever happened.
    std::vector<std::string> after = before;
    if (c.ending == TEnding::Commit && !c.existing) after.push_back(c.fileName);
    EXPECT_EQ(FileNamesIn(dir.Path()), after);
    if (c.ending == TEnding::Commit) {
      EXPECT_EQ(ReadFileBytes(path), written);
    } else if (c.existing) {
      EXPECT_EQ(ReadFileBytes(path), *c.existing);
    }
    if (c.mode != 0) {
      EXPECT_EQ(ModeOf(path), c.mode);
    }
    if (c.ending == TEnding::DestinationIsDir) {
      EXPECT_TRUE(fs::is_directory(path + "/inside"));
    }
  }
}

}  // namespace

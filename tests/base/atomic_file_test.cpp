#include "base/atomic_file.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace logwell {
namespace {

namespace fs = std::filesystem;

using Writer = int (*)(const fs::path&, std::string_view, WriteMode, unsigned);

// Every case runs through the writer itself (which makes an unnamed file where the file
// system allows) and through the named-temporary fallback it uses elsewhere.
class AtomicWrite : public ::testing::TestWithParam<Writer> {
 protected:
  AtomicWrite()
      : folder_(fs::temp_directory_path() / ("logwell_atomic_" + std::to_string(::getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  ~AtomicWrite() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  int Write(const fs::path& path, std::string_view bytes, WriteMode mode = WriteMode::Replace,
            unsigned newFileMode = kNewFileMode) {
    return GetParam()(path, bytes, mode, newFileMode);
  }

  // The names in the folder: only the targets may be there after any write.
  std::vector<std::string> Names(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> Names() const { return Names(folder_); }

  static unsigned Mode(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
  }

  fs::path folder_;
};

// Sets the umask for a scope.
class Umask {
 public:
  explicit Umask(mode_t mask) : old_(::umask(mask)) {}
  ~Umask() { ::umask(old_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t old_;
};

TEST_P(AtomicWrite, NewFilesFollowTheUmask) {
  const struct {
    mode_t umask;
    unsigned asked;
    unsigned made;
  } cases[] = {
      {077, kNewFileMode, 0600}, {022, kNewFileMode, 0644}, {002, kNewFileMode, 0664},
      {027, kNewFileMode, 0640}, {022, 0600, 0600},         {077, 0600, 0600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << std::oct << "umask " << c.umask << " asked " << c.asked);
    const Umask mask(c.umask);
    const fs::path path = folder_ / "track.igc";
    fs::remove(path);
    ASSERT_EQ(Write(path, "B1", WriteMode::CreateOnly, c.asked), 0);
    EXPECT_EQ(Mode(path), c.made);
    fs::remove(path);
    ASSERT_EQ(Write(path, "B1", WriteMode::Replace, c.asked), 0);
    EXPECT_EQ(Mode(path), c.made);
  }
}

TEST_P(AtomicWrite, CreatesAndReplacesWithTheRightPermissions) {
  const Umask strict(077);
  const fs::path path = folder_ / "track.igc";
  ASSERT_EQ(Write(path, "first"), 0);
  EXPECT_EQ(testing::ReadWholeFile(path), "first");
  EXPECT_EQ(Mode(path), 0600u);  // the umask holds back the others' bits

  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(Write(path, "second, longer", WriteMode::Replace, 0600), 0);
  EXPECT_EQ(testing::ReadWholeFile(path), "second, longer");
  EXPECT_EQ(Mode(path), 0640u);  // a replaced file keeps its bits

  ASSERT_EQ(Write(folder_ / "settings.ini", "", WriteMode::CreateOnly, 0600), 0);
  EXPECT_EQ(testing::ReadWholeFile(folder_ / "settings.ini"), "");
  EXPECT_EQ(Mode(folder_ / "settings.ini"), 0600u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"settings.ini", "track.igc"}));
}

TEST_P(AtomicWrite, CreateOnlyLeavesAnExistingFileAlone) {
  const fs::path path = folder_ / "task.kml";
  ASSERT_EQ(Write(path, "mine", WriteMode::CreateOnly), 0);
  EXPECT_EQ(Write(path, "theirs", WriteMode::CreateOnly), EEXIST);
  EXPECT_EQ(testing::ReadWholeFile(path), "mine");
  fs::create_directory(folder_ / "folder");
  EXPECT_EQ(Write(folder_ / "folder", "x", WriteMode::CreateOnly), EEXIST);
  EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "task.kml"}));
}

TEST_P(AtomicWrite, FailuresGiveTheErrnoAndLeaveNothingBehind) {
  ASSERT_EQ(Write(folder_ / "file", "kept"), 0);
  fs::create_directory(folder_ / "folder");
  struct Case {
    fs::path path;
    int error;
  };
  const Case cases[] = {
      {folder_ / "missing" / "x.gpx", ENOENT},
      {folder_ / "file" / "x.gpx", ENOTDIR},
      {folder_ / "folder", EISDIR},  // a folder cannot be replaced by a file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    EXPECT_EQ(Write(c.path, "data"), c.error);
  }
  // A path without a file name is not taken as the folder's temporary file.
  EXPECT_EQ(WriteFileAtomically(folder_ / "folder" / "", "data"), EISDIR);
  EXPECT_EQ(testing::ReadWholeFile(folder_ / "file"), "kept");
  EXPECT_TRUE(fs::is_empty(folder_ / "folder"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"file", "folder"}));
}

TEST_P(AtomicWrite, AFolderWithoutWritePermissionIsRefused) {
  const fs::path locked = folder_ / "locked";
  fs::create_directory(locked);
  ASSERT_EQ(Write(locked / "old.wpt", "old"), 0);
  ASSERT_EQ(::chmod(locked.c_str(), 0555), 0);
  struct Unlock {
    const fs::path& folder;
    ~Unlock() { ::chmod(folder.c_str(), 0755); }
  } unlock{locked};
  if (::access(locked.c_str(), W_OK) == 0) GTEST_SKIP() << "permissions do not bind this user";
  EXPECT_EQ(Write(locked / "old.wpt", "new"), EACCES);
  EXPECT_EQ(Write(locked / "new.wpt", "new", WriteMode::CreateOnly), EACCES);
  EXPECT_EQ(testing::ReadWholeFile(locked / "old.wpt"), "old");
  EXPECT_EQ(Names(locked), (std::vector<std::string>{"old.wpt"}));
}

// A file size limit makes the write itself fail part way, after the temporary file exists.
TEST_P(AtomicWrite, AFailedWriteLeavesTheTargetAndNoTemporaryFile) {
  const fs::path path = folder_ / "flight.igc";
  ASSERT_EQ(Write(path, "old"), 0);
  rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int replaced = Write(path, std::string(65536, 'B'));
  const int created = Write(folder_ / "new.igc", std::string(65536, 'B'), WriteMode::CreateOnly);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(replaced, EFBIG);
  EXPECT_EQ(created, EFBIG);
  EXPECT_EQ(testing::ReadWholeFile(path), "old");
  EXPECT_EQ(Names(), (std::vector<std::string>{"flight.igc"}));
}

TEST_P(AtomicWrite, ARelativePathWritesIntoTheWorkingFolder) {
  const fs::path before = fs::current_path();
  fs::current_path(folder_);
  const int result = Write("here.txt", "x");
  fs::current_path(before);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"here.txt"}));
}

// A file beyond the read limit is refused by its size before any memory is taken for it, and
// the message says so instead of blaming the memory.
TEST(ReadWholeFile, RefusesAFileBeyondTheLimitBySize) {
  const fs::path path =
      fs::temp_directory_path() / ("logwell_large_" + std::to_string(::getpid()) + ".igc");
  { std::ofstream(path) << "A"; }
  fs::resize_file(path, kMaxReadFileBytes + 1);  // sparse: no disk space used
  const ReadFileResult read = logwell::ReadWholeFile(path);
  fs::remove(path);
  EXPECT_EQ(read.status, ReadStatus::TooLarge);
  EXPECT_EQ(read.size, kMaxReadFileBytes + 1);
  EXPECT_TRUE(read.bytes.empty());
  EXPECT_EQ(FileTooLargeText(read.size), "File too large: 513 MB, the limit is 512 MB");
}

INSTANTIATE_TEST_SUITE_P(Writers, AtomicWrite,
                         ::testing::Values(&WriteFileAtomically,
                                           &atomic_file_detail::WriteThroughNamedFile),
                         [](const ::testing::TestParamInfo<Writer>& param) {
                           return param.index == 0 ? std::string("Best") : std::string("Named");
                         });

}  // namespace
}  // namespace logwell

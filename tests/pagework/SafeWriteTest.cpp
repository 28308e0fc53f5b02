#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "pagework/SafeWrite.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

size_t EntryCount(const std::string& dir) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

}  // namespace

TEST(SafeWrite, ReplacesKeepingPermissionsAndLeavesNoTemporary) {
  const std::string dir = TestTempDir();
  const std::string target = dir + "/page.tif";
  WriteText(target, "old");
  ::chmod(target.c_str(), 0640);
  SafeWriteFile(target, [](const std::string& temp) { WriteText(temp, "new content"); });
  EXPECT_EQ(ReadAll(target), "new content");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(EntryCount(dir), 1u);

  // A new file is created too.
  SafeWriteFile(dir + "/fresh.pdf", [](const std::string& temp) { WriteText(temp, "pdf"); });
  EXPECT_EQ(ReadAll(dir + "/fresh.pdf"), "pdf");
  EXPECT_EQ(EntryCount(dir), 2u);
}

TEST(SafeWrite, WriterFailingHalfWayLeavesTargetIntact) {
  const std::string dir = TestTempDir();
  const std::string target = dir + "/page.tif";
  WriteText(target, "original bytes");
  std::string seenTemp;
  EXPECT_THROW(SafeWriteFile(target,
                             [&](const std::string& temp) {
                               seenTemp = temp;
                               WriteText(temp, "half of the ne");
                               throw std::runtime_error("disk on fire");
                             }),
               std::runtime_error);
  EXPECT_EQ(ReadAll(target), "original bytes");
  EXPECT_EQ(fs::path(seenTemp).parent_path(), fs::path(dir));
  EXPECT_FALSE(fs::exists(seenTemp));
  EXPECT_EQ(EntryCount(dir), 1u);

  // Abandoning an uncommitted file (e.g. when unwinding) removes it too.
  {
    TSafeFile pending(target);
    WriteText(pending.TempPath(), "x");
  }
  EXPECT_EQ(EntryCount(dir), 1u);
  EXPECT_EQ(ReadAll(target), "original bytes");
}

TEST(SafeWrite, ReadOnlyOrMissingFolderIsAClearError) {
  const std::string dir = TestTempDir();
  const std::string target = dir + "/page.tif";
  WriteText(target, "keep me");
  EXPECT_THROW(SafeWriteFile(dir + "/nope/x.tif", [](const std::string&) {}), ESafeWriteError);
  ::chmod(dir.c_str(), 0555);
  if (::access(dir.c_str(), W_OK) == 0) {
    ::chmod(dir.c_str(), 0755);
    GTEST_SKIP() << "running with privileges that ignore folder permissions";
  }
  try {
    SafeWriteFile(target, [](const std::string& temp) { WriteText(temp, "x"); });
    ADD_FAILURE() << "no error";
  } catch (const ESafeWriteError& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot create a temporary file in"), std::string::npos);
  }
  ::chmod(dir.c_str(), 0755);
  EXPECT_EQ(ReadAll(target), "keep me");
}

TEST(SafeWrite, ReplacingThroughALinkKeepsTheLink) {
  const std::string dir = TestTempDir();
  WriteText(dir + "/real.tif", "old");
  fs::create_symlink(dir + "/real.tif", dir + "/link.tif");
  SafeWriteFile(dir + "/link.tif", [](const std::string& temp) { WriteText(temp, "new"); });
  EXPECT_TRUE(fs::is_symlink(dir + "/link.tif"));
  EXPECT_EQ(ReadAll(dir + "/real.tif"), "new");
}

// Files committed together: those before a failing rename are in place,
// the failing one and those after it are gone without a trace.
TEST(SafeWrite, CommitAllStopsAtTheFirstFailure) {
  const std::string dir = TestTempDir();
  fs::create_directories(dir + "/c");  // a folder where the third file goes
  std::vector<std::unique_ptr<TSafeFile>> files;
  std::vector<TSafeFile*> all;
  for (const char* name : {"a", "b", "c", "d"}) {
    files.push_back(std::make_unique<TSafeFile>(dir + "/" + name));
    WriteText(files.back()->TempPath(), name);
    all.push_back(files.back().get());
  }
  EXPECT_THROW(CommitAll(all), ESafeWriteError);
  EXPECT_EQ(ReadAll(dir + "/a"), "a");
  EXPECT_EQ(ReadAll(dir + "/b"), "b");
  EXPECT_TRUE(files[1]->Committed());
  EXPECT_FALSE(files[2]->Committed());
  files.clear();
  EXPECT_TRUE(fs::is_directory(dir + "/c"));
  EXPECT_FALSE(fs::exists(dir + "/d"));
  EXPECT_EQ(EntryCount(dir), 3u);
}

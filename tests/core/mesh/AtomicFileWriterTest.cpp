#include "mesh/AtomicFileWriter.h"

#include "MeshTestSupport.h"
#include "base/TessellorError.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace tessellor;

// Full-disk and uncreatable targets: Export.FailedSaveLeavesExistingFileUntouched, for every writer.

using meshtest::ScratchDir;

TEST(AtomicFileWriter, CommitWritesTheFileWholeAndLeavesNoTemporary) {
  ScratchDir dir;
  const std::string target = dir.file("out.txt");
  {
    AtomicFileWriter out(target);
    out.print("%s %d\n", "line", 1);
    out.write("abc", 3);
    EXPECT_FALSE(meshtest::fileExists(target)) << "target must not appear before commit";
    out.commit();
  }
  EXPECT_EQ(meshtest::readFile(target), "line 1\nabc");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.txt"}) << "temporary file left behind";

  meshtest::writeFile(target, std::string(10000, 'x'));
  AtomicFileWriter out(target);
  out.print("short\n");
  out.commit();
  EXPECT_EQ(meshtest::readFile(target), "short\n") << "no tail of the old, longer file may remain";
}

TEST(AtomicFileWriter, AbandonedSaveLeavesExistingFileUntouched) {
  ScratchDir dir;
  const std::string target = dir.file("mesh.ply");
  meshtest::writeFile(target, "old contents\n");
  try {
    AtomicFileWriter out(target);
    out.print("new contents that never get committed\n");
    throw std::runtime_error("save failed half way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(meshtest::readFile(target), "old contents\n");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"mesh.ply"}) << "temporary file left behind";
}

TEST(AtomicFileWriter, DirectoryOrEmptyNameAsTargetIsRefused) {
  ScratchDir dir;
  const std::string sub = dir.file("sub");
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  meshtest::writeFile(sub + "/keep", "k");
  EXPECT_THROW(AtomicFileWriter{sub}, FileError);
  EXPECT_THROW(AtomicFileWriter(""), FileError);
  EXPECT_EQ(meshtest::readFile(sub + "/keep"), "k");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"sub"});
  ::unlink((sub + "/keep").c_str());  // the scratch directory removes one level only
}

TEST(AtomicFileWriter, ReplacedFileKeepsItsPermissions) {
  ScratchDir dir;
  const std::string target = dir.file("perm.txt");
  meshtest::writeFile(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  AtomicFileWriter out(target);
  out.print("new");
  out.commit();
  struct stat info;
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

#include "mesh/AtomicFileWriter.h"

#include "MeshTestSupport.h"
#include "pipeline/TessellorError.h"

#include <gtest/gtest.h>

#include <stdexcept>

using meshtest::ScratchDir;

TEST(AtomicFileWriter, CommitWritesTheFileAndLeavesNoTemporary) {
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

TEST(AtomicFileWriter, CommitReplacesExistingFileWhole) {
  ScratchDir dir;
  const std::string target = dir.file("mesh.obj");
  meshtest::writeFile(target, std::string(10000, 'x'));
  AtomicFileWriter out(target);
  out.print("short\n");
  out.commit();
  EXPECT_EQ(meshtest::readFile(target), "short\n") << "no tail of the old, longer file may remain";
}

TEST(AtomicFileWriter, UncreatableFileIsReportedWithItsName) {
  ScratchDir dir;
  const std::string missingDir = dir.file("no-such-dir/out.ply");
  try {
    AtomicFileWriter out(missingDir);
    FAIL() << "expected FileError";
  } catch (const FileError& error) {
    EXPECT_EQ(error.File, missingDir);
    EXPECT_NE(std::string(error.what()).find(missingDir), std::string::npos) << error.what();
  }
  EXPECT_THROW(AtomicFileWriter(""), FileError);
}

TEST(AtomicFileWriter, DirectoryAsTargetIsRefusedAndKept) {
  ScratchDir dir;
  const std::string sub = dir.file("sub");
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  meshtest::writeFile(sub + "/keep", "k");
  EXPECT_THROW(AtomicFileWriter{sub}, FileError);
  EXPECT_EQ(meshtest::readFile(sub + "/keep"), "k");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"sub"});
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

TEST(AtomicFileWriter, WriteFailureLikeAFullDiskKeepsExistingFile) {
  ScratchDir dir;
  const std::string target = dir.file("big.ply");
  meshtest::writeFile(target, "previous\n");
  const std::string chunk(4096, 'y');
  bool thrown = false;
  {
    meshtest::FileSizeLimit limit(16 * 1024);
    try {
      AtomicFileWriter out(target);
      for (int i = 0; i < 64; ++i) out.write(chunk.data(), chunk.size());
      out.commit();
    } catch (const FileError& error) {
      thrown = true;
      EXPECT_EQ(error.File, target);
    }
  }
  EXPECT_TRUE(thrown) << "a write past the file size limit must fail";
  EXPECT_EQ(meshtest::readFile(target), "previous\n");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"big.ply"}) << "temporary file left behind";
}

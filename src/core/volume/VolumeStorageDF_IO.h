#pragma once

#include <string>

namespace tessellor {

class GenericVolumeStorage;

// Saves and loads a distance-field volume as a binary .vol file: "VOLUME", Scale, Offset, the
// three sizes (little-endian 32-bit), one 17-byte record per voxel with x outermost and z
// innermost, then "END".
//
// Every failed check throws FileError whose reason is the failed condition and whose position is
// the byte offset where it failed. A failed read leaves the volume exactly as it was; a failed
// write leaves an existing file of that name untouched.
class VolumeStorageDF_IO {
 public:
  VolumeStorageDF_IO() = default;
  VolumeStorageDF_IO(const VolumeStorageDF_IO&) = delete;
  VolumeStorageDF_IO& operator=(const VolumeStorageDF_IO&) = delete;
  virtual ~VolumeStorageDF_IO() = default;

  void setFileName(const std::string& path) { FileName = path; }
  void setVolume(GenericVolumeStorage* volume) { Volume = volume; }

  virtual void write();
  virtual void read();

  std::string FileName;
  GenericVolumeStorage* Volume = nullptr;  // not owned

 private:
  void checkPreconditions() const;
};

}  // namespace tessellor

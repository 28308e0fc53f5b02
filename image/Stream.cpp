#include "image/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "image/ImagingErrors.h"

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EImagingError("Stream read error");
}

void TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 20)));
  while (count > 0) {
    std::int64_t n = std::min<std::int64_t>(count, static_cast<std::int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    Write(chunk.data(), n);
    count -= n;
  }
}

// --- memory -----------------------------------------------------------------

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
  std::int64_t size = Size();
  if (count <= 0 || pos_ >= size) return 0;
  std::int64_t n = std::min(count, size - pos_);
  std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
  pos_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return;
  std::int64_t end = pos_ + count;
  if (end > Size()) data_.resize(static_cast<std::size_t>(end));
  std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
  pos_ = end;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : Size();
  std::int64_t p = base + offset;
  if (p < 0) throw EImagingError("Stream seek error");
  pos_ = p;
  return pos_;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
  if (newSize < 0) throw EImagingError("Stream size error");
  data_.resize(static_cast<std::size_t>(newSize));
  if (pos_ > newSize) pos_ = newSize;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream f(fileName, TFileMode::fmOpenRead);
  std::int64_t size = f.Size();
  data_.resize(static_cast<std::size_t>(size));
  f.ReadBuffer(data_.data(), size);
  pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream f(fileName, TFileMode::fmCreate);
  f.Write(data_.data(), Size());
}

// --- file -------------------------------------------------------------------

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::fmOpenRead:
      flags |= O_RDONLY;
      break;
    case TFileMode::fmOpenReadWrite:
      flags |= O_RDWR;
      break;
    case TFileMode::fmCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  fd_ = ::open(fileName.c_str(), flags, 0666);
  if (fd_ < 0) {
    const char* what = mode == TFileMode::fmCreate ? "Cannot create file \"%s\". %s" : "Cannot open file \"%s\". %s";
    throw EImagingError(FormatMessage(what, fileName.c_str(), std::strerror(errno)));
  }
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EImagingError(FormatMessage("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(EISDIR)));
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
  std::int64_t total = 0;
  auto* p = static_cast<std::uint8_t*>(buffer);
  while (total < count) {
    ssize_t n = ::read(fd_, p + total, static_cast<std::size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EImagingError(FormatMessage("Read error on \"%s\". %s", fileName_.c_str(), std::strerror(errno)));
    }
    if (n == 0) break;
    total += n;
  }
  return total;
}

void TFileStream::Write(const void* buffer, std::int64_t count) {
  std::int64_t total = 0;
  auto* p = static_cast<const std::uint8_t*>(buffer);
  while (total < count) {
    ssize_t n = ::write(fd_, p + total, static_cast<std::size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EImagingError(FormatMessage("Write error on \"%s\". %s", fileName_.c_str(), std::strerror(errno)));
    }
    total += n;
  }
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (r < 0) throw EImagingError("Stream seek error");
  return r;
}

std::int64_t TFileStream::Size() {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) throw EImagingError("Stream size error");
  return st.st_size;
}

void TFileStream::SetSize(std::int64_t newSize) {
  if (::ftruncate(fd_, static_cast<off_t>(newSize)) != 0)
    throw EImagingError(FormatMessage("Write error on \"%s\". %s", fileName_.c_str(), std::strerror(errno)));
}

void TFileStream::Flush() {
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
    throw EImagingError(FormatMessage("Write error on \"%s\". %s", fileName_.c_str(), std::strerror(errno)));
}

// Byte targets of a transfer: an in-memory stream and a file opened for writing without sharing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

// A writable byte stream with a position, what URLToStream writes into.
class TStream {
 public:
  virtual ~TStream() = default;
  // Writes at the current position and moves it past the bytes; false on a write error.
  virtual bool Write(const char* data, size_t size) = 0;
  virtual int64_t Position() const = 0;
  virtual void SetPosition(int64_t position) = 0;
};

// Bytes held in memory; writing past the end grows it.
class TMemoryStream : public TStream {
 public:
  bool Write(const char* data, size_t size) override;
  int64_t Position() const override { return FPosition; }
  void SetPosition(int64_t position) override;
  const std::string& Data() const { return FData; }

 private:
  std::string FData;
  int64_t FPosition = 0;
};

// A file created (or truncated) for writing, not shared with anyone while open.
class TFileStream : public TStream {
 public:
  // Creates or truncates the file; Open() tells whether that worked, Error() why not.
  explicit TFileStream(const std::wstring& filename);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  bool Open() const;
  // Drops everything written so far.
  void Truncate();
  // The system's description of why the file could not be created.
  const std::wstring& Error() const { return FError; }

  bool Write(const char* data, size_t size) override;
  int64_t Position() const override;
  void SetPosition(int64_t position) override;

 private:
  struct THandle;
  std::unique_ptr<THandle> FHandle;
  std::wstring FError;
};

// The full path of a file name, as the creation error shows it.
std::wstring FullFileName(const std::wstring& filename);

}  // namespace velmora

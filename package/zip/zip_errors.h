// The archive reader's errors. Each carries the fixed English text the user sees.
#pragma once

#include <stdexcept>
#include <string>

namespace flashsaver {

class EIncompleteZip : public std::runtime_error {
 public:
  EIncompleteZip() : std::runtime_error("Incomplete Zip File") {}
};

class EBadZipFile : public std::runtime_error {
 public:
  EBadZipFile() : std::runtime_error("Not a valid zip file!") {}
};

class EFatalUnzipError : public std::runtime_error {
 public:
  EFatalUnzipError() : std::runtime_error("Premature end of file reached") {}
};

class EBiggerThanUncompressed : public std::runtime_error {
 public:
  EBiggerThanUncompressed() : std::runtime_error("File is larger than uncompressed size!") {}
};

class ECantWriteUCF : public std::runtime_error {
 public:
  ECantWriteUCF() : std::runtime_error("Cant write uncompressed file") {}
};

// The archive file itself cannot be opened (missing, locked by a writer, not a file).
class EFOpenError : public std::runtime_error {
 public:
  explicit EFOpenError(const std::string& path)
      : std::runtime_error("Cannot open file \"" + path + "\"") {}
};

}  // namespace flashsaver

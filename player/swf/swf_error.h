// Typed errors of the SWF reader, raised where the fault is found and carrying what was found.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace flashsaver {

enum class SwfErrorKind {
  kNotSwf,             // the signature is none of "FWS", "CWS", "ZWS"
  kBadCompressedData,  // the zlib or LZMA data of a "CWS" or "ZWS" file is damaged
  kTooLarge,           // the movie claims more than the reader accepts
  kTruncated,          // the data ends inside the header or a tag
  kBadTag,             // a tag's body does not hold what its code needs
};

class SwfError : public std::runtime_error {
 public:
  SwfError(SwfErrorKind kind, const std::string& detail,
           std::optional<uint16_t> tag = std::nullopt);
  SwfErrorKind kind() const { return kind_; }
  // The code of the tag being read, when the fault lies in one.
  std::optional<uint16_t> tag() const { return tag_; }

 private:
  SwfErrorKind kind_;
  std::optional<uint16_t> tag_;
};

}  // namespace flashsaver

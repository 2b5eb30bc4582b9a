#pragma once

// The first bytes of pictures of each kind, as a picture host serves them.

#include <string>

namespace quillon::support {

inline const std::string kPng("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
inline const std::string kGif("GIF89a\x01\0\x01\0", 10);
inline const std::string kJpeg("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);

} // namespace quillon::support

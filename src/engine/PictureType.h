#pragma once

#include <string>
#include <string_view>

namespace quillon::engine {

// Prefix of the type text given to data whose first bytes match no known
// picture format (GBK, "你杯具了 无法识别 特征码:"); the signature text follows it.
inline constexpr std::string_view kUnknownPictureType =
    "\xC4\xE3\xB1\xAD\xBE\xDF\xC1\xCB \xCE\xDE\xB7\xA8\xCA\xB6\xB1\xF0 \xCC\xD8\xD5\xF7\xC2\xEB:";

// The signature text of a picture: each of its first ten bytes in upper-case
// hexadecimal without a leading zero, a zero byte as "00".
std::string pictureSignature(std::string_view bytes);

// The file type of a picture judged by its signature text: "jpg", "gif",
// "png", ... or kUnknownPictureType followed by the signature text. The type
// text becomes a file extension as it is. Any thread.
std::string detectPictureType(std::string_view bytes);

} // namespace quillon::engine

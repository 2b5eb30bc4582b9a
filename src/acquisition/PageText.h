#pragma once

#include <string>
#include <string_view>

namespace quillon::acquisition {

// A fetched page as text: every NUL byte becomes a blank, so that the
// searches see the whole page; the bytes are GBK as they are.
std::string pageText(std::string_view bytes);

} // namespace quillon::acquisition

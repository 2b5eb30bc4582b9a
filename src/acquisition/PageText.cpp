#include "acquisition/PageText.h"

#include <algorithm>

namespace quillon::acquisition {

std::string pageText(std::string_view bytes) {
    std::string text(bytes);
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

} // namespace quillon::acquisition

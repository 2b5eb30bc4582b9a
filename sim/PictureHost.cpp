#include "PictureHost.h"

#include <algorithm>

#include "PictureMaker.h"

namespace quillon::sim {

std::optional<PictureRef> PictureHost::find(std::string_view host, std::string_view target) const {
    // Every picture address holds its item's id as one path segment.
    const std::string_view path = target.substr(0, target.find('?'));
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const std::string_view segment = path.substr(start, end - start);
        start = end + 1;
        if (segment.size() < 10 || !std::all_of(segment.begin(), segment.end(),
                                                [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        const auto item = m_catalog.itemById(segment);
        if (!item) {
            return std::nullopt;
        }
        for (const auto* list : {&item->mainPictures, &item->propPictures, &item->descPictures}) {
            for (const PictureRef& picture : *list) {
                if (picture.host == host && picture.target == target) {
                    return picture;
                }
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

SimReply PictureHost::handle(const SimRequest& request) const {
    const auto picture = find(request.host, request.target);
    if (!picture) {
        return SimReply{404, "text/html",
                        "<html><head><title>404 Not Found</title></head><body><center><h1>404 Not "
                        "Found</h1></center><hr><center>Tengine</center></body></html>\n"};
    }
    return SimReply{200, PictureMaker::contentType(picture->format),
                    PictureMaker::make(picture->format, picture->key)};
}

} // namespace quillon::sim

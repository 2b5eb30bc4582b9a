#pragma once

#include <string>
#include <string_view>

namespace quillon::doc {
class RegexMatcher;
} // namespace quillon::doc

namespace quillon::engine {

struct ItemRecord;
struct WorkerContext;

// The folder name of an item's description pictures: its cleaned title
// without "/", "\" and ".".
std::string descriptionTitleFolder(std::string_view title);

// The "file:///" address that replaces a saved picture's remote address in
// the description: "file:///" + the picture folder without its leading "/" +
// "/" + titleFolder + "/" + file.
std::string localPictureAddress(std::string_view pictureFolder, std::string_view titleFolder,
                                std::string_view file);

// Downloads the pictures named by the picture tags, then by the background
// attributes, of `record.desc` into the item's title folder inside the
// picture folder, and points the description at the saved copies; failed
// pictures follow descFailMode, non-Taobao ones are skipped when
// descTaobaoOnly is set (both read at each picture). `pictureMatcher` and
// `characterMatcher` are the worker's two matchers, reused for every item.
// False when stopped at a checkpoint, with the description as far as it got.
// Runs on the worker's thread.
bool downloadDescriptionPictures(ItemRecord& record, doc::RegexMatcher& pictureMatcher,
                                 doc::RegexMatcher& characterMatcher, const WorkerContext& context);

} // namespace quillon::engine

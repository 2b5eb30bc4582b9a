#pragma once

#include <string>
#include <string_view>

namespace quillon::doc {
class XmlDocument;
} // namespace quillon::doc

namespace quillon::engine {

struct ItemRecord;
struct WorkerContext;

// `folder` + the platform's path separator + `name`.
std::string joinPath(std::string_view folder, std::string_view name);

// True when `path` names an existing folder.
bool folderExists(const std::string& path);

// Creates the folder `path` (one level: its parent must exist) unless it
// exists already. True when it exists afterwards.
bool ensureFolder(const std::string& path);

// Writes `bytes` to the file `path`, creating or replacing it. False when the
// file cannot be written; the picture steps do not report that.
bool writeFileBytes(const std::string& path, std::string_view bytes);

// The Unix time stamp in milliseconds as text, made strictly increasing
// across the process: a reading that is not later than the last one given
// out becomes the last one plus 1. Any thread.
std::string pictureStampText();

// Name of a main or property picture file without its ".tbi": md5Hex of
// pictureStampText() + `title` + `itemId`, 32 lower-case hexadecimal digits.
// Two calls never give the same stamp, so names computed within the same
// millisecond still differ. Any thread.
std::string pictureName(std::string_view title, std::string_view itemId);

// Called before every picture download and every file write: true to go on;
// false when the context's cancel flag is set or its checkpoint says the run
// is being stopped (the step then returns at once). Blocks while paused.
bool pictureCheckpoint(const WorkerContext& context);

// Appends ActivityLog::stamp() + `message` (which ends in "\r\n") to the
// context's log; nothing without a log.
void logPictureLine(const WorkerContext& context, std::string_view message);

// The main pictures, then the property pictures of the item answer in
// `document`: logs each step, writes every picture as name + ".tbi" into the
// picture folder (a zero-byte file when its download is empty) and sets
// `record.pictureText` (an entry per picture in the layout of
// assistantVersion, read at each entry). Uses `record.title` and
// `record.itemId` for the names. False when stopped at a checkpoint, with the
// entries made so far. Runs on the worker's thread.
bool downloadItemPictures(const doc::XmlDocument& document, ItemRecord& record,
                          const WorkerContext& context);

} // namespace quillon::engine

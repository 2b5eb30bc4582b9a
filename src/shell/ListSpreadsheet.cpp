#include "shell/ListSpreadsheet.h"

#include <xlsxwriter.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio> // rename
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "shell/PrivateProfile.h"
#include "text/TextCodec.h"

namespace quillon::shell {
namespace {

// The most characters one cell holds, and the rows of one sheet.
constexpr std::size_t kCellCharacters = 32767;
constexpr std::size_t kSheetRows = 1048576;

constexpr std::array<std::string_view, 3> kHeaders = {"宝贝名称", "宝贝价格", "宝贝地址"};

// UTF-8 `text` cut to at most kCellCharacters characters, never inside one.
// GBK has no character outside the BMP, so characters and the UTF-16 units
// the limit counts are the same here.
std::string cutToCell(std::string text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (characters == kCellCharacters) {
            text.resize(i);
            break;
        }
        ++characters;
    }
    return text;
}

std::string writeError(const std::string& path, std::string_view reason) {
    return text::gbk("无法写入表格") + ' ' + path + " (" + std::string(reason) + ')';
}

} // namespace

bool writeListSpreadsheet(const std::vector<ItemEntry>& rows, const std::string& path,
                          std::string* error) {
    const auto fail = [&](std::string_view reason) {
        if (error)
            *error = writeError(path, reason);
        return false;
    };
    if (rows.size() + 1 > kSheetRows)
        return fail("more rows than one sheet holds");

    // Written beside the target and renamed over it, so that a failed write
    // never leaves half a workbook where the user opens it. Creating the
    // temporary file first gives the system's reason when the folder is
    // missing or closed; the library only says that it failed.
    const std::string temporary = temporaryPathBeside(path, ".xlsx.tmp");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return fail(std::generic_category().message(errno));
    ::close(fd);
    const auto failAndRemove = [&](std::string_view reason) {
        ::unlink(temporary.c_str());
        return fail(reason);
    };

    // Constant memory: each finished row goes to a temporary file (rows are
    // written strictly in order here), so a long list needs little memory.
    // Its strings are stored inline instead of in the shared table.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(temporary.c_str(), &options);
    if (!book)
        return failAndRemove("out of memory");
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* textFormat = workbook_add_format(book);
    if (!sheet || !textFormat) {
        workbook_close(book);
        return failAndRemove("out of memory");
    }
    format_set_num_format(textFormat, "@");
    // Cells the user adds to these columns later are text as well.
    worksheet_set_column(sheet, 0, 0, 50, textFormat);
    worksheet_set_column(sheet, 1, 1, 12, textFormat);
    worksheet_set_column(sheet, 2, 2, 50, textFormat);

    lxw_error written = LXW_NO_ERROR;
    const auto put = [&](lxw_row_t row, lxw_col_t column, std::string utf8) {
        if (written == LXW_NO_ERROR)
            written = worksheet_write_string(sheet, row, column, cutToCell(std::move(utf8)).c_str(),
                                             textFormat);
    };
    for (lxw_col_t column = 0; column < kHeaders.size(); ++column)
        put(0, column, std::string(kHeaders[column]));
    lxw_row_t row = 1;
    for (const ItemEntry& entry : rows) {
        put(row, 0, text::gbkToUtf8(entry.name));
        put(row, 1, text::gbkToUtf8(entry.price));
        put(row, 2, text::gbkToUtf8(entry.address));
        ++row;
    }

    // Closing writes the file, and frees the workbook in every case.
    const lxw_error closed = workbook_close(book);
    if (written != LXW_NO_ERROR || closed != LXW_NO_ERROR)
        return failAndRemove(lxw_strerror(written != LXW_NO_ERROR ? written : closed));
    if (::rename(temporary.c_str(), path.c_str()) != 0)
        return failAndRemove(std::generic_category().message(errno));
    return true;
}

} // namespace quillon::shell

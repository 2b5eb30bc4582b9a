#pragma once

#include <string>
#include <vector>

#include "shell/ItemList.h"

namespace quillon::shell {

// The spreadsheet copy of the item list: an .xlsx workbook with one sheet, a
// header row "宝贝名称", "宝贝价格", "宝贝地址" and then name, price and address
// of each row (the item id is left out). Every cell is a text cell, so "0012"
// stays "0012"; a text longer than a cell holds (32767 characters) is cut.
// The file at `path` (GBK bytes, passed as they are) is replaced whole. False
// with a reason naming the path when it cannot be written. Any thread.
bool writeListSpreadsheet(const std::vector<ItemEntry>& rows, const std::string& path,
                          std::string* error = nullptr);

} // namespace quillon::shell

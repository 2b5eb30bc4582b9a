#pragma once

#include <string>

namespace quillon::engine {

// The extracted and adjusted fields of one item, named after the answer's
// elements. GBK texts; a missing element reads as "".
struct ItemRecord {
    std::string itemId;
    std::string title; // cleaned: no ".", "*", "|", "<", ">", "?"
    std::string cid;
    std::string seller_cids;
    std::string state;
    std::string city;
    std::string price; // adjusted by the price percentage when asked
    std::string num;
    std::string valid_thru;
    std::string freight_payer; // mapped to the assistant's code
    std::string ems_fee;
    std::string express_fee;
    std::string post_fee;
    std::string list_time;
    std::string props; // ";" appended
    std::string modified;
    std::string approve_status; // mapped
    std::string has_warranty;   // mapped
    std::string skuText;        // price:quantity:outer_id:properties; per SKU, then ";"
    std::string input_pids;
    std::string input_str;
    std::string outer_id;
    std::string property_alias; // ";" appended
    std::string desc;           // cleaned, later pointing at local pictures
    std::string pictureText;    // the picture column, built by the picture step
};

} // namespace quillon::engine

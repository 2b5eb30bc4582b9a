#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/LocalTime.h"

namespace quillon::api {

// The fields asked of taobao.item.get, byte for byte: the repeated names and
// the final blank are what the platform has always been sent.
inline constexpr std::string_view kItemFields =
    "prop_img.url,prop_img.properties,item_img.url,desc,title,cid,price,num,post_fee,input_str,"
    "input_pids,seller_cids,props,input_pids,input_str,property_alias,sku,outer_id,approve_status,"
    "has_discount,has_invoice,has_warranty,has_showcase,valid_thru,list_time,modified,delist_time,"
    "postage_id,location,freight_payer,post_fee,express_fee,ems_fee,has_warranty ";

struct ApiParameter {
    std::string key;
    std::string value;
};

// One call of the open platform before signing. Empty format means "xml",
// empty sign method "md5".
struct ApiCall {
    std::string appKey;
    std::string appSecret;
    std::string session;
    std::string format;
    std::string signMethod;
    std::string method;
    std::vector<ApiParameter> parameters; // call-specific pairs, in order
};

// Builds the signed GET address of an open-platform call. Values travel
// unescaped; the secret only enters the signature. Thread-safe: every call
// builds its own list and reads the clock itself.
class ApiRequest {
  public:
    // taobao.item.get for one item, signed now, on the configured gateway.
    // Empty when the app key or the app secret is empty.
    static std::string forItem(std::string_view itemId, std::string_view appKey,
                               std::string_view appSecret);

    // The same with a given clock reading and gateway host[:port].
    static std::string forItem(std::string_view itemId, std::string_view appKey,
                               std::string_view appSecret, const text::LocalTime& when,
                               std::string_view gateway);

    // The general form: "http://" + gateway + "/router/rest?" + the sorted
    // query + "&sign=" + the upper-case MD5 signature.
    static std::string build(const ApiCall& call, const text::LocalTime& when,
                             std::string_view gateway);

    // year-month-day hour:minute:second, two digits but for the year.
    static std::string timestampText(const text::LocalTime& when);
};

} // namespace quillon::api

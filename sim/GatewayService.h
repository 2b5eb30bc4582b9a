#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Catalog.h"
#include "MarketConfig.h"
#include "SimReply.h"
#include "SimRequest.h"

namespace quillon::sim {

// The open-platform gateway: GET /router/rest with the signed query of
// taobao.item.get. Checks the request the way the program builds it (the
// eight keys and the signature, the exact "fields" list, format, version,
// sign method, a time stamp within ten minutes of this machine's local clock)
// and answers an item_get_response or an error_response, always with status
// 200 and in UTF-8. Thread-safe.
class GatewayService {
  public:
    // The fields list the program sends, with its repeats and its final blank.
    static constexpr std::string_view kFields =
        "prop_img.url,prop_img.properties,item_img.url,desc,title,cid,price,num,post_fee,"
        "input_str,input_pids,seller_cids,props,input_pids,input_str,property_alias,sku,outer_id,"
        "approve_status,has_discount,has_invoice,has_warranty,has_showcase,valid_thru,list_time,"
        "modified,delist_time,postage_id,location,freight_payer,post_fee,express_fee,ems_fee,"
        "has_warranty ";

    GatewayService(const Catalog& catalog, const std::vector<SandboxCredential>& credentials);

    SimReply handle(const SimRequest& request);

    // Correctly signed calls made with this app key so far (refused ones by
    // the call limit included).
    int callCount(std::string_view appKey) const;

    // An error_response in UTF-8; sub_code and sub_msg only when given.
    static std::string errorAnswer(int code, std::string_view msg, std::string_view subCode,
                                   std::string_view subMsg, std::string_view hostComment);

  private:
    struct KeyState {
        SandboxCredential credential;
        std::atomic<int> calls{0};
    };

    KeyState* findKey(std::string_view appKey) const;

    const Catalog& m_catalog;
    std::vector<std::unique_ptr<KeyState>> m_keys;
};

} // namespace quillon::sim

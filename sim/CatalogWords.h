#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace quillon::sim {

// The words the catalog makes its texts from, in GBK, converted once.
struct CatalogWords {
    static std::vector<std::string> gbkList(std::initializer_list<const char*> utf8);
    static std::string gbk(const char* utf8);

    std::vector<std::string> adjectives =
        gbkList({"2013新款", "韩版", "修身", "纯棉", "加厚", "夏季", "秋冬", "时尚", "百搭", "正品",
                 "特价", "清仓", "原创", "复古", "简约", "日系"});
    std::vector<std::string> nouns =
        gbkList({"连衣裙", "T恤", "牛仔裤", "衬衫", "外套", "毛衣", "羽绒服", "运动鞋", "帆布鞋",
                 "双肩包", "手机壳", "保温杯", "台灯", "收纳盒", "围巾", "棉拖鞋"});
    // Pieces the program's title clean-up has to deal with.
    std::vector<std::string> specials =
        gbkList({"*包邮*", " 男|女", " <特价>", " 1.5米", " 好用吗?", " Tom's", " 黑&白",
                 " A&amp;B", " \"爆款\"", " 3.8折|包邮?"});
    std::vector<std::string> storeSuffixes = gbkList({"小店", "旗舰店", "专营店", "工作室"});
    std::vector<std::string> states = gbkList({"浙江", "广东", "广东", "上海", "江苏", "福建"});
    std::vector<std::string> cities = gbkList({"杭州", "广州", "深圳", "上海", "苏州", "泉州"});
    std::vector<std::string> colors = gbkList({"白色", "红色", "黑色", "蓝色", "浅灰色", "军绿色"});
    std::vector<std::string> colorAliases =
        gbkList({"米白", "酒红色", "经典黑", "宝石蓝", "雾霾灰", "橄榄绿"});
    std::vector<std::string> sentences =
        gbkList({"面料柔软舒适", "做工精细", "实物拍摄", "尺码标准", "颜色以实物为准",
                 "支持七天无理由退换", "当天发货", "质量保证"});
    std::string colorLabel = gbk("颜色分类");
    std::string sizeLabel = gbk("尺码");
    std::string waistNote = gbk("(腰围&le;2尺)");
    std::string brandSuffix = gbk("牌");
    std::string categorySuffix = gbk("专区");
    std::string detailFolder = gbk("宝贝详情");
    std::string thanks = gbk("欢迎选购, 谢谢!");
};

// The one table, made on first use; safe from any thread.
const CatalogWords& catalogWords();

} // namespace quillon::sim

#include "core/diagnosis/RegionTable.h"

#include <map>

namespace orva {

std::string RegionName(const std::string& code) {
    // "N" and "R" both read 山西: that is how the gateways' firmware numbers them.
    static const std::map<std::string, std::string> regions = {
        {"0", "通用版本"}, {"1", "湖北"}, {"2", "江苏"}, {"3", "安徽"}, {"4", "浙江"},   {"5", "上海"}, {"6", "福建"},
        {"7", "海南"},     {"8", "广东"}, {"9", "广西"}, {"A", "湖南"}, {"B", "甘肃"},   {"C", "江西"}, {"D", "青海"},
        {"E", "新疆"},     {"F", "重庆"}, {"G", "北京"}, {"H", "天津"}, {"I", "黑龙江"}, {"J", "吉林"}, {"K", "辽宁"},
        {"L", "河北"},     {"M", "河南"}, {"N", "山西"}, {"O", "山东"}, {"P", "内蒙"},   {"Q", "宁夏"}, {"R", "山西"},
        {"S", "四川"},     {"T", "云南"}, {"U", "贵州"}, {"V", "西藏"},
    };
    auto it = regions.find(code);
    return it == regions.end() ? std::string() : it->second;
}

} // namespace orva
